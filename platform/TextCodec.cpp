#include "platform/TextCodec.h"

#include <QStringDecoder>

std::optional<QString> DecodeUtf8(QByteArrayView bytes)
{
    // Stateless, so that a sequence broken off at the end is an error too.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString DecodeUtf8OrLatin1(QByteArrayView bytes)
{
    if (std::optional<QString> text = DecodeUtf8(bytes))
        return *std::move(text);
    return QString::fromLatin1(bytes);
}

int HexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}
