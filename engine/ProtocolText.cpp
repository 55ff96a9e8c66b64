#include "engine/ProtocolText.h"

#include "engine/Sockets.h"

#include <QLocale>

#include <arpa/inet.h>

std::int64_t TextToInt(std::string_view Text, std::int64_t Default)
{
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        negative = Text[i] == '-';
        ++i;
    }
    if (i == Text.size())
        return Default;
    std::int64_t value = 0;
    for (; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c < '0' || c > '9')
            return Default;
        if (value > (INT64_MAX - (c - '0')) / 10)
            return Default;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::string_view TrimText(std::string_view Text)
{
    while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= ' ')
        Text.remove_prefix(1);
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= ' ')
        Text.remove_suffix(1);
    return Text;
}

std::string LowerText(std::string_view Text)
{
    std::string lower(Text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return lower;
}

bool ParsePasvReply(std::string_view Text, std::uint32_t HostAddress, TPasvReply &Reply)
{
    std::size_t start = std::string_view::npos;
    if (HostAddress != NoAddress) {
        std::string commas = DottedAddress(HostAddress);
        for (char &c : commas)
            if (c == '.')
                c = ',';
        start = Text.find(commas);
    }
    if (start == std::string_view::npos) {
        start = Text.find(" (");
        if (start == std::string_view::npos)
            return false;
        start += 2;
    }

    std::string numbers[6];
    int delimited = 0;
    for (std::size_t i = start; i < Text.size() && delimited < 6; ++i) {
        const char c = Text[i];
        if (c >= '0' && c <= '9') {
            numbers[delimited] += c;
        } else {
            ++delimited;
            if (c != ',')
                break;
        }
    }
    if (delimited < 6)
        return false;

    const auto number = [&](int k) -> std::int64_t {
        // Absurdly long digit runs count as 0 like any other unreadable number.
        return numbers[k].size() > 9 ? 0 : TextToInt(numbers[k], 0);
    };
    Reply.Address = numbers[0] + '.' + numbers[1] + '.' + numbers[2] + '.' + numbers[3];
    Reply.Port = int((number(4) * 256 + number(5)) % 65536);
    return true;
}

bool ParseSizeFromReply(std::string_view Line, std::string_view LocalBaseName, std::int64_t &Size)
{
    std::string_view rest = TrimText(Line);
    const std::string key = LowerText(LocalBaseName) + " (";
    const std::size_t at = LowerText(rest).find(key);
    if (at != std::string::npos)
        rest.remove_prefix(at + key.size());

    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (digits == 0 || digits >= rest.size() || digits > 18)
        return false;
    const std::int64_t number = TextToInt(rest.substr(0, digits), -1);
    const std::string_view unit = TrimText(rest.substr(digits + 1));
    if (number < 0 || LowerText(unit.substr(0, 5)) != "bytes")
        return false;
    Size = number;
    return true;
}

std::string QuotedFolder(std::string_view Line)
{
    std::size_t i = Line.find('"');
    if (i == std::string_view::npos)
        return {};
    std::string folder;
    for (++i; i < Line.size(); ++i) {
        if (Line[i] == '"') {
            if (i + 1 < Line.size() && Line[i + 1] == '"') {
                folder += '"';
                ++i;
                continue;
            }
            break;
        }
        folder += Line[i];
    }
    return folder;
}

std::string FirewallHostText(const std::string &Host, int Port)
{
    return Port == 21 ? Host : Host + ':' + std::to_string(Port);
}

char TransferTypeLetter(int Type)
{
    switch (Type) {
    case 1: return 'A';
    case 3: return 'E';
    case 4: return 'L';
    default: return 'I';
    }
}

std::string StatisticsLine(std::int64_t Bytes, double Seconds)
{
    // The byte count with thousands separators, the real numbers without, as "%.0n"
    // and "%f" print them.
    QLocale grouped;
    grouped.setNumberOptions(QLocale::DefaultNumberOptions);
    QLocale plain;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    const double rate = Seconds > 0 ? double(Bytes) / 1024.0 / Seconds : 0.0;
    return QStringLiteral("Transferred %1 bytes in %2 seconds (%3KB/s)")
        .arg(grouped.toString(qlonglong(Bytes)), plain.toString(Seconds, 'f', 2), plain.toString(rate, 'f', 2))
        .toStdString();
}

std::string CommaText(const std::vector<std::string> &Items)
{
    std::string text;
    for (const std::string &item : Items) {
        if (!text.empty())
            text += ',';
        bool quote = item.empty();
        for (const char c : item)
            if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"')
                quote = true;
        if (!quote) {
            text += item;
            continue;
        }
        text += '"';
        for (const char c : item) {
            if (c == '"')
                text += '"';
            text += c;
        }
        text += '"';
    }
    return text;
}
