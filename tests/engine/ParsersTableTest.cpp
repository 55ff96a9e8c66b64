// Listing lines as servers send them, each with the entry it must give, read from the
// data files in tests/engine/data/ (their first lines describe the format). Every line
// goes through the fast parser and through the plain reference reading the listing
// fuzzer compares it with.

#include "engine/Parsers.h"
#include "fuzz/ReferenceListing.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace {

// The day every table is read on.
const QDate Today(2024, 6, 15);

struct TTableRow
{
    std::string Source; // file and line number of the listing line
    TListParser Parser = TListParser::None;
    std::string Line;
    bool GivesEntry = false;
    std::string Name;
    std::string Attributes;
    std::string Size;
    std::string Date;
};

// "\xHH" is any byte, "\\" a backslash.
std::string Unescaped(const std::string &text, std::string &error)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        bool ok = false;
        if (text.compare(i, 2, "\\\\") == 0) {
            bytes += '\\';
            i += 1;
            ok = true;
        } else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) {
            bytes += char(QByteArray(text.data() + i + 2, 2).toInt(&ok, 16));
            i += 3;
        }
        if (!ok)
            error = "bad escape in: " + text;
    }
    return bytes;
}

TListParser ParserOfFile(const QString &fileName)
{
    if (fileName == u"listing-unix.txt")
        return TListParser::Unix;
    if (fileName == u"listing-dos.txt")
        return TListParser::Dos;
    if (fileName == u"listing-vm.txt")
        return TListParser::VM;
    if (fileName == u"listing-vms.txt")
        return TListParser::VMS;
    return TListParser::None;
}

// Splits "NAME | ATTRIBUTES | SIZE | DATE" from the right, so a name may hold " | ".
bool SplitGives(const std::string &text, TTableRow &row)
{
    std::string rest = text;
    std::string parts[3];
    for (int i = 2; i >= 0; --i) {
        const std::size_t bar = rest.rfind(" | ");
        if (bar == std::string::npos)
            return false;
        parts[i] = rest.substr(bar + 3);
        rest.resize(bar);
    }
    row.Name = rest;
    row.Attributes = parts[0];
    row.Size = parts[1];
    row.Date = parts[2];
    return true;
}

// Every row of every table; a malformed table is a row that fails with the reason.
std::vector<TTableRow> LoadTables()
{
    std::vector<TTableRow> rows;
    const QDir folder(QStringLiteral(FERROW_SOURCE_DIR "/tests/engine/data"));
    const QStringList files = folder.entryList({QStringLiteral("listing-*.txt")}, QDir::Files, QDir::Name);
    for (const QString &fileName : files) {
        QFile file(folder.filePath(fileName));
        const TListParser parser = ParserOfFile(fileName);
        if (parser == TListParser::None || !file.open(QIODevice::ReadOnly)) {
            rows.push_back({fileName.toStdString(), TListParser::None, "", false, "", "", "", ""});
            continue;
        }
        const QList<QByteArray> lines = file.readAll().split('\n');
        std::optional<TTableRow> open;
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const std::string text = lines[n].toStdString();
            const std::string where = fileName.toStdString() + ":" + std::to_string(n + 1);
            std::string error;
            if (text.rfind("line: ", 0) == 0 && !open) {
                open = TTableRow{where, parser, Unescaped(text.substr(6), error), false, "", "", "", ""};
            } else if (text.rfind("gives: ", 0) == 0 && open) {
                const std::string gives = Unescaped(text.substr(7), error);
                open->GivesEntry = gives != "nothing";
                if (open->GivesEntry && !SplitGives(gives, *open))
                    error = "expected NAME | ATTRIBUTES | SIZE | DATE";
                if (error.empty())
                    rows.push_back(*open);
                open.reset();
            } else if (!text.empty() && text[0] != '#') {
                error = "expected a \"line: \" and then a \"gives: \" line";
            }
            if (!error.empty())
                rows.push_back({where + ": " + error, TListParser::None, "", false, "", "", "", ""});
        }
    }
    return rows;
}

std::string Formatted(const std::string &name, std::uint32_t attributes, std::int64_t size, TDateTime date)
{
    TListItem item;
    item.Name = "-";
    item.Entry = TDirEntry{attributes, size, date};
    const std::string columns = FormatListingLine(item).substr(1);
    return name + columns;
}

std::string Expected(const TTableRow &row)
{
    return row.GivesEntry ? row.Name + "\t" + row.Attributes + "\t" + row.Size + "\t" + row.Date
                          : std::string("nothing");
}

void PrintTo(const TTableRow &row, std::ostream *out)
{
    *out << row.Source;
}

class ListingTable : public testing::TestWithParam<TTableRow>
{
};

} // namespace

TEST_P(ListingTable, LineGivesItsEntry)
{
    const TTableRow &row = GetParam();
    ASSERT_NE(row.Parser, TListParser::None) << row.Source;
    const std::string text = row.Line + "\r\n";

    TParseContext ctx;
    ctx.Today = Today;
    TListingState state;
    TDirListing listing;
    ASSERT_TRUE(ParseListing(text, row.Parser, state, listing, ctx));
    ASSERT_LE(listing.size(), 1u) << row.Source;
    const std::string fast = listing.empty()
        ? std::string("nothing")
        : Formatted(std::string(listing[0].Name), listing[0].Entry.Attributes, listing[0].Entry.Size,
                    listing[0].Entry.Date);
    EXPECT_EQ(fast, Expected(row)) << row.Source;

    std::string pending;
    const std::vector<reference::TEntry> plain = reference::ParseListing(text, row.Parser, Today, pending);
    ASSERT_LE(plain.size(), 1u) << row.Source;
    const std::string slow =
        plain.empty() ? std::string("nothing") : Formatted(plain[0].Name, plain[0].Attributes, plain[0].Size, plain[0].Date);
    EXPECT_EQ(slow, Expected(row)) << row.Source << " (reference)";
}

INSTANTIATE_TEST_SUITE_P(RealLines, ListingTable, testing::ValuesIn(LoadTables()),
                         [](const testing::TestParamInfo<TTableRow> &info) {
                             std::string name;
                             for (const char c : info.param.Source.substr(0, info.param.Source.find(": ")))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
