#pragma once

// A manual page in roff, made from a program's usage text so that the two never differ.

#include <string>

struct TManPageSource
{
    std::string Name; // the command, e.g. "ferrow-ftp"
    std::string Version;
    std::string Summary;     // one line for NAME
    std::string Description; // paragraphs separated by empty lines
    std::string Usage;       // shown as written, line for line
    std::string Files;       // paragraphs for FILES; none when empty
    std::string SeeAlso;     // e.g. "ferrow(1)"; none when empty
};

std::string ManPage(const TManPageSource &Source);

// Text made safe for roff: backslashes escaped, '-' as a real minus, and a line that
// would start with a request character ('.' or '\'') guarded.
std::string RoffEscaped(const std::string &Text);
