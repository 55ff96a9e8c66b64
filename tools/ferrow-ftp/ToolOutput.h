#pragma once

// What ferrow-ftp writes: results on standard output, notifications on standard error.

#include "engine/FTPTypes.h"

#include <cstdio>
#include <string_view>

void WriteLine(std::FILE *Stream, std::string_view Line);
// One FormatListingLine per entry.
void PrintListing(const TDirListing &Listing);
