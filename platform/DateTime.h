#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

// A local date and time counted in days since 30 December 1899, with the time of
// day as the fraction. This is the representation the stored files and the views
// rely on; conversions to QDateTime are exact to the millisecond.
class TDateTime
{
public:
    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double days) : FValue(days) {}

    static TDateTime FromDateTime(const QDateTime &dt);
    static TDateTime FromDate(const QDate &date);
    // Returns an invalid (zero) value when the parts do not form a real date and time.
    static bool TryEncode(int year, int month, int day, int hour, int minute, int second,
                          TDateTime &out);
    static TDateTime Now();
    static TDateTime Today();

    constexpr double Value() const { return FValue; }
    QDateTime ToDateTime() const;
    QDate Date() const;
    QTime Time() const;

    // The same moment without seconds and milliseconds.
    TDateTime WholeMinutes() const;
    // The same day at 00:00.
    TDateTime DateOnly() const;

    friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.FValue == b.FValue; }
    friend constexpr auto operator<=>(TDateTime a, TDateTime b) { return a.FValue <=> b.FValue; }

private:
    double FValue = 0.0;
};
