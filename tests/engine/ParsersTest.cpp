#include "engine/Parsers.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A fixed "today" keeps the year of dates listed without one predictable.
const QDate Today(2024, 6, 15);

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0)
{
    TDateTime value;
    EXPECT_TRUE(TDateTime::TryEncode(year, month, day, hour, minute, 0, value));
    return value;
}

struct TParsed
{
    bool Result = false;
    TDirListing Listing;
};

TParsed Parse(std::string_view text, TListParser parser, TListingState &state)
{
    TParseContext ctx;
    ctx.Today = Today;
    TParsed parsed;
    parsed.Result = ParseListing(text, parser, state, parsed.Listing, ctx);
    return parsed;
}

TDirListing Parse(std::string_view text, TListParser parser)
{
    TListingState state;
    return Parse(text, parser, state).Listing;
}

// An entry that outlives the listing it was parsed into.
struct TParsedItem
{
    std::string Name;
    TDirEntry Entry;
};

// Parses one line and expects exactly one entry.
TParsedItem One(std::string_view line, TListParser parser = TListParser::Unix)
{
    const TDirListing listing = Parse(std::string(line) + "\r\n", parser);
    EXPECT_EQ(listing.size(), 1u) << line;
    if (listing.empty())
        return {};
    return {std::string(listing.front().Name), listing.front().Entry};
}

constexpr std::uint32_t RwxRxRx = faOwnerRead | faOwnerWrite | faOwnerExecute | faGroupRead
    | faGroupExecute | faOtherRead | faOtherExecute;
constexpr std::uint32_t RwRR = faOwnerRead | faOwnerWrite | faGroupRead | faOtherRead;

} // namespace

// Single lines and the entries they give are in the table of ParsersTableTest.cpp;
// here are the rules that take more than one line, or many generated ones, to show.

// ---- Unix-style lines ----

TEST(UnixParser, SizesOfEveryLength)
{
    // Plain digits are read eight at a time: every length up to the 19 digits of the
    // largest size, and one beyond, also with a byte that is no digit anywhere in them.
    const std::string digits = "92233720368547758079";
    for (std::size_t length = 1; length <= digits.size(); ++length) {
        std::string size = digits.substr(digits.size() - length);
        std::int64_t expected = 0;
        if (std::from_chars(size.data(), size.data() + size.size(), expected).ec != std::errc())
            expected = 0;
        EXPECT_EQ(One("-rw-r--r-- 1 u g " + size + " Jan 1 2000 f").Entry.Size, expected) << size;
        EXPECT_EQ(One("01-01-20  10:00AM  " + size + " f", TListParser::Dos).Entry.Size, expected)
            << size;
        EXPECT_EQ(One("drwxr-xr-x 1 u g " + size + " Jan 1 2000 d").Entry.Size, 0) << size;
        for (std::size_t at = 0; at < length; ++at) {
            const std::string odd = size.substr(0, at) + (at % 2 ? "/" : ":") + size.substr(at + 1);
            EXPECT_EQ(One("-rw-r--r-- 1 u g " + odd + " Jan 1 2000 f").Entry.Size,
                      std::max<std::int64_t>(ParseNumber(odd), 0))
                << odd;
        }
    }
}

TEST(UnixParser, DatesAgreeWithTheCalendar)
{
    // Days and times or years around every month's end, leap years and today, for
    // several todays: the calendar decides what exists, the recent-year rule the year.
    const std::vector<std::string> days = {"0", "1", "01", "9", "28", "29", "30", "31", "32", "99"};
    const std::vector<std::string> whens = {"00:00", "23:59", "24:00", "12:60", "07:05", "0000",
                                            "0001",  "1899",  "1900",  "2000",  "2023",  "9999"};
    const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto number = [](const std::string &text) { return std::stoi(text); };
    for (const QDate today : {QDate(2024, 6, 15), QDate(2024, 2, 29), QDate(2023, 1, 1),
                              QDate(2023, 12, 31), QDate(2100, 3, 1)}) {
        std::string text;
        std::vector<TDateTime> expected;
        for (int month = 1; month <= 12; ++month) {
            for (const std::string &day : days) {
                for (const std::string &when : whens) {
                    text += "-rw-r--r-- 1 u g 1 " + std::string(months[month - 1]) + " " + day + " "
                        + when + " f\r\n";
                    const bool clock = when.size() == 5;
                    const bool ahead = month > today.month()
                        || (month == today.month() && number(day) > today.day());
                    const int year = clock ? today.year() - (ahead ? 1 : 0) : number(when);
                    const int hour = clock ? number(when.substr(0, 2)) : 0;
                    const int minute = clock ? number(when.substr(3, 2)) : 0;
                    TDateTime date;
                    if (year < 1
                        || !TDateTime::TryEncode(year, month, number(day), hour, minute, 0, date))
                        date = At(today.year(), 1, 1);
                    expected.push_back(date);
                }
            }
        }
        TListingState state;
        TParseContext ctx;
        ctx.Today = today;
        TDirListing listing;
        ParseListing(text, TListParser::Unix, state, listing, ctx);
        ASSERT_EQ(listing.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(listing[i].Entry.Date, expected[i]) << qPrintable(today.toString()) << " " << i;
    }
}

TEST(UnixParser, LinesWithManyFields)
{
    // The month sits beyond the fields kept in place; the name still follows it.
    std::string line = "-rw-r--r--";
    for (int i = 0; i < 70; ++i)
        line += " x" + std::to_string(i);
    line += " 42 Oct 9 2011 far name";
    const TParsedItem item = One(line);
    EXPECT_EQ(item.Name, "far name");
    EXPECT_EQ(item.Entry.Size, 42);
    EXPECT_EQ(item.Entry.Date, At(2011, 10, 9));
}

TEST(UnixParser, LongLinesAndWideColumns)
{
    // Lines are read 64 bytes at a time: the name may start on either side of that
    // mark and run far past it, with the next line right behind.
    for (std::size_t owner = 1; owner <= 40; ++owner) {
        const std::string name = "n" + std::string(owner * 3, 'x') + " y";
        const std::string line =
            "-rwxr-x--- 1 " + std::string(owner, 'o') + " grp 9876543210 Nov 30 23:59 " + name;
        const TDirListing listing = Parse(line + "\r\n" + line + "\n", TListParser::Unix);
        ASSERT_EQ(listing.size(), 2u) << line;
        for (const TListItem &item : listing) {
            EXPECT_EQ(item.Name, name);
            EXPECT_EQ(item.Entry.Attributes,
                      faOwnerRead | faOwnerWrite | faOwnerExecute | faGroupRead | faGroupExecute);
            EXPECT_EQ(item.Entry.Size, 9876543210LL);
            EXPECT_EQ(item.Entry.Date, At(2023, 11, 30, 23, 59));
        }
    }

    // Far from the start, the Chinese month character still removes the line, and its
    // first byte alone does not.
    const std::string columns = "-rw-r--r-- 1 owner group 5 Jan 1 2000 ";
    const std::string pad(70, 'p');
    EXPECT_TRUE(Parse(columns + pad + "\xD4\xC2\r\n", TListParser::Unix).empty());
    EXPECT_EQ(One(columns + pad + "\xD4" "x").Name, pad + "\xD4" "x");
}

// ---- DOS-style lines ----

// Every clock reading and century, with the name near the line's start and, behind a
// wide size column, far from it.
TEST(DosParser, EveryClockAndNamePlaceReadsTheSame)
{
    const std::string wide(60, ' ');
    for (const char *meridiem : {"AM", "PM", "am", "pm"}) {
        const bool afternoon = (meridiem[0] | 0x20) == 'p';
        for (int hour = 0; hour <= 12; ++hour) {
            for (const int year : {0, 79, 80, 99}) {
                for (const char *monthDay : {"02-29", "12-31", "13-01", "04-31"}) {
                    char stamp[32];
                    std::snprintf(stamp, sizeof stamp, "%s-%02d  %02d:59%s", monthDay, year, hour, meridiem);
                    const int month = std::atoi(monthDay);
                    const int day = std::atoi(monthDay + 3);
                    const int fullYear = year + (year < 80 ? 2000 : 1900);
                    const int fromMidnight = afternoon ? (hour < 12 ? hour + 12 : 12) : (hour == 12 ? 0 : hour);
                    const TDateTime expected = MakeDate(fullYear, month, day, fromMidnight, 59, 2024);
                    for (const std::string &gap : {std::string("  "), wide}) {
                        const std::string line = std::string(stamp) + gap + "4096 a name";
                        const TParsedItem item = One(line, TListParser::Dos);
                        EXPECT_EQ(item.Name, "a name") << line;
                        EXPECT_EQ(item.Entry.Size, 4096) << line;
                        EXPECT_EQ(item.Entry.Date, expected) << line;
                    }
                }
            }
        }
    }
}

// ---- VM and VMS ----

TEST(VMSParser, WrappedNameJoinsNextLine)
{
    TListingState state;
    const TParsed parsed = Parse("A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT;1\r\n"
                                 "        7  1-JAN-1998 00:00\r\n"
                                 "SHORT.TXT;1  3  1-JAN-1998 00:00\r\n",
                                 TListParser::VMS, state);
    ASSERT_EQ(parsed.Listing.size(), 2u);
    EXPECT_EQ(parsed.Listing[0].Name, "A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT");
    EXPECT_EQ(parsed.Listing[0].Entry.Size, 7);
    EXPECT_EQ(parsed.Listing[1].Name, "SHORT.TXT");
    EXPECT_TRUE(state.VmsPending.empty());
}

TEST(VMSParser, WrappedNameSurvivesIntoNextListing)
{
    TListingState state;
    const TParsed first = Parse("FIRST.TXT;1  1  1-JAN-1998 00:00\r\nWRAPPED.DIR;1\r\n",
                                TListParser::VMS, state);
    ASSERT_EQ(first.Listing.size(), 1u);
    EXPECT_EQ(state.VmsPending, "WRAPPED.DIR;1");

    const TParsed second = Parse("   5  1-JAN-1998 00:00\r\n", TListParser::VMS, state);
    ASSERT_EQ(second.Listing.size(), 1u);
    EXPECT_EQ(second.Listing[0].Name, "WRAPPED");
    EXPECT_TRUE(second.Listing[0].Entry.IsFolder());
    EXPECT_TRUE(state.VmsPending.empty());
}

TEST(VMSParser, OverlongSingleFieldLineIsNotJoined)
{
    TListingState state;
    const std::string overlong = std::string(2000, 'X') + ";1";
    const TParsed parsed = Parse(overlong + "\r\n   5  1-JAN-1998 00:00\r\nA.TXT;1\r\n", TListParser::VMS,
                                 state);
    EXPECT_TRUE(parsed.Listing.empty());
    EXPECT_EQ(state.VmsPending, "A.TXT;1");
}

// ---- The whole listing ----

TEST(ParseListing, NoParserMeansNoListing)
{
    TListingState state;
    const TParsed parsed = Parse("-rw-r--r-- 1 u g 1 Jan 1 2000 f\r\n", TListParser::None, state);
    EXPECT_FALSE(parsed.Result);
    EXPECT_TRUE(parsed.Listing.empty());
}

TEST(ParseListing, EmptyOutputGivesEmptyListing)
{
    for (const TListParser parser :
         {TListParser::Unix, TListParser::Dos, TListParser::VM, TListParser::VMS}) {
        TListingState state;
        const TParsed parsed = Parse("", parser, state);
        EXPECT_TRUE(parsed.Result);
        EXPECT_TRUE(parsed.Listing.empty());
    }
}

TEST(ParseListing, LineEndingsAndEndOfText)
{
    const std::string line = "-rw-r--r-- 1 u g 1 Jan 1 2000 ";
    // LF only, CR only, blank lines, no final line break.
    const TDirListing mixed =
        Parse("\r\n\n" + line + "a\n" + line + "b\r\r\n\n" + line + "c\r" + line + "d",
              TListParser::Unix);
    ASSERT_EQ(mixed.size(), 4u);
    EXPECT_EQ(mixed[0].Name, "a");
    EXPECT_EQ(mixed[1].Name, "b");
    EXPECT_EQ(mixed[2].Name, "c");
    EXPECT_EQ(mixed[3].Name, "d");

}

TEST(ParseListing, NameWithAZeroByteIsDroppedAndEveryOtherLineKept)
{
    const std::string line = "-rw-r--r-- 1 u g 1 Jan 1 2000 ";
    const std::string zero(1, '\0');
    // In the name, on the fast path and on the general one (a name past the first 64
    // bytes); elsewhere in a line, a zero byte is just a byte.
    const std::string text = line + "a\r\n" + line + "evil" + zero + "nul\r\n" + zero + "\r\n"
        + "-rw-r--r-- 1 " + std::string(70, 'o') + " g 1 Jan 1 2000 far" + zero + "\r\n"
        + "-rw-r--r-- 1 ow" + zero + "ner g 1 Jan 1 2000 b\r\n" + line + "c";
    for (const bool whole : {true, false}) {
        std::vector<std::string> dropped;
        TParseContext ctx;
        ctx.Today = Today;
        ctx.DroppedName = [&dropped](std::string_view name) { dropped.emplace_back(name); };
        TListingState state;
        TDirListing listing;
        if (whole) {
            ASSERT_TRUE(ParseListing(text, TListParser::Unix, state, listing, ctx));
        } else {
            const TListTarget target(&listing, state, ctx);
            TTextCursor cursor(text);
            while (!cursor.AtEnd())
                ParseUnixLine(cursor, target);
        }
        ASSERT_EQ(listing.size(), 3u) << whole;
        EXPECT_EQ(listing[0].Name, "a");
        EXPECT_EQ(listing[1].Name, "b");
        EXPECT_EQ(listing[2].Name, "c");
        EXPECT_EQ(dropped, (std::vector<std::string>{"evil" + zero + "nul", "far" + zero}));
    }
    EXPECT_EQ(DroppedNameMessage("evil" + zero + "nul"),
              "Skipped the listed name \"evil\\0nul\": it holds a zero byte");
}

TEST(ParseListing, ZeroByteInANameWrappedIntoTheNextListingIsDropped)
{
    // The second listing holds no zero byte itself; the wrapped name brings it along.
    TListingState state;
    TDirListing listing;
    TParseContext ctx;
    ctx.Today = Today;
    ASSERT_TRUE(ParseListing(std::string("EV\0IL.TXT;1\r\n", 14), TListParser::VMS, state, listing, ctx));
    ASSERT_TRUE(ParseListing("   5  1-JAN-1998 00:00\r\nGOOD.TXT;1  1  1-JAN-1998 00:00\r\n", TListParser::VMS, state,
                             listing, ctx));
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].Name, "GOOD.TXT");
}

TEST(ParseListing, SameEntriesAsLineByLine)
{
    // A whole listing is read with the widest vector instructions the processor has;
    // line by line, with those of every x86-64. Lines end on either side of the 64 and
    // 128 bytes read at once, the Chinese month byte lies beyond them, the last line has
    // no break and a zero byte stands in a line of its own.
    std::string text;
    for (std::size_t length = 0; length < 200; length += 3) {
        const std::string name = "n" + std::string(length, length % 2 ? 'x' : ' ') + "e";
        text += "-rw-r--r-- 1 user group " + std::to_string(length * 7919) + " Mar 3 2001 " + name
            + (length % 3 ? "\r\n" : "\n");
        if (length % 40 == 1)
            text += "drwxr-xr-x 2 u g 0 Dec 24 10:15 " + std::string(length, 'd') + "\xD4\xC2\r\n";
    }
    text += "lrwxrwxrwx 1 u g 7 Apr 1 12:00 last -> " + std::string(150, 't');
    for (const std::string &whole : {text, text + "\r\n" + std::string(1, '\0') + "garbage\r\n"}) {
        const TDirListing listing = Parse(whole, TListParser::Unix);
        TListingState state;
        TParseContext ctx;
        ctx.Today = Today;
        TDirListing lineByLine;
        const TListTarget target(&lineByLine, state, ctx);
        TTextCursor cursor(whole);
        while (!cursor.AtEnd())
            ParseUnixLine(cursor, target);
        ASSERT_EQ(listing.size(), lineByLine.size());
        EXPECT_EQ(listing.size(), 68u);
        for (std::size_t i = 0; i < listing.size(); ++i) {
            EXPECT_EQ(listing[i].Name, lineByLine[i].Name) << i;
            EXPECT_EQ(listing[i].Entry.Attributes, lineByLine[i].Entry.Attributes) << i;
            EXPECT_EQ(listing[i].Entry.Size, lineByLine[i].Entry.Size) << i;
            EXPECT_EQ(listing[i].Entry.Date, lineByLine[i].Entry.Date) << i;
        }
    }
}

TEST(ParseListing, AppendsToGivenListing)
{
    TListingState state;
    TParseContext ctx;
    ctx.Today = Today;
    TDirListing listing;
    listing.push_back("kept", {});
    ASSERT_TRUE(ParseListing("-rw-r--r-- 1 u g 1 Jan 1 2000 new\r\n", TListParser::Unix, state,
                             listing, ctx));
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[0].Name, "kept");
    EXPECT_EQ(listing[1].Name, "new");
}

TEST(ParseListing, TracesLinesAndEntries)
{
    std::vector<std::string> lines;
    TParseContext ctx;
    ctx.Today = Today;
    ctx.Host = "example.org";
    ctx.Trace = [&lines](const std::string &line) { lines.push_back(line); };
    TListingState state;
    TDirListing listing;
    ParseListing("total 1\r\n-rw-r--r-- 1 u g 5000000000 Jan 2 2000 f\r\n", TListParser::Unix,
                 state, listing, ctx);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Parser Line: \"total 1\"");
    EXPECT_EQ(lines[1], "Parser Line: \"-rw-r--r-- 1 u g 5000000000 Jan 2 2000 f\"");
    EXPECT_EQ(lines[2].rfind("Host example.org: Parser Entry. Name = \"f\", Size = 5000000000, "
                             "Date = \"",
                             0),
              0u)
        << lines[2];
}

// ---- The pieces ----

TEST(ParserPieces, GetLineSkipsEveryFollowingBreak)
{
    const TParseContext ctx;
    TTextCursor cursor(std::string_view("one\r\n\r\ntwo\n\rthree"));
    EXPECT_EQ(GetLine(cursor, ctx), "one");
    EXPECT_EQ(GetLine(cursor, ctx), "two");
    EXPECT_EQ(GetLine(cursor, ctx), "three");
    EXPECT_TRUE(cursor.AtEnd());

    // Longer than one block of the fast search.
    const std::string longLine(100, 'x');
    const std::string longText = longLine + "\ny";
    TTextCursor longCursor(longText);
    EXPECT_EQ(GetLine(longCursor, ctx), longLine);
    EXPECT_EQ(GetLine(longCursor, ctx), "y");
}

TEST(ParserPieces, SplitFieldsOnSpacesOnly)
{
    TLineFields fields;
    EXPECT_EQ(SplitFields("  a\tb  c ", fields), 2);
    EXPECT_EQ(fields.Field(1), "a\tb");
    EXPECT_EQ(fields.Start(2), 7u);
    EXPECT_EQ(fields.Field(2), "c");
    EXPECT_EQ(fields.Field(3), "");
    EXPECT_EQ(fields.Field(0), "");
    EXPECT_EQ(fields.FieldAndNext(1), "a\tb ");
    EXPECT_EQ(fields.FieldAndNext(2), "c ");
    EXPECT_EQ(fields.Rest(2), "c ");
    EXPECT_EQ(fields.Rest(3), "");
    EXPECT_EQ(SplitFields("", fields), 0);
    EXPECT_EQ(SplitFields("    ", fields), 0);

    std::string many;
    for (int i = 1; i <= 100; ++i)
        many += std::to_string(i) + " ";
    EXPECT_EQ(SplitFields(many, fields), 100);
    EXPECT_EQ(fields.Field(64), "64");
    EXPECT_EQ(fields.Field(65), "65");
    EXPECT_EQ(fields.Field(100), "100");
    EXPECT_EQ(fields.Field(101), "");
    EXPECT_EQ(fields.Rest(99), "99 100 ");
}

TEST(ParserPieces, ParseAttributes)
{
    EXPECT_EQ(ParseAttributes("drwxr-xr-x"), faFolder | RwxRxRx);
    EXPECT_EQ(ParseAttributes("lrwxrwxrwx"), faLink | faPermissionMask);
    EXPECT_EQ(ParseAttributes("-rw-r--r--"), RwRR);
    // Letters only count in their own place.
    EXPECT_EQ(ParseAttributes("-xwrxwrxwr"), faOwnerWrite | faGroupWrite | faOtherWrite);
    EXPECT_EQ(ParseAttributes("-rwsr-Sr-t"), faOwnerRead | faOwnerWrite | faGroupRead | faOtherRead);
    EXPECT_EQ(ParseAttributes("dr"), faFolder | faOwnerRead);
    EXPECT_EQ(ParseAttributes(""), 0u);
}

TEST(ParserPieces, ParseNumber)
{
    EXPECT_EQ(ParseNumber("0"), 0);
    EXPECT_EQ(ParseNumber("007"), 7);
    EXPECT_EQ(ParseNumber("12X"), 12);
    EXPECT_EQ(ParseNumber("(7)"), 7);
    EXPECT_EQ(ParseNumber("1,024"), -1);
    EXPECT_EQ(ParseNumber("abc"), -1);
    EXPECT_EQ(ParseNumber(""), -1);
    EXPECT_EQ(ParseNumber("-5"), -5);
    EXPECT_EQ(ParseNumber("x-5"), 5);
    EXPECT_EQ(ParseNumber("-"), -1);
    EXPECT_EQ(ParseNumber("4294967296"), 4294967296LL);
    EXPECT_EQ(ParseNumber("99999999999999999999"), -1);
    EXPECT_EQ(ParseNumber("[99999999999999999999]"), -1);
}

TEST(ParserPieces, MakeDate)
{
    EXPECT_EQ(MakeDate(2001, 2, 3, 4, 5, 2024), At(2001, 2, 3, 4, 5));
    EXPECT_EQ(MakeDate(1899, 12, 30, 6, 0, 2024), At(1899, 12, 30, 6, 0));
    EXPECT_EQ(MakeDate(1850, 6, 1, 18, 0, 2024), At(1850, 6, 1, 18, 0));
    for (const auto &bad : std::vector<std::array<std::int64_t, 5>>{{2001, 13, 1, 0, 0},
                                                                    {2001, 0, 1, 0, 0},
                                                                    {2001, 4, 31, 0, 0},
                                                                    {1900, 2, 29, 0, 0},
                                                                    {2001, 1, 1, 24, 0},
                                                                    {2001, 1, 1, 0, 60},
                                                                    {0, 1, 1, 0, 0},
                                                                    {10000, 1, 1, 0, 0},
                                                                    {-1, -1, -1, -1, -1}}) {
        EXPECT_EQ(MakeDate(bad[0], bad[1], bad[2], bad[3], bad[4], 2024), At(2024, 1, 1))
            << bad[0] << "-" << bad[1] << "-" << bad[2] << " " << bad[3] << ":" << bad[4];
    }
}

TEST(ParserPieces, AddListEntryRules)
{
    TListingState state;
    TParseContext ctx;
    TDirListing listing;
    const TListTarget target(&listing, state, ctx);
    EXPECT_FALSE(AddListEntry(target, "", 0, TDateTime(), 1));
    EXPECT_FALSE(AddListEntry(target, ".", faFolder, TDateTime(), 1));
    EXPECT_FALSE(AddListEntry(target, "..", faFolder, TDateTime(), 1));
    EXPECT_TRUE(AddListEntry(target, ".a", faFolder, TDateTime(), 1));
    EXPECT_TRUE(AddListEntry(target, "neg", 0, TDateTime(3.5), -9));
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[1].Entry.Size, 0);
    EXPECT_EQ(listing[1].Entry.Date, TDateTime(3.5));

    const TListTarget nowhere(nullptr, state, ctx);
    EXPECT_FALSE(AddListEntry(nowhere, "x", 0, TDateTime(), 1));
}

TEST(ParserPieces, EachLineParserConsumesOneLine)
{
    TListingState state;
    TParseContext ctx;
    ctx.Today = Today;
    TDirListing listing;
    const TListTarget target(&listing, state, ctx);
    TTextCursor cursor(std::string_view("total 1\r\n-rw-r--r-- 1 u g 1 Jan 1 2000 f\r\n"));
    EXPECT_FALSE(ParseUnixLine(cursor, target));
    EXPECT_TRUE(ParseUnixLine(cursor, target));
    EXPECT_TRUE(cursor.AtEnd());
}

TEST(FormatListingLine, TabSeparatedColumns)
{
    TListItem item;
    item.Name = "docs";
    item.Entry.Attributes = faFolder | RwxRxRx;
    item.Entry.Size = 0;
    item.Entry.Date = At(2024, 1, 15, 10, 30);
    EXPECT_EQ(FormatListingLine(item), "docs\tdrwxr-xr-x\t0\t2024-01-15 10:30");

    item.Name = "lib -> usr/lib";
    item.Entry.Attributes = faLink | faPermissionMask;
    item.Entry.Size = 5000000000LL;
    item.Entry.Date = At(1997, 12, 31);
    EXPECT_EQ(FormatListingLine(item), "lib -> usr/lib\tlrwxrwxrwx\t5000000000\t1997-12-31 00:00");

    item.Entry.Attributes = faOwnerRead;
    EXPECT_EQ(FormatListingLine(item).substr(15, 10), "-r--------");
}
