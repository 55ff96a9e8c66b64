#include "platform/DateTime.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

constexpr qint64 MsPerDay = 24LL * 60 * 60 * 1000;
const QDate Epoch(1899, 12, 30);
// A little beyond 31 December 9999 (day 2958465) either way; keeps the arithmetic
// below far from overflow.
constexpr double MaxDays = 3.0e6;

struct TParts
{
    qint64 Days;  // from the epoch, towards zero
    int Msecs;    // since midnight
};

// The value is rounded to the millisecond as a whole before it is split, so that the
// day and the time of day always agree (23:59:59.9999 is midnight of the next day).
std::optional<TParts> Split(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > MaxDays)
        return std::nullopt;
    const qint64 ms = std::llround(value * double(MsPerDay));
    return TParts{ms / MsPerDay, int(std::llabs(ms) % MsPerDay)};
}

} // namespace

TDateTime TDateTime::FromDateAndTime(const QDate &date, const QTime &time)
{
    if (!date.isValid())
        return TDateTime();
    const double days = double(Epoch.daysTo(date));
    const double fraction = double(time.isValid() ? time.msecsSinceStartOfDay() : 0) / double(MsPerDay);
    return TDateTime(days >= 0 ? days + fraction : days - fraction);
}

TDateTime TDateTime::FromDateTime(const QDateTime &dt)
{
    if (!dt.isValid())
        return TDateTime();
    const QDateTime local = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
    return FromDateAndTime(local.date(), local.time());
}

TDateTime TDateTime::FromDate(const QDate &date)
{
    return FromDateAndTime(date, QTime(0, 0));
}

bool TDateTime::TryEncode(int year, int month, int day, int hour, int minute, int second,
                          TDateTime &out)
{
    if (year < 1 || year > 9999)
        return false;
    const QDate date(year, month, day);
    if (!date.isValid() || !QTime::isValid(hour, minute, second))
        return false;
    out = FromDateAndTime(date, QTime(hour, minute, second));
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
    const auto parts = Split(FValue);
    return parts ? Epoch.addDays(parts->Days) : QDate();
}

QTime TDateTime::Time() const
{
    const auto parts = Split(FValue);
    return parts ? QTime::fromMSecsSinceStartOfDay(parts->Msecs) : QTime();
}

QDateTime TDateTime::ToDateTime() const
{
    const QDate date = Date();
    return date.isValid() ? QDateTime(date, Time()) : QDateTime();
}

TDateTime TDateTime::WholeMinutes() const
{
    const QTime time = Time();
    return time.isValid() ? FromDateAndTime(Date(), QTime(time.hour(), time.minute())) : *this;
}

TDateTime TDateTime::DateOnly() const
{
    const QDate date = Date();
    return date.isValid() ? FromDate(date) : *this;
}
