// Arbitrary bytes through every listing parser. The first byte picks the parser and
// where the text is cut into two listings read with the same engine state (so a VMS
// name wrapped at the end of one listing meets the next). The plain reference reading
// of the same two listings must give the same entries.

#include "engine/Parsers.h"
#include "fuzz/ReferenceListing.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void CheckEntries(const TDirListing &listing)
{
    for (const TListItem &item : listing) {
        Check(!item.Name.empty());
        Check(item.Name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        Check(item.Entry.Size >= 0);
        Check(!FormatListingLine(item).empty());
    }
}

void Report(const char *what, std::size_t index, std::string_view fast, std::string_view plain)
{
    std::fprintf(stderr, "entry %zu: %s differs: fast \"%.*s\", reference \"%.*s\"\n", index, what,
                 int(fast.size()), fast.data(), int(plain.size()), plain.data());
}

// The fast parser's entries against the reference's, in order.
void CheckAgainstReference(const TDirListing &first, const TDirListing &second,
                           const std::vector<reference::TEntry> &expected)
{
    std::vector<const TListItem *> items;
    for (const TDirListing *listing : {&first, &second}) {
        for (const TListItem &item : *listing)
            items.push_back(&item);
    }
    if (items.size() != expected.size()) {
        std::fprintf(stderr, "%zu entries from the fast parser, %zu from the reference\n", items.size(),
                     expected.size());
        __builtin_trap();
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TListItem &item = *items[i];
        const reference::TEntry &want = expected[i];
        TListItem wanted;
        wanted.Name = "?";
        wanted.Entry = TDirEntry{want.Attributes, want.Size, want.Date};
        if (item.Name != want.Name)
            Report("name", i, item.Name, want.Name);
        else if (item.Entry.Attributes != want.Attributes || item.Entry.Size != want.Size
                 || !(item.Entry.Date == want.Date))
            Report("entry", i, FormatListingLine(item), want.Name + FormatListingLine(wanted).substr(1));
        else
            continue;
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const TListParser Parsers[] = {TListParser::Unix, TListParser::Dos, TListParser::VM,
                                          TListParser::VMS, TListParser::None};
    const TListParser parser = Parsers[data[0] % 5];
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::size_t cut = text.empty() ? 0 : (data[0] / 5) * text.size() / 51;

    const QDate today(2024, 2, 29);
    TParseContext ctx;
    ctx.Today = today;
    TListingState state;
    TDirListing first;
    TDirListing second;
    const bool parsed = ParseListing(text.substr(0, cut), parser, state, first, ctx);
    Check(parsed == (parser != TListParser::None));
    ParseListing(text.substr(cut), parser, state, second, ctx);
    CheckEntries(first);
    CheckEntries(second);

    std::string pending;
    std::vector<reference::TEntry> expected =
        reference::ParseListing(text.substr(0, cut), parser, today, pending);
    const std::vector<reference::TEntry> more = reference::ParseListing(text.substr(cut), parser, today, pending);
    expected.insert(expected.end(), more.begin(), more.end());
    CheckAgainstReference(first, second, expected);
    Check(pending == state.VmsPending);

    // The block-wise field search against the plain one, on a line that may be
    // followed by more readable bytes.
    const std::string_view line = text.substr(0, cut);
    TLineFields fields(line, text.size());
    const int count = fields.Count();
    std::size_t pos = 0;
    TFieldSpan span;
    int k = 0;
    // Fields past the remembered ones are found by walking on, so check only a few of them.
    constexpr int Checked = TLineFields::MaxRecorded + 8;
    while (NextField(line, pos, span)) {
        if (++k > Checked)
            continue;
        Check(fields.Field(k) == line.substr(span.Start, span.Length));
        Check(fields.Rest(k) == line.substr(span.Start));
    }
    Check(k == count && fields.Field(count + 1).empty());
    Check(SplitFields(text, fields) >= 0);
    ParseAttributes(text);
    ParseNumber(text);
    return 0;
}
