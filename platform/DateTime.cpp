#include "platform/DateTime.h"

#include <cmath>

namespace {
constexpr qint64 MsPerDay = 24LL * 60 * 60 * 1000;
const QDate Epoch(1899, 12, 30);
}

TDateTime TDateTime::FromDateTime(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    const double days = double(Epoch.daysTo(d));
    const double fraction = double(t.msecsSinceStartOfDay()) / double(MsPerDay);
    // Before the epoch the fraction still counts forward from midnight, as the
    // stored representation has always done.
    return TDateTime(days >= 0 ? days + fraction : days - fraction);
}

TDateTime TDateTime::FromDate(const QDate &date)
{
    return TDateTime(double(Epoch.daysTo(date)));
}

bool TDateTime::TryEncode(int year, int month, int day, int hour, int minute, int second,
                          TDateTime &out)
{
    const QDate d(year, month, day);
    if (!d.isValid() || !QTime::isValid(hour, minute, second))
        return false;
    out = FromDateTime(QDateTime(d, QTime(hour, minute, second)));
    return true;
}

TDateTime TDateTime::Now()
{
    return FromDateTime(QDateTime::currentDateTime());
}

TDateTime TDateTime::Today()
{
    return FromDate(QDate::currentDate());
}

QDate TDateTime::Date() const
{
    return Epoch.addDays(qint64(std::trunc(FValue)));
}

QTime TDateTime::Time() const
{
    const double fraction = std::fabs(FValue - std::trunc(FValue));
    qint64 ms = qint64(std::llround(fraction * double(MsPerDay)));
    if (ms >= MsPerDay)
        ms = MsPerDay - 1;
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

QDateTime TDateTime::ToDateTime() const
{
    return QDateTime(Date(), Time());
}

TDateTime TDateTime::WholeMinutes() const
{
    const QTime t = Time();
    return FromDateTime(QDateTime(Date(), QTime(t.hour(), t.minute())));
}

TDateTime TDateTime::DateOnly() const
{
    return TDateTime(std::trunc(FValue));
}
