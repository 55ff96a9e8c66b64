#pragma once

// The window state that survives between runs: the main window's placement, the
// views' styles, the panel heights, the column widths and the Last Connections list,
// kept as registry values below "\Software\Velunor Media\ScrivelFerrow".

#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

enum TWindowShowState : int { wssNormal = 0, wssMinimized = 1, wssMaximized = 2 };

// "Windows\Main" and "Options", as read at start and written at close.
struct TMainWindowState
{
    int State = wssNormal;
    // Bounds in the normal state.
    int Left = 157;
    int Top = 86;
    int Width = 648;
    int Height = 488;
    // 0 large icons, 1 small icons, 2 list, 3 details.
    int LocalViewStyle = 2;
    int HostViewStyle = 2;
    // Height of the top panel with the toolbar, the message window and the viewer.
    int LogHeight = 125;
    // Height of the toolbar panel.
    int ToolBarMin = 30;

    bool LargeToolBar() const { return ToolBarMin >= 60; }
    friend bool operator==(const TMainWindowState &, const TMainWindowState &) = default;
};

// Where a window with no stored bounds opens on a screen's available area: two thirds of
// it each way, centred.
QRect DefaultMainWindowBounds(const QRect &available);

// The "Last Connections" list: eight site names, the most recent first; empty slots
// are empty strings.
class TLastConnections
{
public:
    static constexpr int Count = 8;

    const QString &Site(int slot) const { return FSites.at(slot); }
    const std::array<QString, Count> &Sites() const { return FSites; }
    void SetSite(int slot, const QString &name) { FSites.at(slot) = name; }
    bool Any() const;

    // Moves the site to the top: a site already listed moves up from its slot (names
    // compared with letter case), a new one pushes the oldest out.
    void Add(const QString &siteName);

    friend bool operator==(const TLastConnections &, const TLastConnections &) = default;

private:
    std::array<QString, Count> FSites;
};

enum TViewSide : int { vsLocal, vsHost };

class TWindowStateStore
{
public:
    // The registry stand-in; by default the user's file.
    explicit TWindowStateStore(QString registryFileName = DefaultRegistryFileName());
    static QString DefaultRegistryFileName();

    // Values that are missing, no numbers or out of range read as the defaults.
    TMainWindowState LoadMainWindow() const;
    // Whether a window size was stored; without one the window opens at a size of its own.
    bool HasStoredBounds() const;
    TLastConnections LoadLastConnections() const;
    // What the main window writes when it closes; the bounds only in the normal
    // state, so that a maximised window keeps its normal placement. False when the
    // file cannot be written.
    bool Save(const TMainWindowState &state, const TLastConnections &lastConnections) const;

    // Widths of the first four columns of a side; a width not stored, or unusable,
    // stays as given in currentWidths. Returns as many widths as currentWidths holds.
    std::vector<int> LoadColumnWidths(TViewSide side, const std::vector<int> &currentWidths) const;
    // Stores the widths of the first four columns.
    bool SaveColumnWidths(TViewSide side, const std::vector<int> &widths) const;

    // The registered HTML editor program; empty when none is registered.
    QString HtmlEditor() const;

private:
    QString FFileName;
};

// The program of an editor's command line, its arguments cut off: the first word, with
// quotes honoured so that a path holding blanks stays whole.
QString HtmlEditorFromCommand(const QString &command);
