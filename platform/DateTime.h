#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>

// A local date and time counted in days since 30 December 1899, with the time of day as
// the fraction. This is the representation the stored files and the views rely on;
// conversions to QDateTime are exact to the millisecond. Before the epoch the integer
// part still names the day and the fraction, taken as an absolute value, counts forward
// from midnight: 29 December 1899, 06:00 is -1.25.
class TDateTime
{
public:
    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double days) : FValue(days) {}

    // A QDateTime in UTC or another zone is converted to local time first; an invalid
    // one gives zero.
    static TDateTime FromDateTime(const QDateTime &dt);
    // The wall-clock date and time as given, with no time-zone lookup, so a time that a
    // daylight-saving change skips is kept as it is. An invalid date gives zero.
    static TDateTime FromDateAndTime(const QDate &date, const QTime &time);
    static TDateTime FromDate(const QDate &date);
    // False, leaving `out` as it was, when the parts do not form a real date (years 1
    // to 9999) and time.
    static bool TryEncode(int year, int month, int day, int hour, int minute, int second,
                          TDateTime &out);
    static TDateTime Now();
    static TDateTime Today();

    constexpr double Value() const { return FValue; }
    // Invalid when the value lies outside the years 1 to 9999 or is not a number.
    QDateTime ToDateTime() const;
    QDate Date() const;
    QTime Time() const;

    // The same moment without seconds and milliseconds.
    TDateTime WholeMinutes() const;
    // The same day at 00:00.
    TDateTime DateOnly() const;

    // Chronological: before the epoch a larger fraction is a later time of day, although
    // it makes the value smaller.
    friend bool operator==(TDateTime a, TDateTime b) { return a.Timeline() == b.Timeline(); }
    friend auto operator<=>(TDateTime a, TDateTime b) { return a.Timeline() <=> b.Timeline(); }

private:
    // The value on a line that grows with time: -1.25 (29 December 1899, 06:00) is -0.75.
    double Timeline() const
    {
        return FValue >= 0 || !std::isfinite(FValue) ? FValue : 2 * std::trunc(FValue) - FValue;
    }

    double FValue = 0.0;
};
