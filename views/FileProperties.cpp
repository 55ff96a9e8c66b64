#include "views/FileProperties.h"

#include "engine/FTPTypes.h"

#include <QLocale>
#include <QSet>

#include <algorithm>

QString PropertySizeText(std::int64_t size)
{
    QString shortSize;
    if (size >= 1048577)
        shortSize = QString::number(size / 1048576) + QStringLiteral("MB");
    else if (size >= 1025)
        shortSize = QString::number(size / 1024) + QStringLiteral("KB");
    else
        shortSize = QString::number(size);
    return QStringLiteral("%1 (%2 %3)").arg(shortSize).arg(size).arg(QStringLiteral("Bytes"));
}

QString PropertyLocationText(const QString &folder)
{
    const QString location = folder.left(folder.size() - 1);
    return location.isEmpty() ? QStringLiteral("(Server Root)") : location;
}

QString FilesFoldersText(int files, int folders)
{
    return QStringLiteral("%1 Files, %2 Folders").arg(files).arg(folders);
}

std::uint32_t PermissionBit(int box)
{
    return std::uint32_t(faOwnerRead) << box;
}

namespace {

TPermissionBoxes BoxesOf(const std::vector<TPropertyEntry> &entries)
{
    TPermissionBoxes boxes{};
    for (int box = 0; box < 9; ++box) {
        const std::uint32_t bit = PermissionBit(box);
        std::size_t set = 0;
        for (const TPropertyEntry &entry : entries)
            set += (entry.Attributes & bit) ? 1 : 0;
        boxes[std::size_t(box)] = set == entries.size() ? TBoxState::Checked
                                  : set == 0            ? TBoxState::Clear
                                                        : TBoxState::Mixed;
    }
    return boxes;
}

QString CountingSuffix(const std::vector<TPropertyEntry> &entries)
{
    const bool counting = std::any_of(entries.begin(), entries.end(),
                                      [](const TPropertyEntry &entry) { return !entry.SizeKnown; });
    return counting ? QStringLiteral(", counting...") : QString();
}

} // namespace

TPropertySummary SummarizeProperties(const std::vector<TPropertyEntry> &entries, const QString &location)
{
    TPropertySummary summary;
    if (entries.empty())
        return summary;
    const TPropertyEntry &first = entries.front();
    summary.Location = PropertyLocationText(location);
    summary.Boxes = BoxesOf(entries);
    if (entries.size() == 1) {
        summary.Caption = first.Caption + QStringLiteral(" Properties");
        summary.FileName = first.Caption;
        summary.Type = first.Type;
        summary.Size = PropertySizeText(first.Size) + CountingSuffix(entries);
        summary.Date = QLocale().toString(first.Date.Date(), QLocale::LongFormat);
        summary.FirstIcon = true;
        return summary;
    }
    int files = 0;
    int folders = 0;
    std::int64_t total = 0;
    QSet<QString> types;
    for (const TPropertyEntry &entry : entries) {
        (entry.IsFolder ? folders : files) += 1;
        total += entry.Size;
        types.insert(entry.Type.toLower());
    }
    summary.Caption = first.Caption + QStringLiteral(",... Properties");
    summary.FileName = FilesFoldersText(files, folders);
    summary.FirstIcon = types.size() == 1;
    summary.Type = summary.FirstIcon ? first.Type : QStringLiteral("Multiple Types");
    summary.Size = PropertySizeText(total) + CountingSuffix(entries);
    summary.Date = QStringLiteral("Multiple Dates");
    return summary;
}

std::uint32_t AppliedPermissions(std::uint32_t attributes, const TPermissionBoxes &boxes)
{
    std::uint32_t result = attributes & faPermissionMask;
    for (int box = 0; box < 9; ++box) {
        const std::uint32_t bit = PermissionBit(box);
        if (boxes[std::size_t(box)] == TBoxState::Checked)
            result |= bit;
        else if (boxes[std::size_t(box)] == TBoxState::Clear)
            result &= ~bit;
    }
    return result;
}

QString UnsafeRemoteNameReason(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" is not a name a file or folder can have.").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\r'))
        || name.contains(QLatin1Char('\n')))
        return QStringLiteral("A name cannot contain a slash or a line break.");
    return QString();
}
