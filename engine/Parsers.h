#pragma once

#include "engine/FTPTypes.h"

#include <QDate>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The line format a server's LIST output is read with.
enum class TListParser { None, Unix, Dos, VM, VMS };

// Parser state that outlives one listing; one per engine.
struct TListingState
{
    // A VMS name the server wrapped onto its own line, waiting for the rest of its record.
    std::string VmsPending;
};

struct TParseContext
{
    // The day the listing is read on; decides the year of dates listed without one.
    QDate Today = QDate::currentDate();
    // Receives the debug lines; empty when tracing is off.
    std::function<void(const std::string &)> Trace;
    // Names the server in the entry trace.
    std::string Host;
    // Receives each name dropped because it holds a zero byte; may be empty.
    std::function<void(std::string_view)> DroppedName;
};

// Parses a whole LIST output and appends its entries to `out`. A zero byte is an
// ordinary byte of its line; an entry whose name holds one is dropped (and handed to
// ctx.DroppedName). Returns false, adding nothing, when `parser` is None.
bool ParseListing(std::string_view text, TListParser parser, TListingState &state,
                  TDirListing &out, const TParseContext &ctx);

// The log line for a name dropped because it holds a zero byte, shown as "\0".
std::string DroppedNameMessage(std::string_view name);

// One tab-separated line: name, rwx attributes, size, "YYYY-MM-DD HH:MM".
std::string FormatListingLine(const TListItem &item);

// ---- The pieces the parsers are made of ----

// Read position inside a listing.
struct TTextCursor
{
    const char *Pos = nullptr;
    const char *End = nullptr;

    TTextCursor() = default;
    explicit TTextCursor(std::string_view text) : Pos(text.data()), End(text.data() + text.size()) {}

    bool AtEnd() const { return Pos == End; }
    std::size_t Remaining() const { return std::size_t(End - Pos); }
};

// Returns the text up to the next CR or LF and moves past it and past every CR and LF
// that follows, so empty lines vanish. Traces the line when tracing is on.
std::string_view GetLine(TTextCursor &cursor, const TParseContext &ctx);

// A field's place in its line. Trivial on purpose: a line's fields are set up often
// and only the ones found are ever read.
struct TFieldSpan
{
    std::size_t Start;
    std::size_t Length;
};

// Finds the next run of characters other than the space at or after `pos` and moves
// `pos` past it; false when none is left.
bool NextField(std::string_view line, std::size_t &pos, TFieldSpan &field);

// The space-separated fields of one line (tabs are ordinary characters), found lazily
// as they are asked for, so a parser that needs the first eight fields never scans
// the rest of a long name. The first MaxRecorded fields are remembered; later ones
// are found again on demand (NextField), so lines with any number of fields are
// handled.
class TLineFields
{
public:
    static constexpr int MaxRecorded = 64;

    TLineFields() = default;
    explicit TLineFields(std::string_view line, std::size_t readable = 0) { Reset(line, readable); }

    // `readable` may tell how many bytes from the line's start can be read (the rest of
    // the listing), which lets the search look at whole blocks; fields never reach past
    // the line.
    void Reset(std::string_view line, std::size_t readable = 0);

    std::string_view Line() const { return FLine; }
    // The number of fields; scans the whole line.
    int Count();
    bool HasAtLeast(int n)
    {
        while (FFound < n && !FComplete)
            ScanBlock();
        return FFound >= n;
    }
    // Field k, counted from 1; empty when there is no such field.
    std::string_view Field(int k)
    {
        TFieldSpan span;
        return Find(k, span) ? FLine.substr(span.Start, span.Length) : std::string_view();
    }
    // Offset of field k in the line; the line's length when there is no such field.
    std::size_t Start(int k)
    {
        TFieldSpan span;
        return Find(k, span) ? span.Start : FLine.size();
    }
    // Field k with the one character after it (if the line has one).
    std::string_view FieldAndNext(int k)
    {
        TFieldSpan span;
        return Find(k, span) ? FLine.substr(span.Start, span.Length + 1) : std::string_view();
    }
    // From the start of field k to the end of the line; empty when there is no field k.
    std::string_view Rest(int k) { return FLine.substr(Start(k)); }

private:
    bool Find(int k, TFieldSpan &span)
    {
        if (k < 1 || k > MaxRecorded)
            return FindUnrecorded(k, span);
        if (!HasAtLeast(k))
            return false;
        span = FSpans[std::size_t(k - 1)];
        return true;
    }
    bool FindUnrecorded(int k, TFieldSpan &span);
    void ScanBlock();
    void Record(std::size_t start, std::size_t end);

    std::string_view FLine;
    std::size_t FReadable = 0;
    // The line is read in blocks of 64 bytes, each turned into bit sets of where its
    // fields start and end.
    std::size_t FNextBlockPos = 0;
    bool FCarry = false; // the byte before the next block belongs to a field
    bool FFieldOpen = false; // a field runs on into the next block
    std::size_t FOpenStart = 0;
    int FFound = 0;
    bool FComplete = false;
    std::array<TFieldSpan, MaxRecorded> FSpans; // only the first FFound are set
};

// Splits `line` into `fields`; returns the number of fields.
int SplitFields(std::string_view line, TLineFields &fields);

// Folder, link and permission bits from the first ten characters ("drwxr-xr-x").
std::uint32_t ParseAttributes(std::string_view line);

// The text as a decimal number; failing that, the stretch from its first to its last
// digit; failing that (or on overflow), -1.
std::int64_t ParseNumber(std::string_view text);

// That day and time with seconds 0, or 1 January of `currentYear` at 00:00 when the
// values are no real date and time (years run from 1 to 9999).
TDateTime MakeDate(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                   std::int64_t minute, int currentYear);

// Where one parser call puts what it finds, with "today" taken apart once per listing.
struct TListTarget
{
    TListTarget(TDirListing *listing, TListingState &state, const TParseContext &ctx);

    TDirListing *Listing; // entries are ignored when null
    TListingState *State;
    const TParseContext *Context;
    int TodayYear;
    int TodayMonth;
    int TodayDay;
    TDateTime NewYear; // 1 January of TodayYear, the date of listed dates that do not exist
    // False when the text is known to hold no zero byte, which spares each name the search.
    bool MayHoldZero = true;
};

// Adds one entry unless it has no name, its name holds a zero byte (handed to the
// context's DroppedName) or it is a folder named "." or ".."; a negative size becomes
// 0. Returns whether the entry was added.
bool AddListEntry(const TListTarget &target, std::string_view name, std::uint32_t attributes,
                  TDateTime date, std::int64_t size);

// Each line parser consumes exactly one line and returns whether it produced an entry.
bool ParseUnixLine(TTextCursor &cursor, const TListTarget &target);
bool ParseDosLine(TTextCursor &cursor, const TListTarget &target);
bool ParseVMLine(TTextCursor &cursor, const TListTarget &target);
bool ParseVMSLine(TTextCursor &cursor, const TListTarget &target);
