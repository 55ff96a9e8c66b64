#include "tools/ferrow-ftp/ToolOutput.h"

#include "engine/Parsers.h"

void WriteLine(std::FILE *Stream, std::string_view Line)
{
    std::fwrite(Line.data(), 1, Line.size(), Stream);
    std::fputc('\n', Stream);
}

void PrintListing(const TDirListing &Listing)
{
    for (const TListItem &item : Listing)
        WriteLine(stdout, FormatListingLine(item));
    std::fflush(stdout);
}
