#include "platform/DateTime.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

namespace {

// Local time is the process's time zone; some cases need one with daylight saving.
class LocalZone
{
public:
    explicit LocalZone(const char *zone) : FHad(qEnvironmentVariableIsSet("TZ")), FOld(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~LocalZone()
    {
        if (FHad)
            qputenv("TZ", FOld);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    bool FHad;
    QByteArray FOld;
};

TDateTime Encode(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    TDateTime value(-1e9);
    EXPECT_TRUE(TDateTime::TryEncode(year, month, day, hour, minute, second, value));
    return value;
}

TEST(DateTimeTest, KnownValues)
{
    EXPECT_EQ(Encode(1899, 12, 30).Value(), 0.0);
    EXPECT_EQ(Encode(1900, 1, 1).Value(), 2.0);
    EXPECT_EQ(Encode(2000, 1, 1, 12).Value(), 36526.5);
    EXPECT_EQ(Encode(1899, 12, 30, 6).Value(), 0.25);
    // Before the epoch the fraction counts forward from midnight, as an absolute value.
    EXPECT_EQ(Encode(1899, 12, 29, 6).Value(), -1.25);
    EXPECT_EQ(Encode(1899, 12, 29, 18).Value(), -1.75);
    EXPECT_EQ(Encode(1800, 1, 1).Value(), -36522.0);
    EXPECT_EQ(TDateTime::FromDate(QDate(2024, 2, 29)).Value(), 45351.0);

    EXPECT_EQ(TDateTime(-1.25).Date(), QDate(1899, 12, 29));
    EXPECT_EQ(TDateTime(-1.25).Time(), QTime(6, 0));
    EXPECT_EQ(TDateTime(-1.75).Time(), QTime(18, 0));
    EXPECT_EQ(TDateTime(36526.5).ToDateTime(), QDateTime(QDate(2000, 1, 1), QTime(12, 0)));
}

TEST(DateTimeTest, QDateTimeRoundTripsToTheMillisecond)
{
    const QDateTime moments[] = {
        {QDate(1899, 12, 30), QTime(0, 0)},
        {QDate(1899, 12, 30), QTime(23, 59, 59, 999)},
        {QDate(1899, 12, 29), QTime(0, 0, 0, 1)},
        {QDate(1899, 12, 29), QTime(23, 59, 59, 999)},
        {QDate(1, 1, 1), QTime(12, 34, 56, 789)},
        {QDate(1752, 9, 14), QTime(1, 2, 3, 4)},
        {QDate(1970, 1, 1), QTime(0, 0, 0, 0)},
        {QDate(2024, 2, 29), QTime(13, 37, 0, 500)},
        {QDate(2038, 1, 19), QTime(3, 14, 8)},
        {QDate(9999, 12, 31), QTime(23, 59, 59, 999)},
    };
    for (const QDateTime &moment : moments) {
        const TDateTime value = TDateTime::FromDateTime(moment);
        EXPECT_EQ(value.ToDateTime(), moment) << moment.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(TDateTime::FromDateTime(value.ToDateTime()), value);
    }
}

TEST(DateTimeTest, DayAndTimeAgreeWhenTheValueRoundsToMidnight)
{
    const TDateTime almost(45000.0 + (double(24 * 3600 * 1000) - 0.3) / double(24 * 3600 * 1000));
    EXPECT_EQ(almost.Date(), QDate(1899, 12, 30).addDays(45001));
    EXPECT_EQ(almost.Time(), QTime(0, 0));
    EXPECT_EQ(almost.DateOnly().Value(), 45001.0);
}

TEST(DateTimeTest, WholeMinutesAndDateOnly)
{
    const TDateTime value = TDateTime::FromDateTime(QDateTime(QDate(2023, 6, 1), QTime(14, 25, 59, 999)));
    EXPECT_EQ(value.WholeMinutes().ToDateTime(), QDateTime(QDate(2023, 6, 1), QTime(14, 25)));
    EXPECT_EQ(value.DateOnly().ToDateTime(), QDateTime(QDate(2023, 6, 1), QTime(0, 0)));

    const TDateTime early = TDateTime::FromDateTime(QDateTime(QDate(1850, 3, 4), QTime(5, 6, 7)));
    EXPECT_EQ(early.WholeMinutes().ToDateTime(), QDateTime(QDate(1850, 3, 4), QTime(5, 6)));
    EXPECT_EQ(early.DateOnly(), TDateTime::FromDate(QDate(1850, 3, 4)));
}

TEST(DateTimeTest, ComparisonIsChronologicalAlsoBeforeTheEpoch)
{
    // In raw values 18:00 on 29 December 1899 (-1.75) is less than midnight (-1.0).
    const TDateTime order[] = {Encode(1850, 3, 4), Encode(1850, 3, 4, 5, 6, 7), Encode(1850, 3, 4, 23),
                               Encode(1899, 12, 29), Encode(1899, 12, 29, 6), Encode(1899, 12, 29, 18),
                               Encode(1899, 12, 30), Encode(1899, 12, 30, 6), Encode(2024, 1, 1)};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        EXPECT_LT(order[i], order[i + 1]) << i;
        EXPECT_GT(order[i + 1], order[i]) << i;
        EXPECT_NE(order[i], order[i + 1]) << i;
    }
    // -0.5 is an unusual spelling of noon on the epoch day.
    EXPECT_EQ(TDateTime(-0.5), TDateTime(0.5));
}

TEST(DateTimeTest, TryEncodeRejectsWhatIsNoDateOrTime)
{
    const struct
    {
        int Year, Month, Day, Hour, Minute, Second;
    } invalid[] = {
        {2023, 2, 29, 0, 0, 0}, {2024, 2, 30, 0, 0, 0}, {2024, 13, 1, 0, 0, 0}, {2024, 0, 1, 0, 0, 0},
        {2024, 4, 31, 0, 0, 0}, {2024, 1, 0, 0, 0, 0},  {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0},
        {2024, 1, 1, 0, 0, 60}, {2024, 1, 1, -1, 0, 0}, {0, 1, 1, 0, 0, 0},     {-44, 3, 15, 0, 0, 0},
        {10000, 1, 1, 0, 0, 0},
    };
    for (const auto &p : invalid) {
        TDateTime out(123.5);
        EXPECT_FALSE(TDateTime::TryEncode(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, out))
            << p.Year << '-' << p.Month << '-' << p.Day << ' ' << p.Hour << ':' << p.Minute << ':' << p.Second;
        EXPECT_EQ(out.Value(), 123.5) << "the output is left as it was";
    }
    TDateTime out;
    EXPECT_TRUE(TDateTime::TryEncode(2000, 2, 29, 23, 59, 59, out));
    EXPECT_TRUE(TDateTime::TryEncode(1, 1, 1, 0, 0, 0, out));
    EXPECT_TRUE(TDateTime::TryEncode(9999, 12, 31, 0, 0, 0, out));
}

TEST(DateTimeTest, AWallClockTimeIsKeptThroughDaylightSavingChanges)
{
    const LocalZone berlin("Europe/Berlin");
    // 02:30 on 28 March 2021 does not exist in Berlin; a listed file time must stay as listed.
    const TDateTime skipped = Encode(2021, 3, 28, 2, 30);
    EXPECT_EQ(skipped.Date(), QDate(2021, 3, 28));
    EXPECT_EQ(skipped.Time(), QTime(2, 30));
    EXPECT_EQ(Encode(2021, 3, 28, 2, 30, 45).WholeMinutes(), skipped);

    // A moment given in UTC becomes local wall-clock time.
    const QDateTime utc(QDate(2021, 7, 1), QTime(10, 0), Qt::UTC);
    EXPECT_EQ(TDateTime::FromDateTime(utc).Time(), QTime(12, 0));
    EXPECT_EQ(TDateTime::FromDateTime(utc.toTimeZone(QTimeZone("Asia/Tokyo"))).Time(), QTime(12, 0));
}

TEST(DateTimeTest, ValuesThatAreNoDateGiveInvalidResults)
{
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 1e300, -1e300, 4e6}) {
        const TDateTime value(bad);
        EXPECT_FALSE(value.Date().isValid()) << bad;
        EXPECT_FALSE(value.Time().isValid()) << bad;
        EXPECT_FALSE(value.ToDateTime().isValid()) << bad;
        EXPECT_TRUE(std::isnan(bad) ? std::isnan(value.WholeMinutes().Value())
                                    : value.WholeMinutes().Value() == bad);
        EXPECT_TRUE(std::isnan(bad) ? std::isnan(value.DateOnly().Value()) : value.DateOnly().Value() == bad);
    }
    EXPECT_EQ(TDateTime::FromDateTime(QDateTime()).Value(), 0.0);
    EXPECT_EQ(TDateTime::FromDate(QDate()).Value(), 0.0);
}

} // namespace
