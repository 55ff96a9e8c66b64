// Arbitrary bytes through the string helpers: the first line is the name, every
// further line one mask.

#include "engine/FTPUtils.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::size_t nameEnd = std::min(text.find('\n'), text.size());
    const std::string name = text.substr(0, nameEnd);

    QStringList masks;
    if (nameEnd < text.size())
        masks = QString::fromUtf8(text.substr(nameEnd + 1)).split(QLatin1Char('\n'));
    MatchesMasks(name, masks);

    Check(LinkName(name).size() <= name.size());
    Check(LinkTarget(name).size() <= name.size());

    std::string path = name;
    const bool cut = ParentPath(path);
    Check(cut ? path.size() < name.size() : path == name);

    Check(ScramblePassword(ScramblePassword(name)) == name);

    const QString digits = QString::fromLatin1(name.data(), qsizetype(std::min<std::size_t>(name.size(), 64)));
    ThousandSeparators(digits, QStringLiteral(","));
    return 0;
}
