// Arbitrary bytes through the control connection's reply line splitter, fed in pieces
// whose sizes come from the input: the lines must not depend on how the bytes arrived.

#include "engine/ReplyReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

std::vector<std::string> TakeLines(TReplyBuffer &buffer, std::vector<std::string> lines)
{
    std::string line;
    while (buffer.ExtractLine(line)) {
        Check(line.find_first_of("\r\n") == std::string::npos);
        ReplyCode(line);
        IsReplyEndLine(line);
        lines.push_back(line);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned pieceSize = data[0] % 17 + 1;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const std::size_t count = size - 1;

    TReplyBuffer whole;
    whole.Append(bytes, count);
    const std::vector<std::string> expected = TakeLines(whole, {});

    TReplyBuffer pieces;
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < count; pos += pieceSize) {
        pieces.Append(bytes + pos, std::min<std::size_t>(pieceSize, count - pos));
        lines = TakeLines(pieces, std::move(lines));
    }
    Check(lines == expected);
    Check(pieces.PendingSize() == whole.PendingSize());
    return 0;
}
