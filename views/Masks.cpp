#include "views/Masks.h"

QStringList CommaTextItems(const QString &text)
{
    QStringList items;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    while (pos < size) {
        const QChar c = text.at(pos);
        if (c == QLatin1Char(',') || c.unicode() <= ' ') {
            ++pos;
            continue;
        }
        QString item;
        if (c == QLatin1Char('"')) {
            // "" inside quotes stands for one quote.
            ++pos;
            while (pos < size) {
                if (text.at(pos) == QLatin1Char('"')) {
                    if (pos + 1 < size && text.at(pos + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                item += text.at(pos++);
            }
        } else {
            const qsizetype start = pos;
            while (pos < size && text.at(pos) != QLatin1Char(',') && text.at(pos).unicode() > ' ')
                ++pos;
            item = text.mid(start, pos - start);
        }
        if (!item.isEmpty())
            items.append(item);
    }
    return items;
}

QStringList ParseMaskList(const QString &value)
{
    QString masks = value.trimmed().toLower();
    if (masks == QLatin1String("*.*"))
        return {};
    masks.replace(QLatin1Char(';'), QLatin1Char('\r'));
    return CommaTextItems(masks);
}

QString JoinMaskList(const QStringList &masks)
{
    return masks.isEmpty() ? QStringLiteral("*.*") : masks.join(QLatin1Char(';'));
}

QStringList MaskPresets()
{
    return {QStringLiteral("Archive Files (*.zip;*.arj;*.a??;*.rar;*.r??;*.z)"),
            QStringLiteral("Image Files (*.gif;*.jpg;*.bmp;*.png)"),
            QStringLiteral("HTML Files (*.htm;*.html;*.asp)"), QStringLiteral("All Files (*.*)")};
}

QString MaskOfPreset(const QString &entry)
{
    const QString trimmed = entry.trimmed();
    const qsizetype open = trimmed.indexOf(QStringLiteral(" ("));
    if (open < 0 || !trimmed.endsWith(QLatin1Char(')')))
        return trimmed;
    return trimmed.mid(open + 2, trimmed.size() - open - 3);
}
