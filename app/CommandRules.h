#pragma once

#include "app/Options.h"

#include <QString>

#include <optional>
#include <vector>

// The main window's decisions, kept apart from its widgets so that each can be called
// and checked without a window.

// What the main window knows of the active remote view when it updates its commands.
struct TRemoteViewState
{
    bool Connected = false;     // logged in
    bool Busy = false;          // connecting, waiting for a listing
    bool EngineWorking = false; // the engine runs a command (e.g. logging in)
    int Selected = 0;           // selected entries of the remote list
    bool AtTopFolder = true;    // the tree combo shows its top entry
};

// Enabled state of the commands that follow the active remote view.
struct TRemoteCommands
{
    bool UpOneLevel = false;
    bool Stop = false;
    bool Disconnect = false;
    bool Download = false;
    bool Delete = false;
    bool Rename = false;
    // New Folder, File Mask, Refresh, Edit with..., Change Folder, the view style and
    // its drop-down, Compare Folders, and the Server menu's entries except Properties.
    bool FolderCommands = false;
    bool Properties = false; // the Server menu's Properties

    friend bool operator==(const TRemoteCommands &, const TRemoteCommands &) = default;
};

TRemoteCommands RemoteCommandsFor(const TRemoteViewState &state);

// Enabled state of the commands that follow the active local view's selection.
struct TLocalCommands
{
    bool Delete = false;     // also the Local menu's Erase
    bool Rename = false;     // also the Local menu's Rename
    bool Upload = false;
    bool Properties = false; // the Local menu's Properties

    friend bool operator==(const TLocalCommands &, const TLocalCommands &) = default;
};

TLocalCommands LocalCommandsFor(int selected, bool remoteConnected);

// Entries of the remote list's pop-up, as it opens.
struct TRemotePopupState
{
    int DefaultEntry = 2; // 0 Properties, 1 View, 2 Download, 3 Open ("HostDblClk")
    bool Open = false;
    bool View = false;
    bool Download = false;
    bool DownloadNow = false;
    bool Delete = false; // also Send To and Properties
    bool Rename = false;
    bool New = false;

    friend bool operator==(const TRemotePopupState &, const TRemotePopupState &) = default;
};

TRemotePopupState RemotePopupFor(const TRemoteCommands &commands, bool hasFocusedEntry,
                                 bool focusedIsFolder, int hostDblClk);

// Entries of the local list's pop-up, as it opens.
struct TLocalPopupState
{
    bool Paste = false;
    bool Properties = false;

    friend bool operator==(const TLocalPopupState &, const TLocalPopupState &) = default;
};

// Paste needs local files on the clipboard, Properties a selection.
TLocalPopupState LocalPopupFor(int selected, bool clipboardHoldsFiles);

enum class TBusyChange { None, Set, Clear };

// What the main window does for one status report.
struct TStatusReaction
{
    TBusyChange Busy = TBusyChange::None;
    int ConnectedDelta = 0;       // +1 logged in, -1 disconnected
    bool ShowDisconnected = false; // tab caption (and, when active, window caption)
    std::optional<TOptionId> Sound; // the "Sounds" option naming the file to play
    bool CloseWindow = false;

    friend bool operator==(const TStatusReaction &, const TStatusReaction &) = default;
};

// `state` is a TViewState code of views/ViewState.h.
TStatusReaction ReactToStatus(int state, bool exitWhenDone);

// The count of logged-in remote views that enables the shared tree combo.
class TConnectedViews
{
public:
    void Increase(int remoteTabs);
    void Decrease();
    int Count() const { return FCount; }
    bool ComboEnabled() const { return FCount > 0; }

private:
    int FCount = 0;
};

QString MainCaption(const QString &tabCaption);
QString DisconnectedCaption();
// The caption of Last Connections entry `slot` (0-based).
QString LastConnectionCaption(int slot, const QString &siteName);

// The tab to show after closing tab `closed`, as an index among the remaining tabs.
int RemoteTabAfterClose(int closed);
int LocalTabAfterClose(int closed, int tabsBefore);

// Heights of the top panel (toolbar, its 3-pixel bar, the message window).
constexpr int kToolbarSmall = 34;
constexpr int kToolbarLarge = 62;
constexpr int kToolbarBar = 3;
constexpr int kSplitterSize = 4;

// The message window's height to remember when the log is hidden.
int RememberedLogHeight(int messageWindowHeight);

struct TTopPanelDrag
{
    int Height = 0;
    bool LogShown = true;
};

// Dragging the bar under the top panel by `delta`; `limit` is the height above the
// status bar less the local side's top bar.
TTopPanelDrag TopPanelAfterDrag(int height, int delta, int toolbarHeight, int limit);

// Dragging the centre column: the local side's new width.
int LocalWidthAfterDrag(int width, int delta, int localToolColumn, int panelWidth,
                        int centreWidth, int remoteToolColumn);

// The views panel changed width: the local side keeps its share of the width both sides
// have, within the limits of a drag.
int LocalWidthAfterResize(int width, int oldPanelWidth, int newPanelWidth, int localToolColumn,
                          int centreWidth, int remoteToolColumn);

// The Tab key's next stop after `current` (before it when not `forward`), going round,
// among the stops that can take the focus; -1 when none can.
int NextTabStop(const std::vector<bool> &open, int current, bool forward);

// Dragging the toolbar's bar: the toolbar's height after a drag to `newHeight`.
int ToolbarHeightAfterDrag(int current, int newHeight);

// What decides whether a command is enabled.
enum class TEnableRule {
    Always,
    // The window sets it: tab counts, the transfer connection, the local folder's top.
    Manual,
    RemoteUpOneLevel,
    RemoteStop,
    RemoteDisconnect,
    RemoteDownload,
    RemoteDelete,
    RemoteRename,
    RemoteFolderCommands,
    RemoteProperties,
    LocalDelete,
    LocalRename,
    LocalUpload,
    LocalProperties,
};

// Whether `rule` allows its command under the active views' enabling. Manual commands
// are not the rules' business: false.
bool RuleAllows(TEnableRule rule, const TRemoteCommands &remote, const TLocalCommands &local);

// The About window's text: the program's name, version and licence (rich text).
QString AboutText();
