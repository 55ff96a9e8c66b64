#include "views/StatusTexts.h"

#include "engine/FTPUtils.h"

#include <QLocale>

namespace {

constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = KB * 1024;
constexpr std::int64_t GB = MB * 1024;
constexpr std::int64_t TB = GB * 1024;

// Three significant digits, fixed or exponent form, whichever is shorter, with the
// locale's decimal point.
QString ThreeDigits(double value, const char *unit)
{
    QString text = QString::asprintf("%.3g", value);
    text.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return text + QLatin1String(unit);
}

} // namespace

QString GroupedNumber(std::int64_t number)
{
    if (number < 0)
        return QLatin1Char('-') + ThousandSeparators(QString::number(-number));
    return ThousandSeparators(QString::number(number));
}

QString SizeText(std::int64_t bytes)
{
    if (bytes == 1)
        return QStringLiteral("1 Byte");
    if (bytes < KB)
        return GroupedNumber(bytes) + QStringLiteral(" Bytes");
    if (bytes < MB)
        return ThreeDigits(double(bytes) / double(KB), "KB");
    if (bytes < GB)
        return ThreeDigits(double(bytes) / double(MB), "MB");
    if (bytes < TB)
        return ThreeDigits(double(bytes) / double(GB), "GB");
    return ThreeDigits(double(bytes) / double(TB), "TB");
}

QString EntriesText(int count, std::int64_t totalSize)
{
    return QStringLiteral("%1 %2, %3")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("Entry") : QStringLiteral("Entries"), SizeText(totalSize));
}

QString SelectedText(int count, std::int64_t selectedSize)
{
    return QStringLiteral("%1 %2 Selected, %3")
        .arg(count)
        .arg(count == 1 ? QStringLiteral("Item") : QStringLiteral("Items"), SizeText(selectedSize));
}

QString TransferredText(std::int64_t bytes)
{
    return GroupedNumber(bytes) + QStringLiteral(" Bytes");
}

QString FreeSpaceText(std::int64_t bytes)
{
    return GroupedNumber(bytes) + QStringLiteral(" Bytes Free");
}

QString ListSizeText(std::int64_t bytes)
{
    const std::int64_t kilobytes = bytes > 0 ? (bytes - 1) / KB + 1 : 0;
    return GroupedNumber(kilobytes) + QStringLiteral("KB");
}
