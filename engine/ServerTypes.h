#pragma once

// The fixed table of server types and the texts that identify them in a server's
// welcome, SYST and HELP replies. Shared, constant data.

#include "engine/Parsers.h"

#include <string_view>

constexpr int ServerTypeCount = 53;
constexpr int stAutomaticDetect = 0;
constexpr int stNotRelevant = 1;
constexpr int stUnixStandard = 11;

// The type's name ("UNIX (standard)"); empty outside the table.
const char *ServerTypeName(int Type);
// The listing parser of the type; None outside the table.
TListParser ServerTypeParser(int Type);

// The type a line of each reply names, or 0 when no entry matches. Entries are tried
// in table order and the first whose text occurs in the line wins.
int MatchWelcomeLine(std::string_view Line);
int MatchSystLine(std::string_view Line);
int MatchHelpLine(std::string_view Line);
