#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextCodec, Utf8WhenValidElseEveryByteAsLatin1)
{
    EXPECT_EQ(DecodeUtf8OrLatin1(std::string_view("r\xC3\xA9sum\xC3\xA9")), QString::fromUtf8("résumé"));
    EXPECT_EQ(DecodeUtf8OrLatin1(std::string_view("r\xE9sum\xE9")), QString::fromUtf8("résumé"));
    // A sequence cut off at the end is not valid UTF-8 either.
    EXPECT_EQ(DecodeUtf8OrLatin1(std::string_view("ab\xC3")), QString::fromUtf8("ab\u00C3"));
    // A BOM and a zero byte are characters of the text, not dropped.
    const QString bom = DecodeUtf8OrLatin1(std::string_view("\xEF\xBB\xBFname"));
    EXPECT_EQ(bom, QString(QChar(0xFEFF)) + QStringLiteral("name"));
    EXPECT_EQ(DecodeUtf8OrLatin1(std::string_view("a\0b", 3)).size(), 3);
    EXPECT_EQ(DecodeUtf8OrLatin1(QByteArrayView()), QString());

    EXPECT_EQ(DecodeUtf8(std::string_view("\xC3\xA9")), QString::fromUtf8("é"));
    EXPECT_EQ(DecodeUtf8(std::string_view("\xE9")), std::nullopt);
    EXPECT_EQ(DecodeUtf8(std::string_view("\xED\xA0\x80")), std::nullopt); // a lone surrogate
}

TEST(TextCodec, HexDigitsOfEitherCaseAndNothingElse)
{
    const std::string digits = "0123456789abcdefABCDEF";
    const int values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < digits.size(); ++i)
        EXPECT_EQ(HexDigitValue(QChar(digits[i])), values[i]) << i;
    for (const QChar c : {QChar(u'g'), QChar(u'/'), QChar(u':'), QChar(u'@'), QChar(u'`'),
                          QChar(0x0661) /* ARABIC-INDIC DIGIT ONE */, QChar(0xFF21) /* FULLWIDTH A */})
        EXPECT_EQ(HexDigitValue(c), -1) << int(c.unicode());
}

} // namespace
