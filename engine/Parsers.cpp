#include "engine/Parsers.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace {

// Every month name followed by one space: a month field's offset here, divided by 4,
// is the month's index.
constexpr std::string_view MonthNames = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec ";
// "Month" in the GB2312 listings of Chinese servers.
constexpr std::string_view ChineseMonth = "\xD4\xC2";

// A VMS name has at most 255 characters; a wrapped name line is kept up to this length.
constexpr std::size_t MaxWrappedVmsLine = 1024;


bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

// The first CR or LF at or after p, or end. With Watch, also sets *watched
// when a byte 0xD4 (the first half of the Chinese month character) comes before it.
template <bool Watch = false>
const char *FindLineBreak(const char *p, const char *end, bool *watched = nullptr)
{
    constexpr char WatchedByte = char(0xD4);
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i watchedBytes = _mm_set1_epi8(WatchedByte);
    unsigned seen = 0;
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf));
        const unsigned mask = unsigned(_mm_movemask_epi8(hits));
        if constexpr (Watch) {
            // Only the bytes before the break belong to the line.
            const unsigned before = (mask & (0 - mask)) - 1;
            seen |= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, watchedBytes))) & before;
        }
        if (mask != 0) {
            if constexpr (Watch)
                *watched = *watched || seen != 0;
            return p + __builtin_ctz(mask);
        }
        p += 16;
    }
    if constexpr (Watch)
        *watched = *watched || seen != 0;
#endif
    while (p != end && !IsLineBreak(*p)) {
        if constexpr (Watch)
            *watched = *watched || *p == WatchedByte;
        ++p;
    }
    return p;
}

// Past every CR and LF at p, so that empty lines vanish.
const char *PastLineBreaks(const char *p, const char *end)
{
    while (p != end && (*p == '\r' || *p == '\n'))
        ++p;
    return p;
}

unsigned SpaceMask16(const char *p)
{
#ifdef __SSE2__
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' '))));
#else
    unsigned mask = 0;
    for (unsigned i = 0; i < 16; ++i)
        mask |= unsigned(p[i] == ' ') << i;
    return mask;
#endif
}

// Bit i set when byte i of the 64 from p is a space or lies past the line's `left` bytes.
std::uint64_t SpaceMask64(const char *p, std::size_t left, std::size_t readableLeft)
{
    std::uint64_t spaces = 0;
    if (readableLeft >= 64) {
        for (unsigned i = 0; i < 4; ++i)
            spaces |= std::uint64_t(SpaceMask16(p + 16 * i)) << (16 * i);
    } else {
        const std::size_t count = std::min<std::size_t>(left, 64);
        for (std::size_t i = 0; i < count; ++i)
            spaces |= std::uint64_t(p[i] == ' ') << i;
    }
    if (left < 64)
        spaces |= ~std::uint64_t(0) << left;
    return spaces;
}

// How many bytes from the start of a line just taken from the cursor can be read.
std::size_t ReadableFrom(std::string_view line, const TTextCursor &cursor)
{
    return std::size_t(cursor.End - line.data());
}

// Like string_view::substr, but empty instead of throwing when pos is past the end.
std::string_view Part(std::string_view text, std::size_t pos, std::size_t count)
{
    return pos < text.size() ? text.substr(pos, count) : std::string_view();
}

bool Contains(std::string_view text, std::string_view what)
{
    return text.find(what) != std::string_view::npos;
}

// A decimal integer with an optional sign and nothing else; false on overflow.
bool ToInt64(std::string_view text, std::int64_t &value)
{
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return false;
    std::uint64_t magnitude = 0;
    // Up to 18 digits cannot overflow.
    if (text.size() - i <= 18) {
        for (; i < text.size(); ++i) {
            const unsigned digit = unsigned(static_cast<unsigned char>(text[i])) - '0';
            if (digit > 9)
                return false;
            magnitude = magnitude * 10 + digit;
        }
        value = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
        return true;
    }
    const std::uint64_t limit =
        std::uint64_t(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    for (; i < text.size(); ++i) {
        const unsigned digit = unsigned(static_cast<unsigned char>(text[i])) - '0';
        if (digit > 9 || magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return true;
}

// TYear is unsigned where the year is known to be 1 or later, which spares the divisions
// here and in DaySerial their steps for negative numbers. Bitwise rather than
// short-circuit: the years of a listing come in no predictable order.
template <class TYear>
bool IsLeapYear(TYear year)
{
    return (year % 4 == 0) & ((year % 100 != 0) | (year % 400 == 0));
}

// Days in the months before each month, in common and in leap years.
constexpr std::array<std::array<int, 13>, 2> MonthStarts = {{
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
}};

// Days from 1 January of the year 1 to 30 December 1899.
constexpr int DaysTo1899 = 693593;

// A proleptic Gregorian date of the years 1 to 9999 as days since 30 December 1899.
template <class TYear>
int DaySerial(TYear year, int month, int day)
{
    const TYear before = year - 1;
    const int yearStart = int(before * 365 + before / 4 - before / 100 + before / 400);
    return yearStart + MonthStarts[IsLeapYear(year)][std::size_t(month - 1)] + day - 1 - DaysTo1899;
}

// Each minute of the day as a fraction of the day, taken as milliseconds over the
// day's milliseconds.
constexpr std::array<double, 24 * 60> MinuteFractions = [] {
    constexpr std::int64_t MsPerDay = 24LL * 60 * 60 * 1000;
    std::array<double, 24 * 60> table{};
    for (std::size_t minute = 0; minute < table.size(); ++minute)
        table[minute] = double(std::int64_t(minute) * 60000) / double(MsPerDay);
    return table;
}();

template <class TYear>
TDateTime EncodeDate(TYear year, int month, int day, int hour, int minute)
{
    const double days = double(DaySerial(year, month, day));
    const double fraction = MinuteFractions[std::size_t(hour * 60 + minute)];
    // Before the epoch the fraction still counts forward from midnight.
    return TDateTime(days >= 0 ? days + fraction : days - fraction);
}

// Whether the values name a day that exists (years 1 to 9999) and a time of day.
bool IsRealDate(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                std::int64_t minute)
{
    const bool inRange = (year >= 1) & (year <= 9999) & (month >= 1) & (month <= 12) & (day >= 1)
        & (hour >= 0) & (hour < 24) & (minute >= 0) & (minute < 60);
    if (!inRange)
        return false;
    const bool leap = IsLeapYear(unsigned(year));
    const std::size_t monthIndex = std::size_t(month - 1);
    return day <= MonthStarts[leap][monthIndex + 1] - MonthStarts[leap][monthIndex];
}

TDateTime TodayOf(const TListTarget &target)
{
    return MakeDate(target.TodayYear, target.TodayMonth, target.TodayDay, 0, 0, target.TodayYear);
}

// The year of a date listed without one: the most recent such day up to today.
int RecentYear(const TListTarget &target, std::int64_t month, std::int64_t day)
{
    const bool ahead = (month > target.TodayMonth)
        | ((month == target.TodayMonth) & (day > target.TodayDay));
    return target.TodayYear - int(ahead);
}

// `name` must not be empty.
bool IsDotFolderName(std::string_view name)
{
    return (name.size() < 3) & (name.front() == '.') & (name.back() == '.');
}

[[gnu::noinline]] void TraceLineText(const TParseContext &ctx, std::string_view line)
{
    std::string text = "Parser Line: \"";
    text.append(line);
    text += '"';
    ctx.Trace(text);
}

void TraceLine(const TParseContext &ctx, std::string_view line)
{
    if (ctx.Trace)
        TraceLineText(ctx, line);
}

std::string FormatTraceDate(TDateTime date)
{
    const QLocale locale = QLocale::system();
    QString text = locale.toString(date.Date(), QLocale::ShortFormat);
    if (date.Time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(date.Time(), QLocale::LongFormat);
    return text.toStdString();
}

[[gnu::noinline]] void TraceEntry(const TParseContext &ctx, std::string_view name,
                                  std::int64_t size, TDateTime date)
{
    std::string line = "Host " + ctx.Host + ": Parser Entry. Name = \"";
    line.append(name);
    line += "\", Size = " + std::to_string(size) + ", Date = \"" + FormatTraceDate(date) + "\"";
    ctx.Trace(line);
}

// ParseAttributes, without a branch on the kind of entry. The public functions could be
// replaced when the library is loaded, so a compiler builds only copies like this one
// into the loops over a listing.
std::uint32_t AttributesOf(std::string_view line)
{
    static constexpr char Letters[] = "rwxrwxrwx";
    std::uint32_t attributes = 0;
    if (!line.empty())
        attributes = unsigned(line[0] == 'd') * faFolder | unsigned(line[0] == 'l') * faLink;
#ifdef __SSE2__
    if (line.size() >= 16) {
        // Characters 2 to 10 against "rwxrwxrwx" at once: match i gives bit i + 1.
        const __m128i letters =
            _mm_setr_epi8(0, 'r', 'w', 'x', 'r', 'w', 'x', 'r', 'w', 'x', 0, 0, 0, 0, 0, 0);
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(line.data()));
        const unsigned matches = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, letters)));
        return attributes | (matches & 0x3FEu) << 1;
    }
#endif
    const std::size_t end = std::min<std::size_t>(line.size(), 10);
    for (std::size_t i = 1; i < end; ++i) {
        if (line[i] == Letters[i - 1])
            attributes |= 1u << (i + 1);
    }
    return attributes;
}

// AddListEntry, for the loops over a listing as AttributesOf is. `readable` bytes from
// the name's start can be read.
bool AddEntry(const TListTarget &target, std::string_view name, std::uint32_t attributes,
                     TDateTime date, std::int64_t size, std::size_t readable = 0)
{
    if (!target.Listing || name.empty())
        return false;
    if (target.MayHoldZero && name.find('\0') != std::string_view::npos) [[unlikely]] {
        // Such a name cannot be fetched, renamed or deleted, and cut at the zero byte it
        // would name another file.
        if (target.Context->DroppedName)
            target.Context->DroppedName(name);
        return false;
    }
    // One branch for both tests: folders and files come in no predictable order.
    if (IsDotFolderName(name) & ((attributes & faFolder) != 0))
        return false;
    size = std::max<std::int64_t>(size, 0);
    target.Listing->push_back(name, TDirEntry{attributes, size, date}, readable);
    if (target.Context->Trace)
        TraceEntry(*target.Context, name, size, date);
    return true;
}

constexpr std::uint32_t PackThree(const char *p)
{
    return std::uint32_t(static_cast<unsigned char>(p[0]))
        | std::uint32_t(static_cast<unsigned char>(p[1])) << 8
        | std::uint32_t(static_cast<unsigned char>(p[2])) << 16;
}

// Month names hashed to distinct slots of a small table, so a lookup is one probe.
constexpr std::uint32_t MonthHashFactor = [] {
    for (std::uint32_t factor = 1;; factor += 2) {
        std::uint32_t used = 0;
        bool distinct = true;
        for (std::size_t i = 0; i < 12 && distinct; ++i) {
            const std::uint32_t bit = 1u << ((PackThree(MonthNames.data() + 4 * i) * factor) >> 27);
            distinct = (used & bit) == 0;
            used |= bit;
        }
        if (distinct)
            return factor;
    }
}();

constexpr std::uint32_t MonthSlot(std::uint32_t packed)
{
    return (packed * MonthHashFactor) >> 27;
}

struct TMonthSlot
{
    std::uint32_t Packed = 0; // no month packs to 0
    int Index = -1;
};

// 0 to 11 for the three letters of a month name as MonthNames spells it, else -1.
int MonthIndex(const char *threeLetters)
{
    static constexpr auto Table = [] {
        std::array<TMonthSlot, 32> table{};
        for (std::size_t i = 0; i < 12; ++i) {
            const std::uint32_t packed = PackThree(MonthNames.data() + 4 * i);
            const std::size_t slot = MonthSlot(packed);
            table[slot] = TMonthSlot{packed, int(i)};
        }
        return table;
    }();
    const std::uint32_t key = PackThree(threeLetters);
    const TMonthSlot &slot = Table[MonthSlot(key)];
    return slot.Packed == key ? slot.Index : -1;
}

// The offset of `text` inside MonthNames, or npos. A month name, alone or with the space
// after it, is looked up without a substring search.
std::size_t FindInMonthNames(std::string_view text)
{
    if (text.size() == 3 || (text.size() == 4 && text[3] == ' ')) {
        const int index = MonthIndex(text.data());
        if (index >= 0)
            return 4 * std::size_t(index);
    }
    return MonthNames.find(text);
}

// The month field: first the expected field and those before it, as a whole name or
// part of one; then any field followed by its separator.
int FindMonthField(TLineFields &fields, int expected)
{
    for (int k = expected; k >= 2; --k) {
        const std::string_view field = fields.Field(k);
        if (!field.empty() && FindInMonthNames(field) != std::string_view::npos)
            return k;
    }
    const std::string_view line = fields.Line();
    std::size_t pos = 0;
    TFieldSpan span;
    for (int k = 1; NextField(line, pos, span); ++k) {
        if (FindInMonthNames(line.substr(span.Start, span.Length + 1)) != std::string_view::npos)
            return k;
    }
    return expected;
}

int MonthNumber(std::string_view monthAndNext)
{
    const std::size_t pos = FindInMonthNames(monthAndNext);
    const std::size_t onePlaced = pos == std::string_view::npos ? 0 : pos + 1;
    return int(onePlaced / 4) + 1;
}

// ParseNumber, with the plain digits of nearly every field read in line.
inline std::int64_t FieldNumber(std::string_view text)
{
    if (text.empty() || text.size() > 18)
        return ParseNumber(text);
    std::uint64_t value = 0;
    for (const char c : text) {
        const unsigned digit = unsigned(static_cast<unsigned char>(c)) - '0';
        if (digit > 9)
            return ParseNumber(text);
        value = value * 10 + digit;
    }
    return std::int64_t(value);
}

constexpr std::uint64_t EachByte = 0x0101010101010101;

// Bytes as one word; on the little-endian machines its readers check for, the first
// byte is the lowest.
template <class TWord = std::uint64_t>
TWord LoadWord(const char *p)
{
    TWord word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The word with all but its last `kept` bytes (0 to 8) replaced by '0'.
std::uint64_t PadWithZeros(std::uint64_t word, std::size_t kept)
{
    // Two shifts, as one by all 64 bits would be undefined.
    const unsigned half = unsigned(4 * (8 - kept));
    const std::uint64_t keep = ~std::uint64_t(0) << half << half;
    return (word & keep) | ('0' * EachByte & ~keep);
}

// Whether all eight bytes are digits: 3 in the high half, and a low half that stays
// below 16 when 6 is added.
bool AllDigits(std::uint64_t word)
{
    constexpr std::uint64_t High = 0xF0 * EachByte;
    return ((word & High) | (((word + 6 * EachByte) & High) >> 4)) == 0x33 * EachByte;
}

// The number eight digit bytes spell, the first byte the most significant digit.
std::uint64_t EightDigits(std::uint64_t word)
{
    constexpr std::uint64_t Pairs = 0x000000FF000000FF;
    word -= '0' * EachByte;
    word = word * 10 + (word >> 8); // every other byte now holds two digits
    return ((word & Pairs) * (100 + (1000000ULL << 32))
            + ((word >> 16) & Pairs) * (1 + (10000ULL << 32)))
        >> 32;
}

// FieldNumber of the field at `start` with `length` bytes, up to 16 plain digits taken
// eight at a time instead of one by one. The words are read back from the field's end,
// so a field within the line's first eight bytes is left to FieldNumber.
std::int64_t LineFieldNumber(std::string_view line, std::size_t start, std::size_t length)
{
    if (std::endian::native != std::endian::little || start < 8 || length - 1 >= 16)
        return FieldNumber(Part(line, start, length));
    const char *const end = line.data() + start + length;
    const std::size_t highLength = length > 8 ? length - 8 : 0;
    const std::uint64_t low = PadWithZeros(LoadWord(end - 8), length - highLength);
    // Without a high part the low word is read again and none of it kept.
    const std::uint64_t high =
        PadWithZeros(LoadWord(end - (highLength != 0 ? 16 : 8)), highLength);
    if (!(AllDigits(low) & AllDigits(high)))
        return FieldNumber(Part(line, start, length));
    return std::int64_t(EightDigits(high) * 100000000 + EightDigits(low));
}

// "HH:MM" with the hour in the first two characters and the minute in the 4th and 5th.
void ParseClock(std::string_view text, std::int64_t &hour, std::int64_t &minute)
{
    hour = FieldNumber(Part(text, 0, 2));
    minute = FieldNumber(Part(text, 3, 2));
}

// The date of an ordinary Unix-style line from its month and the two fields after it:
// the day, then a time (this year's or last year's date) or a year.
[[gnu::noinline]] TDateTime ListedDate(std::int64_t month, std::string_view dayText,
                                       std::string_view timeOrYear, const TListTarget &target)
{
    const std::int64_t day = FieldNumber(dayText);
    std::int64_t year = 0;
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    if (std::find(timeOrYear.begin(), timeOrYear.end(), ':') != timeOrYear.end()) {
        ParseClock(timeOrYear, hour, minute);
        year = RecentYear(target, month, day);
    } else {
        year = FieldNumber(timeOrYear);
    }
    return MakeDate(year, month, day, hour, minute, target.TodayYear);
}

// ListedDate for the shapes nearly every line has: a day of one or two digits, then
// "HH:MM" or a four-digit year; false for any other. Reads the digits four at a time and
// does not branch on which of the two shapes a line has, as listings mix them at random.
// Both fields must be followed by at least one more byte of the line.
bool PlainListedDate(int month, const char *line, TFieldSpan dayField, TFieldSpan timeField,
                     const TListTarget &target, TDateTime &date)
{
    if (std::endian::native != std::endian::little || dayField.Length - 1 > 1
        || timeField.Length - 4 > 1)
        return false;
    const auto digit = [](char c) { return unsigned(static_cast<unsigned char>(c)) - '0'; };
    const unsigned twoDigitDay = 0u - unsigned(dayField.Length == 2);
    const unsigned dayFirst = digit(line[dayField.Start]);
    const unsigned daySecond = digit(line[dayField.Start + 1]) & twoDigitDay;
    const unsigned clock = 0u - unsigned(timeField.Length == 5);
    // Each byte's digit; the clock's colon becomes 10 and is then taken out.
    const std::uint32_t values = LoadWord<std::uint32_t>(line + timeField.Start) - 0x30303030u;
    const std::uint32_t digits = values & ~(clock & 0x00FF0000u);
    const unsigned lastMinuteDigit = digit(line[timeField.Start + 4]);
    const unsigned notDigits = (((digits + 0x76767676u) | digits) & 0x80808080u)
        | unsigned(dayFirst > 9) | unsigned(daySecond > 9);
    const unsigned notClock =
        unsigned((values >> 16 & 0xFF) != 10) | unsigned(lastMinuteDigit > 9);
    if ((notDigits | (notClock & clock)) != 0)
        return false;
    const std::uint32_t pairs = digits * 10 + (digits >> 8); // bytes 0 and 2: two digits each
    const unsigned firstPair = pairs & 0xFF;
    const int day = int((dayFirst * 10 + daySecond) & twoDigitDay) | int(dayFirst & ~twoDigitDay);
    const int hour = int(firstPair & clock);
    const int minute = int(((digits >> 24) * 10 + lastMinuteDigit) & clock);
    const int year = int((unsigned(RecentYear(target, month, day)) & clock)
                         | ((firstPair * 100 + (pairs >> 16 & 0xFF)) & ~clock));
    date = IsRealDate(year, month, day, hour, minute)
        ? EncodeDate(unsigned(year), month, day, hour, minute)
        : target.NewYear;
    return true;
}

// The date of a Unix-style line, or false when a Chinese listing has no month where
// one is expected.
bool UnixDate(TLineFields &fields, int monthField, const TListTarget &target, TDateTime &date)
{
    if (!Contains(fields.Line(), ChineseMonth)) {
        date = ListedDate(MonthNumber(fields.FieldAndNext(monthField)),
                          fields.Field(monthField + 1), fields.Field(monthField + 2), target);
        return true;
    }
    std::int64_t year = 0;
    std::int64_t month = 0;
    std::int64_t day = 0;
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    if (Contains(fields.Field(6), ChineseMonth)) {
        month = FieldNumber(fields.Field(6));
        day = FieldNumber(fields.Field(7));
        ParseClock(fields.Field(8), hour, minute);
        year = RecentYear(target, month, day);
    } else if (Contains(fields.Field(7), ChineseMonth)) {
        year = FieldNumber(fields.Field(6));
        month = FieldNumber(fields.Field(7));
        day = FieldNumber(fields.Field(8));
    } else {
        return false;
    }
    date = MakeDate(year, month, day, hour, minute, target.TodayYear);
    return true;
}

// What the 128 bytes from a line's start hold: bit i tells about byte i of the first 64,
// the More words about the 64 after them. Nearly every line ends within the 128.
struct TLineWindow
{
    std::uint64_t Spaces = 0;      // of the first 64 bytes only
    std::uint64_t Breaks = 0;      // CR, LF or past the text
    std::uint64_t Watched = 0;     // 0xD4
    std::uint64_t MoreBreaks = 0;
    std::uint64_t MoreWatched = 0;
};

// The window one byte at a time, for the end of the text.
[[gnu::noinline]] TLineWindow ScanWindowBytes(const char *p, std::size_t readable)
{
    TLineWindow window;
    const std::size_t count = std::min<std::size_t>(readable, 128);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t bit = std::uint64_t(1) << (i % 64);
        const bool isBreak = IsLineBreak(p[i]);
        const bool watched = p[i] == char(0xD4);
        if (i < 64) {
            window.Spaces |= p[i] == ' ' ? bit : 0;
            window.Breaks |= isBreak ? bit : 0;
            window.Watched |= watched ? bit : 0;
        } else {
            window.MoreBreaks |= isBreak ? bit : 0;
            window.MoreWatched |= watched ? bit : 0;
        }
    }
    const auto pastText = [](std::size_t from) {
        return from >= 64 ? 0 : ~std::uint64_t(0) << from;
    };
    window.Breaks |= pastText(count);
    window.MoreBreaks |= pastText(count < 64 ? 0 : count - 64);
    return window;
}

// Reads the window 16 bytes at a time, which every x86-64 processor can.
struct TSse2Scanner
{
#ifdef __SSE2__
    static std::uint64_t Bits(__m128i matches)
    {
        return std::uint64_t(unsigned(_mm_movemask_epi8(matches)));
    }

    // Bits `shift` on of `breaks` and `watched`, and of `spaces` when given.
    static void ScanChunk(const char *p, unsigned shift, std::uint64_t *spaces,
                          std::uint64_t &breaks, std::uint64_t &watched)
    {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i lineBreaks = _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r')),
                                                _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n')));
        if (spaces)
            *spaces |= Bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' '))) << shift;
        breaks |= Bits(lineBreaks) << shift;
        watched |= Bits(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(char(0xD4)))) << shift;
    }
#endif

    static TLineWindow Scan(const char *p, std::size_t readable)
    {
#ifdef __SSE2__
        if (readable >= 128) {
            TLineWindow w;
            ScanChunk(p, 0, &w.Spaces, w.Breaks, w.Watched);
            ScanChunk(p + 16, 16, &w.Spaces, w.Breaks, w.Watched);
            ScanChunk(p + 32, 32, &w.Spaces, w.Breaks, w.Watched);
            ScanChunk(p + 48, 48, &w.Spaces, w.Breaks, w.Watched);
            ScanChunk(p + 64, 0, nullptr, w.MoreBreaks, w.MoreWatched);
            ScanChunk(p + 80, 16, nullptr, w.MoreBreaks, w.MoreWatched);
            ScanChunk(p + 96, 32, nullptr, w.MoreBreaks, w.MoreWatched);
            ScanChunk(p + 112, 48, nullptr, w.MoreBreaks, w.MoreWatched);
            return w;
        }
#endif
        return ScanWindowBytes(p, readable);
    }
};

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FERROW_AVX2_LISTINGS 1
#endif

#ifdef FERROW_AVX2_LISTINGS
// Reads the window 32 bytes at a time, on processors that have AVX2.
struct TAvx2Scanner
{
    [[gnu::target("avx2"), gnu::always_inline]] static std::uint64_t Bits(__m256i matches)
    {
        return std::uint64_t(unsigned(_mm256_movemask_epi8(matches)));
    }

    [[gnu::target("avx2"), gnu::always_inline]] static void ScanChunk(
        const char *p, unsigned shift, std::uint64_t *spaces, std::uint64_t &breaks,
        std::uint64_t &watched)
    {
        // Each byte looked up by its low four bits: a break is the one byte that finds
        // itself. Bytes from 0x80 on look up 0 and so find nothing; the zero byte looks
        // up 0xFF.
        const __m256i breakTable = _mm256_setr_epi8(
            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\n', -1, -1, '\r', -1, -1,
            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, '\n', -1, -1, '\r', -1, -1);
        const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        if (spaces)
            *spaces |= Bits(_mm256_cmpeq_epi8(chunk, _mm256_set1_epi8(' '))) << shift;
        breaks |= Bits(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(breakTable, chunk), chunk)) << shift;
        watched |= Bits(_mm256_cmpeq_epi8(chunk, _mm256_set1_epi8(char(0xD4)))) << shift;
    }

    [[gnu::target("avx2"), gnu::always_inline]] static TLineWindow Scan(const char *p,
                                                                       std::size_t readable)
    {
        if (readable < 128)
            return ScanWindowBytes(p, readable);
        TLineWindow w;
        ScanChunk(p, 0, &w.Spaces, w.Breaks, w.Watched);
        ScanChunk(p + 32, 32, &w.Spaces, w.Breaks, w.Watched);
        ScanChunk(p + 64, 0, nullptr, w.MoreBreaks, w.MoreWatched);
        ScanChunk(p + 96, 32, nullptr, w.MoreBreaks, w.MoreWatched);
        return w;
    }
};
#endif

// A Unix-style line in the layout nearly every server sends: its first nine fields
// start within 64 bytes, the second does not start with "[", the sixth is a month name
// and no byte 0xD4 occurs. The general rules read such a line exactly so; this finds
// it in one pass.
struct TUsualUnixLine
{
    std::string_view Line;
    TFieldSpan Size;        // field 5
    TFieldSpan Day;         // field 7
    TFieldSpan TimeOrYear;  // field 8
    std::size_t NameStart;  // one blank after field 8; further blanks belong to the name
    int Month;              // 1 to 12
    const char *Next;       // past the line's breaks

    std::string_view Field(TFieldSpan span) const { return Line.substr(span.Start, span.Length); }
};

// The bits left after clearing the lowest N set ones.
template <int N>
std::uint64_t DropLowest(std::uint64_t bits)
{
    for (int i = 0; i < N; ++i)
        bits &= bits - 1;
    return bits;
}

std::size_t Lowest(std::uint64_t bits)
{
    return std::size_t(__builtin_ctzll(bits));
}

// The field whose start and end are the lowest bits of `starts` and `ends`.
TFieldSpan LowestField(std::uint64_t starts, std::uint64_t ends)
{
    return TFieldSpan{Lowest(starts), Lowest(ends) - Lowest(starts)};
}

// The bits below bit n (0 to 64).
std::uint64_t BitsBelow(std::size_t n)
{
    return n >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1;
}

bool ReadUsualUnixLine(const TTextCursor &cursor, const TLineWindow &window,
                       TUsualUnixLine &usual)
{
    const char *const p = cursor.Pos;
    std::size_t length = 0;
    bool watched = false;
    if (window.Breaks != 0) {
        length = Lowest(window.Breaks);
        watched = (window.Watched & BitsBelow(length)) != 0;
    } else if (window.MoreBreaks != 0) {
        length = 64 + Lowest(window.MoreBreaks);
        watched = (window.Watched | (window.MoreWatched & BitsBelow(length - 64))) != 0;
    } else {
        length = std::size_t(FindLineBreak<true>(p + 128, cursor.End, &watched) - p);
        watched = watched || (window.Watched | window.MoreWatched) != 0;
    }
    if (watched)
        return false;
    const std::uint64_t inField = ~window.Spaces & BitsBelow(length);
    const std::uint64_t starts = inField & ~(inField << 1);
    const std::uint64_t ends = ~inField & (inField << 1);
    // Each field's start and end are found by dropping those of the fields before it.
    const std::uint64_t startsFrom2 = DropLowest<1>(starts);
    const std::uint64_t startsFrom5 = DropLowest<3>(startsFrom2);
    const std::uint64_t startsFrom6 = DropLowest<1>(startsFrom5);
    const std::uint64_t startsFrom7 = DropLowest<1>(startsFrom6);
    const std::uint64_t startsFrom8 = DropLowest<1>(startsFrom7);
    const std::uint64_t startsFrom9 = DropLowest<1>(startsFrom8);
    if (startsFrom9 == 0)
        return false;
    // Every field before the ninth ends before it, so inside the window.
    const std::uint64_t endsFrom5 = DropLowest<4>(ends);
    const std::uint64_t endsFrom6 = DropLowest<1>(endsFrom5);
    const std::uint64_t endsFrom7 = DropLowest<1>(endsFrom6);
    const std::uint64_t endsFrom8 = DropLowest<1>(endsFrom7);
    const TFieldSpan month = LowestField(startsFrom6, endsFrom6);
    if (p[Lowest(startsFrom2)] == '[' || month.Length != 3)
        return false;
    usual.Month = MonthIndex(p + month.Start) + 1;
    if (usual.Month == 0)
        return false;
    usual.Line = std::string_view(p, length);
    usual.Size = LowestField(startsFrom5, endsFrom5);
    usual.Day = LowestField(startsFrom7, endsFrom7);
    usual.TimeOrYear = LowestField(startsFrom8, endsFrom8);
    usual.NameStart = usual.TimeOrYear.Start + usual.TimeOrYear.Length + 1;
    usual.Next = PastLineBreaks(p + length, cursor.End);
    return true;
}

// A Unix-style line by the general rules.
[[gnu::noinline]] bool ParseOtherUnixLine(TTextCursor &cursor, const TListTarget &target)
{
    const std::string_view line = GetLine(cursor, *target.Context);
    if (line.empty())
        return false;
    TLineFields fields(line, ReadableFrom(line, cursor));
    if (!fields.HasAtLeast(6))
        return false;
    const bool bracketedRights = fields.Field(2).front() == '[';
    const int expectedMonth = bracketedRights ? 5 : 6;
    // A Chinese date stands in fixed fields; a search for a month name there would stop
    // at any name, owner or group that is part of one ("a", "u", "Dec").
    const int monthField =
        Contains(line, ChineseMonth) ? expectedMonth : FindMonthField(fields, expectedMonth);
    // Exactly one blank separates the time or year from the name.
    const int timeField = monthField + 2;
    const std::size_t nameStart = fields.Start(timeField) + fields.Field(timeField).size() + 1;
    const std::string_view name = Part(line, nameStart, std::string_view::npos);
    const std::uint32_t attributes = ParseAttributes(line);
    const std::int64_t size = attributes & faFolder ? 0 : FieldNumber(fields.Field(monthField - 1));
    TDateTime date;
    if (!UnixDate(fields, monthField, target, date))
        return false;
    return AddListEntry(target, name, attributes, date, size);
}

// ParseUnixLine, given the window at the cursor.
bool ParseUnixLineIn(TTextCursor &cursor, const TLineWindow &window, const TListTarget &target)
{
    TUsualUnixLine usual;
    if (!ReadUsualUnixLine(cursor, window, usual))
        return ParseOtherUnixLine(cursor, target);
    const std::string_view line = usual.Line;
    TraceLine(*target.Context, line);
    cursor.Pos = usual.Next;
    const std::uint32_t attributes = AttributesOf(line);
    // Read for folders too, so that the kind of entry decides no branch.
    const std::int64_t number = LineFieldNumber(line, usual.Size.Start, usual.Size.Length);
    const std::int64_t size = attributes & faFolder ? 0 : number;
    TDateTime date;
    if (!PlainListedDate(usual.Month, line.data(), usual.Day, usual.TimeOrYear, target, date))
        date = ListedDate(usual.Month, usual.Field(usual.Day), usual.Field(usual.TimeOrYear),
                          target);
    const std::string_view name = line.substr(usual.NameStart);
    return AddEntry(target, name, attributes, date, size, ReadableFrom(name, cursor));
}

using TLineInFunc = bool (*)(TTextCursor &, const TLineWindow &, const TListTarget &);

// The loops over a whole listing, one for each way of reading the window. Everything
// they call is compiled into them (flatten), in the AVX2 one for AVX2, except the
// functions marked noinline that only unusual lines need.
template <TLineInFunc ParseLineIn>
[[gnu::flatten]] void ParseLinesSse2(TTextCursor &cursor, const TListTarget &target)
{
    while (!cursor.AtEnd())
        ParseLineIn(cursor, TSse2Scanner::Scan(cursor.Pos, cursor.Remaining()), target);
}

#ifdef FERROW_AVX2_LISTINGS
template <TLineInFunc ParseLineIn>
[[gnu::target("avx2,bmi"), gnu::flatten]] void ParseLinesAvx2(TTextCursor &cursor,
                                                              const TListTarget &target)
{
    while (!cursor.AtEnd())
        ParseLineIn(cursor, TAvx2Scanner::Scan(cursor.Pos, cursor.Remaining()), target);
}
#endif

template <TLineInFunc ParseLineIn>
void ParseLines(TTextCursor &cursor, const TListTarget &target)
{
#ifdef FERROW_AVX2_LISTINGS
    static const bool hasAvx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
    if (hasAvx2)
        return ParseLinesAvx2<ParseLineIn>(cursor, target);
#endif
    ParseLinesSse2<ParseLineIn>(cursor, target);
}

// The hour of a DOS-style clock from midnight: 1 PM to 11 PM are 12 hours later, and
// 12 AM is midnight (IIS lists a file of 00:15 as "12:15AM"). An unreadable hour stays
// unreadable rather than turning into 11 PM. Without branches: morning and afternoon
// come in no order.
std::int64_t DosHour(std::int64_t hour, char meridiem)
{
    const bool pm = (meridiem | 0x20) == 'p';
    const bool am = (meridiem | 0x20) == 'a';
    return hour + 12 * std::int64_t(pm & (hour >= 0) & (hour < 12)) - 12 * std::int64_t(am & (hour == 12));
}

// The year of a DOS-style date's two digits: up to 79 this century, from 80 the last.
std::int64_t DosYear(std::int64_t twoDigits)
{
    return twoDigits + 1900 + 100 * std::int64_t(twoDigits < 80);
}

// The two-digit numbers of a DOS-style line's "MM-DD-YY  HH:MM" at their places.
[[gnu::noinline]] TDateTime DosDateByFields(std::string_view line, const TListTarget &target)
{
    const std::int64_t month = FieldNumber(Part(line, 0, 2));
    const std::int64_t day = FieldNumber(Part(line, 3, 2));
    const std::int64_t year = DosYear(FieldNumber(Part(line, 6, 2)));
    const std::string_view meridiem = Part(line, 15, 1);
    const std::int64_t hour =
        DosHour(FieldNumber(Part(line, 10, 2)), meridiem.empty() ? '\0' : meridiem[0]);
    const std::int64_t minute = FieldNumber(Part(line, 13, 2));
    return MakeDate(year, month, day, hour, minute, target.TodayYear);
}

// DosDateByFields, for the line whose ten date and time places all hold digits, as
// nearly every line's do.
TDateTime DosDate(std::string_view line, const TListTarget &target)
{
    if (std::endian::native != std::endian::little || line.size() < 16)
        return DosDateByFields(line, target);
    // "MM-DD-YY" and "  HH:MMAP" as two words, their other bytes made '0' so that the
    // digits can be checked and taken all at once.
    constexpr std::uint64_t DatePlaces = 0xFFFF00FFFF00FFFF;
    constexpr std::uint64_t TimePlaces = 0x00FFFF00FFFF0000;
    const auto placesOnly = [](std::uint64_t word, std::uint64_t places) {
        return (word & places) | ('0' * EachByte & ~places);
    };
    const std::uint64_t dateWord = placesOnly(LoadWord(line.data()), DatePlaces);
    const std::uint64_t timeWord = placesOnly(LoadWord(line.data() + 8), TimePlaces);
    if (!(AllDigits(dateWord) & AllDigits(timeWord)))
        return DosDateByFields(line, target);
    const std::uint64_t dateDigits = dateWord - '0' * EachByte;
    const std::uint64_t timeDigits = timeWord - '0' * EachByte;
    const auto number = [](std::uint64_t digits, int first) {
        return int((digits >> (8 * first) & 0xFF) * 10 + (digits >> (8 * first + 8) & 0xFF));
    };
    const int month = number(dateDigits, 0);
    const int day = number(dateDigits, 3);
    const int year = int(DosYear(number(dateDigits, 6)));
    const int hour = int(DosHour(number(timeDigits, 2), line[15]));
    const int minute = number(timeDigits, 5);
    return IsRealDate(year, month, day, hour, minute) ? EncodeDate(unsigned(year), month, day, hour, minute)
                                                      : target.NewYear;
}

// The entry of a DOS-style line, given its third field (the size or "<DIR>") and where
// its fourth (the name) starts.
bool AddDosEntry(const TListTarget &target, const TTextCursor &cursor, std::string_view line,
                 TFieldSpan sizeSpan, std::size_t nameStart)
{
    const std::string_view sizeField = line.substr(sizeSpan.Start, sizeSpan.Length);
    const bool folder = sizeField == "<DIR>";
    const std::uint32_t attributes = folder ? std::uint32_t(faFolder) : 0u;
    const std::int64_t size = folder ? 0 : LineFieldNumber(line, sizeSpan.Start, sizeSpan.Length);

    const std::string_view name = line.substr(nameStart);
    return AddEntry(target, name, attributes, DosDate(line, target), size,
                    ReadableFrom(name, cursor));
}

// A DOS-style line by the general rules.
[[gnu::noinline]] bool ParseOtherDosLine(TTextCursor &cursor, const TListTarget &target)
{
    const std::string_view line = GetLine(cursor, *target.Context);
    TLineFields fields(line, ReadableFrom(line, cursor));
    if (!fields.HasAtLeast(4))
        return false;
    const TFieldSpan sizeSpan{fields.Start(3), fields.Field(3).size()};
    return AddDosEntry(target, cursor, line, sizeSpan, fields.Start(4));
}

// ParseDosLine, given the window at the cursor. A line whose name starts within the
// window's first 64 bytes, as nearly all do, has its fields found in one pass.
bool ParseDosLineIn(TTextCursor &cursor, const TLineWindow &window, const TListTarget &target)
{
    // A line that starts like "01-31-98  10:30PM": no break in the first 13 bytes.
    const char *const p = cursor.Pos;
    if ((window.Breaks & 0x1FFF) != 0 || p[2] != '-' || p[12] != ':')
        return ParseUnixLineIn(cursor, window, target);
    // Lines end in either half of the window at random; counting from zero bits costs
    // no branch on which.
    std::size_t length = std::size_t(std::countr_zero(window.Breaks));
    if (length == 64)
        length += std::size_t(std::countr_zero(window.MoreBreaks));
    if (length == 128) [[unlikely]]
        length = std::size_t(FindLineBreak(p + 128, cursor.End) - p);
    const std::uint64_t inField = ~window.Spaces & BitsBelow(length);
    const std::uint64_t starts = inField & ~(inField << 1);
    const std::uint64_t ends = ~inField & (inField << 1);
    const std::uint64_t startsFrom3 = DropLowest<2>(starts);
    const std::uint64_t startsFrom4 = DropLowest<1>(startsFrom3);
    if (startsFrom4 == 0)
        return ParseOtherDosLine(cursor, target);
    const std::string_view line(p, length);
    TraceLine(*target.Context, line);
    cursor.Pos = PastLineBreaks(p + length, cursor.End);
    return AddDosEntry(target, cursor, line, LowestField(startsFrom3, DropLowest<2>(ends)),
                       Lowest(startsFrom4));
}

using TLineParserFunc = bool (*)(TTextCursor &, const TListTarget &);

TLineParserFunc LineParserFor(TListParser parser)
{
    switch (parser) {
    case TListParser::Unix:
        return ParseUnixLine;
    case TListParser::Dos:
        return ParseDosLine;
    case TListParser::VM:
        return ParseVMLine;
    case TListParser::VMS:
        return ParseVMSLine;
    case TListParser::None:
        break;
    }
    return nullptr;
}

// Room for the lines of the whole text, judged by the line length at its start, so
// that most listings fill one allocation. Lines shorter than any real entry line do
// not make it reserve more than the text could hold.
void ReserveFor(TDirListing &out, std::string_view text)
{
    constexpr std::size_t SampleBytes = 16 * 1024;
    constexpr std::size_t ShortestEntryLine = 32;
    const std::string_view sample = text.substr(0, SampleBytes);
    std::size_t lines = std::size_t(std::count(sample.begin(), sample.end(), '\n'));
    if (lines == 0)
        lines = std::size_t(std::count(sample.begin(), sample.end(), '\r'));
    if (lines == 0)
        return;
    const double estimate = double(text.size()) / double(sample.size()) * double(lines) * 1.02;
    const std::size_t most = text.size() / ShortestEntryLine;
    out.reserve(out.size() + std::min(std::size_t(estimate) + 16, most));
}

// The listing is kept for as long as its folder is shown; do not hold on to a
// guess that turned out far too large.
void ReleaseSlack(TDirListing &out)
{
    if (out.capacity() - out.size() > out.size() / 4)
        out.shrink_to_fit();
}

char PermissionChar(std::uint32_t attributes, int bit, char letter)
{
    return attributes & (1u << bit) ? letter : '-';
}

} // namespace

TListTarget::TListTarget(TDirListing *listing, TListingState &state, const TParseContext &ctx)
    : Listing(listing), State(&state), Context(&ctx)
{
    const QDate today = ctx.Today.isValid() ? ctx.Today : QDate::currentDate();
    today.getDate(&TodayYear, &TodayMonth, &TodayDay);
    NewYear = EncodeDate(TodayYear, 1, 1, 0, 0);
}

std::string_view GetLine(TTextCursor &cursor, const TParseContext &ctx)
{
    const char *const start = cursor.Pos;
    const char *p = FindLineBreak(start, cursor.End);
    const std::string_view line(start, std::size_t(p - start));
    cursor.Pos = PastLineBreaks(p, cursor.End);
    TraceLine(ctx, line);
    return line;
}

bool NextField(std::string_view line, std::size_t &pos, TFieldSpan &field)
{
    const std::size_t size = line.size();
    while (pos < size && line[pos] == ' ')
        ++pos;
    if (pos == size)
        return false;
    field.Start = pos;
    while (pos < size && line[pos] != ' ')
        ++pos;
    field.Length = pos - field.Start;
    return true;
}

void TLineFields::Reset(std::string_view line, std::size_t readable)
{
    FLine = line;
    FReadable = std::max(readable, line.size());
    FNextBlockPos = 0;
    FCarry = false;
    FFieldOpen = false;
    FFound = 0;
    FComplete = false;
}

void TLineFields::Record(std::size_t start, std::size_t end)
{
    if (FFound < MaxRecorded)
        FSpans[std::size_t(FFound)] = TFieldSpan{start, end - start};
    ++FFound;
}

void TLineFields::ScanBlock()
{
    const std::size_t blockPos = FNextBlockPos;
    if (blockPos >= FLine.size()) {
        if (FFieldOpen)
            Record(FOpenStart, FLine.size());
        FFieldOpen = false;
        FComplete = true;
        return;
    }
    FNextBlockPos += 64;
    const std::uint64_t spaces =
        SpaceMask64(FLine.data() + blockPos, FLine.size() - blockPos, FReadable - blockPos);
    const std::uint64_t inField = ~spaces;
    const std::uint64_t afterField = (inField << 1) | std::uint64_t(FCarry);
    std::uint64_t starts = inField & ~afterField;
    std::uint64_t ends = spaces & afterField;
    FCarry = (inField >> 63) != 0;

    // Starts and ends alternate; a field that runs on into the next block has no end
    // bit here and no start bit there.
    if (FFieldOpen) {
        if (ends == 0)
            return;
        Record(FOpenStart, blockPos + std::size_t(__builtin_ctzll(ends)));
        ends &= ends - 1;
        FFieldOpen = false;
    }
    while (starts != 0) {
        const std::size_t start = blockPos + std::size_t(__builtin_ctzll(starts));
        starts &= starts - 1;
        if (ends == 0) {
            FFieldOpen = true;
            FOpenStart = start;
            return;
        }
        Record(start, blockPos + std::size_t(__builtin_ctzll(ends)));
        ends &= ends - 1;
    }
}

int TLineFields::Count()
{
    while (!FComplete)
        ScanBlock();
    return FFound;
}

bool TLineFields::FindUnrecorded(int k, TFieldSpan &span)
{
    if (k < 1 || !HasAtLeast(MaxRecorded))
        return false;
    // Walk on from the last remembered field.
    const TFieldSpan &last = FSpans[MaxRecorded - 1];
    std::size_t pos = last.Start + last.Length;
    for (int i = MaxRecorded; i < k; ++i) {
        if (!NextField(FLine, pos, span))
            return false;
    }
    return true;
}

int SplitFields(std::string_view line, TLineFields &fields)
{
    fields.Reset(line);
    return fields.Count();
}

std::uint32_t ParseAttributes(std::string_view line)
{
    return AttributesOf(line);
}

std::int64_t ParseNumber(std::string_view text)
{
    std::int64_t value = 0;
    if (ToInt64(text, value))
        return value;
    constexpr std::string_view Digits = "0123456789";
    const std::size_t first = text.find_first_of(Digits);
    if (first == std::string_view::npos)
        return -1;
    const std::size_t last = text.find_last_of(Digits);
    return ToInt64(text.substr(first, last - first + 1), value) ? value : -1;
}

TDateTime MakeDate(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                   std::int64_t minute, int currentYear)
{
    if (!IsRealDate(year, month, day, hour, minute))
        return EncodeDate(currentYear, 1, 1, 0, 0);
    return EncodeDate(unsigned(year), int(month), int(day), int(hour), int(minute));
}

bool AddListEntry(const TListTarget &target, std::string_view name, std::uint32_t attributes,
                  TDateTime date, std::int64_t size)
{
    return AddEntry(target, name, attributes, date, size);
}

bool ParseUnixLine(TTextCursor &cursor, const TListTarget &target)
{
    return ParseUnixLineIn(cursor, TSse2Scanner::Scan(cursor.Pos, cursor.Remaining()), target);
}

bool ParseDosLine(TTextCursor &cursor, const TListTarget &target)
{
    return ParseDosLineIn(cursor, TSse2Scanner::Scan(cursor.Pos, cursor.Remaining()), target);
}

bool ParseVMLine(TTextCursor &cursor, const TListTarget &target)
{
    const std::string_view line = GetLine(cursor, *target.Context);
    TLineFields fields(line, ReadableFrom(line, cursor));
    if (!fields.HasAtLeast(8))
        return false;
    std::string name(fields.Field(1));
    name += '.';
    name += fields.Field(2);
    return AddListEntry(target, name, 0, TodayOf(target), FieldNumber(fields.Field(4)));
}

bool ParseVMSLine(TTextCursor &cursor, const TListTarget &target)
{
    std::string_view line = GetLine(cursor, *target.Context);
    if (line.empty())
        return false;
    std::size_t readable = ReadableFrom(line, cursor);
    std::string &pending = target.State->VmsPending;
    std::string joined;
    if (!pending.empty()) {
        joined = std::move(pending);
        pending.clear();
        joined += line;
        line = joined;
        readable = line.size();
    }
    if (!Contains(line, ";"))
        return false;
    TLineFields fields(line, readable);
    if (!fields.HasAtLeast(2)) {
        // A long name the server wrapped: the rest of its record is on the next line.
        // Nothing that long is a name; joining it on would let lines pile up.
        if (line.size() <= MaxWrappedVmsLine)
            pending.assign(line);
        return false;
    }
    std::string_view name = fields.Field(1);
    name = name.substr(0, name.find(';'));
    std::uint32_t attributes = 0;
    if (const std::size_t dir = name.find(".DIR"); dir != std::string_view::npos) {
        name = name.substr(0, dir);
        attributes = faFolder;
    }
    return AddListEntry(target, name, attributes, TodayOf(target), FieldNumber(fields.Field(2)));
}

bool ParseListing(std::string_view text, TListParser parser, TListingState &state,
                  TDirListing &out, const TParseContext &ctx)
{
    const TLineParserFunc parseLine = LineParserFor(parser);
    if (!parseLine)
        return false;
    TListTarget target(&out, state, ctx);
    // A VMS name wrapped at the end of the last listing carries its bytes into this one.
    target.MayHoldZero = std::memchr(text.data(), 0, text.size()) != nullptr
                         || state.VmsPending.find('\0') != std::string::npos;
    ReserveFor(out, text);
    TTextCursor cursor(text);
    if (parser == TListParser::Unix) {
        ParseLines<ParseUnixLineIn>(cursor, target);
    } else if (parser == TListParser::Dos) {
        ParseLines<ParseDosLineIn>(cursor, target);
    } else {
        while (!cursor.AtEnd())
            parseLine(cursor, target);
    }
    ReleaseSlack(out);
    return true;
}

std::string DroppedNameMessage(std::string_view name)
{
    std::string shown;
    for (const char c : name) {
        if (c == '\0')
            shown += "\\0";
        else
            shown += c;
    }
    return "Skipped the listed name \"" + shown + "\": it holds a zero byte";
}

std::string FormatListingLine(const TListItem &item)
{
    const TDirEntry &entry = item.Entry;
    char attributes[11];
    attributes[0] = entry.IsFolder() ? 'd' : entry.IsLink() ? 'l' : '-';
    static constexpr char Letters[] = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        attributes[i + 1] = PermissionChar(entry.Attributes, i + 2, Letters[i]);
    attributes[10] = '\0';

    const QDate date = entry.Date.Date();
    const QTime time = entry.Date.Time();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d", date.year(), date.month(),
                  date.day(), time.hour(), time.minute());

    std::string line(item.Name);
    line += '\t';
    line += attributes;
    line += '\t';
    line += std::to_string(entry.Size);
    line += '\t';
    line += stamp;
    return line;
}
