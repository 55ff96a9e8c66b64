#include "engine/ReplyReader.h"

void TReplyBuffer::Append(const char *Data, std::size_t Size)
{
    if (Size == 0)
        return;
    if (FSkipLF) {
        FSkipLF = false;
        if (Data[0] == '\n') {
            ++Data;
            --Size;
        }
    }
    if (FStart > 0 && FStart == FData.size()) {
        FData.clear();
        FStart = 0;
    }
    FData.append(Data, Size);
}

bool TReplyBuffer::ExtractLine(std::string &Line)
{
    const std::size_t end = FData.find_first_of("\r\n", FStart);
    if (end == std::string::npos)
        return false;
    Line.assign(FData, FStart, end - FStart);
    std::size_t next = end + 1;
    if (FData[end] == '\r') {
        if (next < FData.size()) {
            if (FData[next] == '\n')
                ++next;
        } else {
            FSkipLF = true;
        }
    }
    FStart = next;
    if (FStart == FData.size()) {
        FData.clear();
        FStart = 0;
    } else if (FStart > 65536) {
        FData.erase(0, FStart);
        FStart = 0;
    }
    return true;
}

void TReplyBuffer::Clear()
{
    FData.clear();
    FStart = 0;
    FSkipLF = false;
}

int ReplyCode(std::string_view Line)
{
    if (Line.size() < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = Line[std::size_t(i)];
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    return code >= 100 && code <= 599 ? code : 0;
}

bool IsReplyEndLine(std::string_view Line)
{
    return ReplyCode(Line) != 0 && Line.size() >= 4 && Line[3] == ' ';
}
