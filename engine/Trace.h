#pragma once

// The debug trace: one line per call in "Debug.txt" in the program folder while
// DebugMode is on. Any thread may trace; lines of different threads never interleave.

#include <atomic>
#include <cstdarg>
#include <string>
#include <string_view>

inline std::atomic<bool> DebugMode{false};

// Appends one line when DebugMode is on. CR and LF inside Text become '~'.
void Trace(std::string_view Text);
// printf-style; formats only when DebugMode is on.
void TraceFmt(const char *Format, ...) __attribute__((format(printf, 1, 2)));
// printf-style formatting into a string, for the trace's formatted variants.
std::string FormatArgs(const char *Format, va_list Args);

// The full line Trace writes, without its CR LF: the thread id, the milliseconds since
// the previous line, the time of day and Text, with CR and LF replaced.
std::string FormatTraceLine(unsigned long ThreadId, long long ElapsedMS, std::string_view Time,
                            std::string_view Text);

// The file the trace goes to.
std::string TraceFilePath();
