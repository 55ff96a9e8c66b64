#pragma once

// A slow, plain reading of LIST output by the rules of the four line formats, one step
// after the other as they are stated, kept apart from the product: the listing fuzzer and the table of real lines check the
// fast parser against it. It shares nothing with engine/Parsers.cpp but the types, so
// that a fault in one of the engine's pieces cannot hide in both.

#include "engine/FTPTypes.h"
#include "engine/Parsers.h"

#include <QDate>

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace reference {

struct TEntry
{
    std::string Name;
    std::uint32_t Attributes = 0;
    std::int64_t Size = 0;
    TDateTime Date;
};

inline std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (line[pos] == ' ') {
            ++pos;
            continue;
        }
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

// Field k counted from 1; empty when there is none.
inline std::string_view Field(const std::vector<std::string_view> &fields, int k)
{
    return k >= 1 && std::size_t(k) <= fields.size() ? fields[std::size_t(k - 1)] : std::string_view();
}

// Where field k starts in `line` (fields are views into it).
inline std::size_t Start(std::string_view line, std::string_view field)
{
    return std::size_t(field.data() - line.data());
}

inline std::string_view Chars(std::string_view text, std::size_t pos, std::size_t count)
{
    return pos < text.size() ? text.substr(pos, count) : std::string_view();
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// An optional sign and decimal digits, nothing else, within 64 bits.
inline std::optional<std::int64_t> Decimal(std::string_view text)
{
    const bool hasSign = !text.empty() && (text[0] == '+' || text[0] == '-');
    const std::string_view digits = text.substr(hasSign ? 1 : 0);
    if (digits.empty())
        return std::nullopt;
    for (const char c : digits) {
        if (!IsDigit(c))
            return std::nullopt;
    }
    // from_chars takes a '-' but not a '+'.
    const std::string_view number = text[0] == '-' ? text : digits;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return value;
}

// The text as a number; else its stretch from the first to the last digit; else -1.
inline std::int64_t Number(std::string_view text)
{
    if (const auto value = Decimal(text))
        return *value;
    std::size_t first = 0;
    while (first < text.size() && !IsDigit(text[first]))
        ++first;
    if (first == text.size())
        return -1;
    std::size_t last = text.size() - 1;
    while (!IsDigit(text[last]))
        --last;
    return Decimal(text.substr(first, last - first + 1)).value_or(-1);
}

inline TDateTime Date(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                      std::int64_t minute, const QDate &today)
{
    TDateTime date;
    const bool inRange = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1
        && day <= 31 && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
    if (inRange && QDate::isValid(int(year), int(month), int(day))
        && TDateTime::TryEncode(int(year), int(month), int(day), int(hour), int(minute), 0, date))
        return date;
    TDateTime::TryEncode(today.year(), 1, 1, 0, 0, 0, date);
    return date;
}

// The year of a date listed without one: this year's, unless that day is still ahead.
inline std::int64_t RecentYear(std::int64_t month, std::int64_t day, const QDate &today)
{
    const bool ahead = month > today.month() || (month == today.month() && day > today.day());
    return today.year() - (ahead ? 1 : 0);
}

inline std::uint32_t Attributes(std::string_view line)
{
    static constexpr std::string_view Letters = "rwxrwxrwx";
    std::uint32_t attributes = 0;
    if (!line.empty() && line[0] == 'd')
        attributes |= faFolder;
    if (!line.empty() && line[0] == 'l')
        attributes |= faLink;
    for (std::size_t i = 1; i < 10 && i < line.size(); ++i) {
        if (line[i] == Letters[i - 1])
            attributes |= 1u << (i + 1);
    }
    return attributes;
}

inline void Add(std::vector<TEntry> &out, std::string_view name, std::uint32_t attributes,
                std::int64_t size, TDateTime date)
{
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return;
    if ((attributes & faFolder) && (name == "." || name == ".."))
        return;
    out.push_back(TEntry{std::string(name), attributes, size < 0 ? 0 : size, date});
}

constexpr std::string_view MonthNames = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec ";
constexpr std::string_view ChineseMonth = "\xD4\xC2";

inline bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// Field k and the character after it, if the line has one.
inline std::string_view FieldAndNext(std::string_view line, const std::vector<std::string_view> &fields, int k)
{
    const std::string_view field = Field(fields, k);
    if (field.empty())
        return field;
    return line.substr(Start(line, field), field.size() + 1);
}

inline void UnixLine(std::string_view line, const QDate &today, std::vector<TEntry> &out)
{
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 6)
        return;
    const int expected = fields[1].front() == '[' ? 5 : 6;
    // The month field: a line with the Chinese month character has its date in fixed
    // fields; otherwise the first field from the expected one down to the second that
    // is part of "Jan Feb ... Dec ", then the first field that is so together with the
    // character after it, else the expected one.
    int month = Contains(line, ChineseMonth) ? expected : 0;
    for (int k = expected; k >= 2 && month == 0; --k) {
        if (Contains(MonthNames, Field(fields, k)))
            month = k;
    }
    for (int k = 1; k <= int(fields.size()) && month == 0; ++k) {
        if (Contains(MonthNames, FieldAndNext(line, fields, k)))
            month = k;
    }
    if (month == 0)
        month = expected;

    // One blank ends the time or year; every further blank belongs to the name.
    const std::string_view time = Field(fields, month + 2);
    if (time.empty())
        return;
    const std::string_view name = Chars(line, Start(line, time) + time.size() + 1, std::string_view::npos);
    const std::uint32_t attributes = Attributes(line);
    const std::int64_t size = (attributes & faFolder) ? 0 : Number(Field(fields, month - 1));

    std::int64_t year = 0, monthNumber = 0, day = 0, hour = 0, minute = 0;
    if (!Contains(line, ChineseMonth)) {
        const std::size_t at = MonthNames.find(FieldAndNext(line, fields, month));
        monthNumber = (at == std::string_view::npos ? 0 : std::int64_t(at) + 1) / 4 + 1;
        day = Number(Field(fields, month + 1));
        if (Contains(time, ":")) {
            hour = Number(Chars(time, 0, 2));
            minute = Number(Chars(time, 3, 2));
            year = RecentYear(monthNumber, day, today);
        } else {
            year = Number(time);
        }
    } else if (Contains(Field(fields, 6), ChineseMonth)) {
        monthNumber = Number(Field(fields, 6));
        day = Number(Field(fields, 7));
        hour = Number(Chars(Field(fields, 8), 0, 2));
        minute = Number(Chars(Field(fields, 8), 3, 2));
        year = RecentYear(monthNumber, day, today);
    } else if (Contains(Field(fields, 7), ChineseMonth)) {
        year = Number(Field(fields, 6));
        monthNumber = Number(Field(fields, 7));
        day = Number(Field(fields, 8));
    } else {
        return;
    }
    Add(out, name, attributes, size, Date(year, monthNumber, day, hour, minute, today));
}

// "MM-DD-YY  HH:MMAP  <DIR> or size  name"; any other line is read as a Unix-style one.
inline void DosLine(std::string_view line, const QDate &today, std::vector<TEntry> &out)
{
    if (line.size() < 13 || line[2] != '-' || line[12] != ':')
        return UnixLine(line, today, out);
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 4)
        return;
    const bool folder = fields[2] == "<DIR>";
    const std::int64_t size = folder ? 0 : Number(fields[2]);
    const std::int64_t twoDigitYear = Number(Chars(line, 6, 2));
    const std::int64_t year = twoDigitYear < 80 ? 2000 + twoDigitYear : 1900 + twoDigitYear;
    std::int64_t hour = Number(Chars(line, 10, 2));
    const std::string_view meridiem = Chars(line, 15, 1);
    // 12 AM is midnight; an unreadable hour stays unreadable.
    if ((meridiem == "P" || meridiem == "p") && hour >= 0 && hour < 12)
        hour += 12;
    if ((meridiem == "A" || meridiem == "a") && hour == 12)
        hour = 0;
    const TDateTime date = Date(year, Number(Chars(line, 0, 2)), Number(Chars(line, 3, 2)), hour,
                                Number(Chars(line, 13, 2)), today);
    Add(out, line.substr(Start(line, fields[3])), folder ? std::uint32_t(faFolder) : 0u, size, date);
}

inline void VMLine(std::string_view line, const QDate &today, std::vector<TEntry> &out)
{
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 8)
        return;
    const std::string name = std::string(fields[0]) + "." + std::string(fields[1]);
    Add(out, name, 0, Number(fields[3]), Date(today.year(), today.month(), today.day(), 0, 0, today));
}

inline void VMSLine(std::string_view text, const QDate &today, std::string &pending, std::vector<TEntry> &out)
{
    if (text.empty())
        return;
    const std::string line = pending + std::string(text);
    pending.clear();
    if (!Contains(line, ";"))
        return;
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 2) {
        // A long name wrapped onto a line of its own waits for the rest of its record,
        // unless it is too long to be a name.
        if (line.size() <= 1024)
            pending = line;
        return;
    }
    std::string_view name = fields[0].substr(0, fields[0].find(';'));
    std::uint32_t attributes = 0;
    if (const std::size_t dir = name.find(".DIR"); dir != std::string_view::npos) {
        name = name.substr(0, dir);
        attributes = faFolder;
    }
    Add(out, name, attributes, Number(fields[1]),
        Date(today.year(), today.month(), today.day(), 0, 0, today));
}

// Reads a whole LIST output: lines end at CR or LF, and every break that follows is
// skipped with it, so only a text that starts with a break has an empty line.
inline std::vector<TEntry> ParseListing(std::string_view text, TListParser parser, const QDate &today,
                                        std::string &vmsPending)
{
    std::vector<TEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        const std::string_view line = text.substr(pos, end - pos);
        pos = end;
        while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n'))
            ++pos;
        switch (parser) {
        case TListParser::Unix:
            UnixLine(line, today, out);
            break;
        case TListParser::Dos:
            DosLine(line, today, out);
            break;
        case TListParser::VM:
            VMLine(line, today, out);
            break;
        case TListParser::VMS:
            VMSLine(line, today, vmsPending, out);
            break;
        case TListParser::None:
            return out;
        }
    }
    return out;
}

} // namespace reference
