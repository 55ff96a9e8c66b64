#include "app/WindowState.h"

#include "platform/Registry.h"

#include <QProcess>

#include <algorithm>
#include <climits>

namespace {

const QString RootKey = QStringLiteral("\\Software\\Velunor Media\\ScrivelFerrow\\");
const QString MainWindowKey = RootKey + QStringLiteral("Windows\\Main");
const QString ColumnWidthsKey = RootKey + QStringLiteral("Windows\\Main\\Column Widths");
const QString OptionsKey = RootKey + QStringLiteral("Options");
constexpr int StoredColumns = 4;
constexpr int MaxColumnWidth = 10000;

QString LastConnectionKey(int slot)
{
    return RootKey + QStringLiteral("Last Connections%1").arg(slot + 1);
}

QString ColumnValueName(TViewSide side, int column)
{
    return (side == vsLocal ? QStringLiteral("LocalCol%1") : QStringLiteral("HostCol%1")).arg(column);
}

// The stored integer when it lies in [min, max], else def.
int ReadInRange(const TRegistry &registry, const QString &name, int def, int min, int max)
{
    const int value = registry.ReadInteger(name, def);
    return value >= min && value <= max ? value : def;
}

} // namespace

QRect DefaultMainWindowBounds(const QRect &available)
{
    const QSize size(available.width() * 2 / 3, available.height() * 2 / 3);
    return QRect(available.topLeft() + QPoint((available.width() - size.width()) / 2,
                                               (available.height() - size.height()) / 2),
                 size);
}

bool TLastConnections::Any() const
{
    return std::any_of(FSites.begin(), FSites.end(), [](const QString &site) { return !site.isEmpty(); });
}

void TLastConnections::Add(const QString &siteName)
{
    if (siteName.isEmpty())
        return;
    const auto found = std::find(FSites.begin(), FSites.end(), siteName);
    // Slots above the found one (or all but the last) move down by one.
    const auto end = found != FSites.end() ? found : FSites.end() - 1;
    std::move_backward(FSites.begin(), end, end + 1);
    FSites.front() = siteName;
}

TWindowStateStore::TWindowStateStore(QString registryFileName) : FFileName(std::move(registryFileName))
{
}

QString TWindowStateStore::DefaultRegistryFileName()
{
    return TRegistry::DefaultFileName();
}

TMainWindowState TWindowStateStore::LoadMainWindow() const
{
    TMainWindowState state;
    TRegistry registry(FFileName);
    if (registry.OpenKey(MainWindowKey, false)) {
        state.State = ReadInRange(registry, QStringLiteral("State"), state.State, wssNormal, wssMaximized);
        state.Left = registry.ReadInteger(QStringLiteral("Left"), state.Left);
        state.Top = registry.ReadInteger(QStringLiteral("Top"), state.Top);
        state.Width = ReadInRange(registry, QStringLiteral("Width"), state.Width, 1, INT_MAX);
        state.Height = ReadInRange(registry, QStringLiteral("Height"), state.Height, 1, INT_MAX);
        state.LocalViewStyle = ReadInRange(registry, QStringLiteral("LocalViewStyle"), state.LocalViewStyle, 0, 3);
        state.HostViewStyle = ReadInRange(registry, QStringLiteral("HostViewStyle"), state.HostViewStyle, 0, 3);
        state.LogHeight = ReadInRange(registry, QStringLiteral("LogHeight"), state.LogHeight, 0, INT_MAX);
    }
    if (registry.OpenKey(OptionsKey, false))
        state.ToolBarMin = ReadInRange(registry, QStringLiteral("ToolBarMin"), state.ToolBarMin, 0, INT_MAX);
    return state;
}

bool TWindowStateStore::HasStoredBounds() const
{
    TRegistry registry(FFileName);
    return registry.OpenKey(MainWindowKey, false) && registry.ValueExists(QStringLiteral("Width"))
        && registry.ValueExists(QStringLiteral("Height"));
}

TLastConnections TWindowStateStore::LoadLastConnections() const
{
    TLastConnections list;
    TRegistry registry(FFileName);
    for (int slot = 0; slot < TLastConnections::Count; ++slot) {
        if (registry.OpenKey(LastConnectionKey(slot), false))
            list.SetSite(slot, registry.ReadString(QStringLiteral("Site")));
    }
    return list;
}

bool TWindowStateStore::Save(const TMainWindowState &state, const TLastConnections &lastConnections) const
{
    TRegistry registry(FFileName);
    for (int slot = 0; slot < TLastConnections::Count; ++slot) {
        registry.OpenKey(LastConnectionKey(slot), true);
        registry.WriteString(QStringLiteral("Site"), lastConnections.Site(slot));
    }
    registry.OpenKey(OptionsKey, true);
    registry.WriteInteger(QStringLiteral("ToolBarMin"), state.ToolBarMin);
    registry.OpenKey(MainWindowKey, true);
    registry.WriteInteger(QStringLiteral("State"), state.State);
    if (state.State == wssNormal) {
        registry.WriteInteger(QStringLiteral("Left"), state.Left);
        registry.WriteInteger(QStringLiteral("Top"), state.Top);
        registry.WriteInteger(QStringLiteral("Width"), state.Width);
        registry.WriteInteger(QStringLiteral("Height"), state.Height);
    }
    registry.WriteInteger(QStringLiteral("LocalViewStyle"), state.LocalViewStyle);
    registry.WriteInteger(QStringLiteral("HostViewStyle"), state.HostViewStyle);
    registry.WriteInteger(QStringLiteral("LogHeight"), state.LogHeight);
    return registry.Flush();
}

std::vector<int> TWindowStateStore::LoadColumnWidths(TViewSide side, const std::vector<int> &currentWidths) const
{
    std::vector<int> widths = currentWidths;
    TRegistry registry(FFileName);
    if (!registry.OpenKey(ColumnWidthsKey, false))
        return widths;
    const int count = std::min(int(widths.size()), StoredColumns);
    for (int column = 0; column < count; ++column)
        widths[column] = ReadInRange(registry, ColumnValueName(side, column), widths[column], 0, MaxColumnWidth);
    return widths;
}

bool TWindowStateStore::SaveColumnWidths(TViewSide side, const std::vector<int> &widths) const
{
    TRegistry registry(FFileName);
    registry.OpenKey(ColumnWidthsKey, true);
    const int count = std::min(int(widths.size()), StoredColumns);
    for (int column = 0; column < count; ++column)
        registry.WriteInteger(ColumnValueName(side, column), widths[column]);
    return registry.Flush();
}

QString TWindowStateStore::HtmlEditor() const
{
    return HtmlEditorFromCommand(TRegistry(FFileName).HtmlEditorCommand());
}

QString HtmlEditorFromCommand(const QString &command)
{
    const QStringList words = QProcess::splitCommand(command);
    return words.isEmpty() ? QString() : words.front();
}
