#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>

#include <optional>
#include <string_view>

// Bytes from a server, a file or a URL as text: UTF-8 when they are valid UTF-8, else
// Latin-1, so that every byte shows as some character. A BOM is kept as a character,
// because the bytes may be a name that has to be told apart from the same name without.
QString DecodeUtf8OrLatin1(QByteArrayView bytes);
inline QString DecodeUtf8OrLatin1(std::string_view bytes)
{
    return DecodeUtf8OrLatin1(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

// The bytes as UTF-8, or nothing when they are not valid UTF-8.
std::optional<QString> DecodeUtf8(QByteArrayView bytes);
inline std::optional<QString> DecodeUtf8(std::string_view bytes)
{
    return DecodeUtf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

// The value of an ASCII hexadecimal digit (either case), or -1.
int HexDigitValue(QChar c);
