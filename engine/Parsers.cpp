#include "engine/Parsers.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
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
    return c == '\r' || c == '\n' || c == '\0';
}

// The first CR, LF or zero byte at or after p, or end. With Watch, also sets *watched
// when a byte 0xD4 (the first half of the Chinese month character) comes before it.
template <bool Watch = false>
const char *FindLineBreak(const char *p, const char *end, bool *watched = nullptr)
{
    constexpr char WatchedByte = char(0xD4);
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    const __m128i watchedBytes = _mm_set1_epi8(WatchedByte);
    unsigned seen = 0;
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr),
                                                       _mm_cmpeq_epi8(chunk, lf)),
                                          _mm_cmpeq_epi8(chunk, nul));
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

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// Days in the months before each month, in common and in leap years.
constexpr std::array<std::array<int, 13>, 2> MonthStarts = {{
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
}};

// Days from 1 January of the year 1 to 30 December 1899.
constexpr int DaysTo1899 = 693593;

// A proleptic Gregorian date of the years 1 to 9999 as days since 30 December 1899.
int DaySerial(int year, int month, int day)
{
    const int before = year - 1;
    const int yearStart = before * 365 + before / 4 - before / 100 + before / 400;
    return yearStart + MonthStarts[IsLeapYear(year)][std::size_t(month - 1)] + day - 1 - DaysTo1899;
}

// Each minute of the day as a fraction of the day, taken as milliseconds over the
// day's milliseconds.
const std::array<double, 24 * 60> &MinuteFractions()
{
    static const std::array<double, 24 * 60> fractions = [] {
        constexpr std::int64_t MsPerDay = 24LL * 60 * 60 * 1000;
        std::array<double, 24 * 60> table{};
        for (std::size_t minute = 0; minute < table.size(); ++minute)
            table[minute] = double(std::int64_t(minute) * 60000) / double(MsPerDay);
        return table;
    }();
    return fractions;
}

TDateTime EncodeDate(int year, int month, int day, int hour, int minute)
{
    const double days = double(DaySerial(year, month, day));
    const double fraction = MinuteFractions()[std::size_t(hour * 60 + minute)];
    // Before the epoch the fraction still counts forward from midnight.
    return TDateTime(days >= 0 ? days + fraction : days - fraction);
}

TDateTime TodayOf(const TListTarget &target)
{
    return MakeDate(target.TodayYear, target.TodayMonth, target.TodayDay, 0, 0, target.TodayYear);
}

// The year of a date listed without one: the most recent such day up to today.
int RecentYear(const TListTarget &target, std::int64_t month, std::int64_t day)
{
    const bool ahead = month > target.TodayMonth
        || (month == target.TodayMonth && day > target.TodayDay);
    return ahead ? target.TodayYear - 1 : target.TodayYear;
}

bool IsDotFolderName(std::string_view name)
{
    return name.size() < 3 && name.front() == '.' && name.back() == '.';
}

void TraceLine(const TParseContext &ctx, std::string_view line)
{
    if (ctx.Trace) {
        std::string text = "Parser Line: \"";
        text.append(line);
        text += '"';
        ctx.Trace(text);
    }
}

std::string FormatTraceDate(TDateTime date)
{
    const QLocale locale = QLocale::system();
    QString text = locale.toString(date.Date(), QLocale::ShortFormat);
    if (date.Time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(date.Time(), QLocale::LongFormat);
    return text.toStdString();
}

void TraceEntry(const TParseContext &ctx, std::string_view name, std::int64_t size,
                TDateTime date)
{
    std::string line = "Host " + ctx.Host + ": Parser Entry. Name = \"";
    line.append(name);
    line += "\", Size = " + std::to_string(size) + ", Date = \"" + FormatTraceDate(date) + "\"";
    ctx.Trace(line);
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

// "HH:MM" with the hour in the first two characters and the minute in the 4th and 5th.
void ParseClock(std::string_view text, std::int64_t &hour, std::int64_t &minute)
{
    hour = FieldNumber(Part(text, 0, 2));
    minute = FieldNumber(Part(text, 3, 2));
}

// The date of an ordinary Unix-style line from its month and the two fields after it:
// the day, then a time (this year's or last year's date) or a year.
TDateTime ListedDate(std::int64_t month, std::string_view dayText, std::string_view timeOrYear,
                     const TListTarget &target)
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

// What the first 64 bytes at a line's start hold: bit i tells about byte i.
struct TLineWindow
{
    std::uint64_t Spaces = 0;
    std::uint64_t Breaks = 0; // CR, LF, zero byte or past the text
    std::uint64_t Watched = 0; // 0xD4
};

#ifdef __SSE2__
std::uint64_t Bits(__m128i matches)
{
    return std::uint64_t(unsigned(_mm_movemask_epi8(matches)));
}
#endif

TLineWindow ScanWindow(const char *p, std::size_t readable)
{
    TLineWindow window;
#ifdef __SSE2__
    if (readable >= 64) {
        const __m128i space = _mm_set1_epi8(' ');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i nul = _mm_setzero_si128();
        const __m128i watched = _mm_set1_epi8(char(0xD4));
        for (unsigned i = 0; i < 4; ++i) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            const __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr),
                                                             _mm_cmpeq_epi8(chunk, lf)),
                                                _mm_cmpeq_epi8(chunk, nul));
            const unsigned shift = 16 * i;
            window.Spaces |= Bits(_mm_cmpeq_epi8(chunk, space)) << shift;
            window.Breaks |= Bits(breaks) << shift;
            window.Watched |= Bits(_mm_cmpeq_epi8(chunk, watched)) << shift;
        }
        return window;
    }
#endif
    const std::size_t count = std::min<std::size_t>(readable, 64);
    for (std::size_t i = 0; i < count; ++i) {
        window.Spaces |= std::uint64_t(p[i] == ' ') << i;
        window.Breaks |= std::uint64_t(IsLineBreak(p[i])) << i;
        window.Watched |= std::uint64_t(p[i] == char(0xD4)) << i;
    }
    if (count < 64)
        window.Breaks |= ~std::uint64_t(0) << count;
    return window;
}

// A Unix-style line in the layout nearly every server sends: its first nine fields
// start within 64 bytes, the second does not start with "[", the sixth is a month name
// and no byte 0xD4 occurs. The general rules read such a line exactly so; this finds
// it in one pass.
struct TUsualUnixLine
{
    std::string_view Line;
    std::array<std::uint8_t, 9> Start; // of fields 1 to 9
    std::array<std::uint8_t, 8> End;   // of fields 1 to 8
    int Month;                         // 1 to 12
    const char *Next;                  // past the line's breaks

    std::string_view Field(int k) const
    {
        const std::size_t index = std::size_t(k - 1);
        return Line.substr(Start[index], std::size_t(End[index] - Start[index]));
    }
};

bool ReadUsualUnixLine(const TTextCursor &cursor, TUsualUnixLine &usual)
{
    const char *const p = cursor.Pos;
    const TLineWindow window = ScanWindow(p, cursor.Remaining());
    std::size_t length = 0;
    std::uint64_t inLine = ~std::uint64_t(0);
    bool watched = false;
    if (window.Breaks != 0) {
        length = std::size_t(__builtin_ctzll(window.Breaks));
        inLine = (std::uint64_t(1) << length) - 1;
    } else {
        length = std::size_t(FindLineBreak<true>(p + 64, cursor.End, &watched) - p);
    }
    if ((window.Watched & inLine) != 0 || watched)
        return false;
    const std::uint64_t inField = ~window.Spaces & inLine;
    std::uint64_t starts = inField & ~(inField << 1);
    std::uint64_t ends = ~inField & (inField << 1);
    for (std::uint8_t &start : usual.Start) {
        if (starts == 0)
            return false;
        start = std::uint8_t(__builtin_ctzll(starts));
        starts &= starts - 1;
    }
    // Every field before the ninth ends before it, so inside the window.
    for (std::uint8_t &end : usual.End) {
        end = std::uint8_t(__builtin_ctzll(ends));
        ends &= ends - 1;
    }
    usual.Line = std::string_view(p, length);
    if (usual.Line[usual.Start[1]] == '[' || usual.End[5] - usual.Start[5] != 3)
        return false;
    usual.Month = MonthIndex(p + usual.Start[5]) + 1;
    if (usual.Month == 0)
        return false;
    const char *next = p + length;
    while (next != cursor.End && (*next == '\r' || *next == '\n'))
        ++next;
    usual.Next = next;
    return true;
}

// A line that starts like "01-31-98  10:30PM".
bool LooksLikeDosLine(const TTextCursor &cursor)
{
    constexpr std::size_t Needed = 13;
    if (cursor.Remaining() < Needed)
        return false;
    for (std::size_t i = 0; i < Needed; ++i) {
        if (IsLineBreak(cursor.Pos[i]))
            return false;
    }
    return cursor.Pos[2] == '-' && cursor.Pos[12] == ':';
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
}

std::string_view GetLine(TTextCursor &cursor, const TParseContext &ctx)
{
    const char *const start = cursor.Pos;
    const char *p = FindLineBreak(start, cursor.End);
    const std::string_view line(start, std::size_t(p - start));
    while (p != cursor.End && (*p == '\r' || *p == '\n'))
        ++p;
    cursor.Pos = p;
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
    static constexpr char Letters[] = "rwxrwxrwx";
    std::uint32_t attributes = 0;
    if (!line.empty()) {
        if (line[0] == 'd')
            attributes |= faFolder;
        else if (line[0] == 'l')
            attributes |= faLink;
    }
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
    const bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1
        && hour >= 0 && hour < 24 && minute >= 0 && minute < 60;
    if (!valid)
        return EncodeDate(currentYear, 1, 1, 0, 0);
    const bool leap = IsLeapYear(int(year));
    const std::size_t monthIndex = std::size_t(month - 1);
    if (day > MonthStarts[leap][monthIndex + 1] - MonthStarts[leap][monthIndex])
        return EncodeDate(currentYear, 1, 1, 0, 0);
    return EncodeDate(int(year), int(month), int(day), int(hour), int(minute));
}

bool AddListEntry(const TListTarget &target, std::string_view name, std::uint32_t attributes,
                  TDateTime date, std::int64_t size)
{
    if (!target.Listing || name.empty())
        return false;
    if ((attributes & faFolder) && IsDotFolderName(name))
        return false;
    if (size < 0)
        size = 0;
    target.Listing->push_back(name, TDirEntry{attributes, size, date});
    if (target.Context->Trace)
        TraceEntry(*target.Context, name, size, date);
    return true;
}

bool ParseUnixLine(TTextCursor &cursor, const TListTarget &target)
{
    TUsualUnixLine usual;
    if (ReadUsualUnixLine(cursor, usual)) {
        const std::string_view line = usual.Line;
        TraceLine(*target.Context, line);
        cursor.Pos = usual.Next;
        const std::uint32_t attributes = ParseAttributes(line);
        const std::int64_t size = attributes & faFolder ? 0 : FieldNumber(usual.Field(5));
        const TDateTime date = ListedDate(usual.Month, usual.Field(7), usual.Field(8), target);
        return AddListEntry(target, line.substr(usual.Start[8]), attributes, date, size);
    }
    const std::string_view line = GetLine(cursor, *target.Context);
    if (line.empty())
        return false;
    TLineFields fields(line, ReadableFrom(line, cursor));
    if (!fields.HasAtLeast(6))
        return false;
    const bool bracketedRights = fields.Field(2).front() == '[';
    const int monthField = FindMonthField(fields, bracketedRights ? 5 : 6);
    const std::string_view name = fields.Rest(monthField + 3);
    const std::uint32_t attributes = ParseAttributes(line);
    const std::int64_t size = attributes & faFolder ? 0 : FieldNumber(fields.Field(monthField - 1));
    TDateTime date;
    if (!UnixDate(fields, monthField, target, date))
        return false;
    return AddListEntry(target, name, attributes, date, size);
}

bool ParseDosLine(TTextCursor &cursor, const TListTarget &target)
{
    if (!LooksLikeDosLine(cursor))
        return ParseUnixLine(cursor, target);
    const std::string_view line = GetLine(cursor, *target.Context);
    TLineFields fields(line, ReadableFrom(line, cursor));
    if (!fields.HasAtLeast(4))
        return false;
    const std::string_view sizeField = fields.Field(3);
    const bool folder = sizeField == "<DIR>";
    const std::uint32_t attributes = folder ? std::uint32_t(faFolder) : 0u;
    const std::int64_t size = folder ? 0 : FieldNumber(sizeField);

    const std::int64_t month = FieldNumber(Part(line, 0, 2));
    const std::int64_t day = FieldNumber(Part(line, 3, 2));
    std::int64_t year = FieldNumber(Part(line, 6, 2));
    std::int64_t hour = FieldNumber(Part(line, 10, 2));
    const std::int64_t minute = FieldNumber(Part(line, 13, 2));
    const std::string_view meridiem = Part(line, 15, 1);
    // An unreadable hour stays unreadable rather than turning into 11 PM.
    if (!meridiem.empty() && (meridiem[0] == 'P' || meridiem[0] == 'p') && hour >= 0 && hour < 12)
        hour += 12;
    year += year < 80 ? 2000 : 1900;

    const TDateTime date = MakeDate(year, month, day, hour, minute, target.TodayYear);
    return AddListEntry(target, fields.Rest(4), attributes, date, size);
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
    const TListTarget target(&out, state, ctx);
    ReserveFor(out, text);
    TTextCursor cursor(text);
    while (!cursor.AtEnd())
        parseLine(cursor, target);
    ReleaseSlack(out);
    return true;
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
