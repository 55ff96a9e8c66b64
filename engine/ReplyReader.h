#pragma once

// Splitting the bytes of the control connection into reply lines.

#include <cstddef>
#include <string>
#include <string_view>

// Bytes received on the control connection and not yet taken as lines. A line ends at
// CR LF, at a lone CR or at a lone LF. A CR that ends the buffered bytes ends its line
// at once; an LF arriving as the next byte is the rest of that CR LF, not an empty line.
class TReplyBuffer
{
public:
    void Append(const char *Data, std::size_t Size);
    // Takes the next complete line (without its terminator); false when none is buffered.
    bool ExtractLine(std::string &Line);
    void Clear();

    bool Empty() const { return FData.size() == FStart; }
    // Bytes buffered that belong to no complete line yet.
    std::size_t PendingSize() const { return FData.size() - FStart; }

private:
    std::string FData;
    std::size_t FStart = 0; // taken lines are dropped lazily, not one erase per line
    bool FSkipLF = false;
};

// The code of a reply line: its first three characters as a number from 100 to 599,
// else 0.
int ReplyCode(std::string_view Line);

// Whether the line ends a reply: a valid code followed by a space.
bool IsReplyEndLine(std::string_view Line);
