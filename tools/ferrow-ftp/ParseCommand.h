#pragma once

#include "tools/ferrow-ftp/ToolOptions.h"

// The parse command: raw LIST output from a file or standard input, parsed with the
// parser of the chosen server type and printed as ls prints entries. No connection.
int RunParseCommand(const TToolOptions &Options);
