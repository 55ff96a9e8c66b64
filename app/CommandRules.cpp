#include "app/CommandRules.h"

#include "platform/Version.h"
#include "views/ViewState.h"

#include <algorithm>
#include <cmath>

TRemoteCommands RemoteCommandsFor(const TRemoteViewState &state)
{
    const bool ready = state.Connected && !state.Busy;
    TRemoteCommands commands;
    commands.UpOneLevel = !state.AtTopFolder;
    // A busy view has queued work its engine may not have taken up yet: a login to a
    // silent server would otherwise leave Stop disabled for as long as it hangs.
    commands.Stop = state.Connected || state.EngineWorking || state.Busy;
    commands.Disconnect = state.Connected;
    commands.Download = ready && state.Selected >= 1;
    commands.Delete = commands.Download;
    commands.Rename = ready && state.Selected == 1;
    commands.FolderCommands = ready;
    commands.Properties = state.Selected >= 1 && !state.Busy;
    return commands;
}

TLocalCommands LocalCommandsFor(int selected, bool remoteConnected)
{
    TLocalCommands commands;
    commands.Delete = selected >= 1;
    commands.Rename = selected == 1;
    commands.Upload = selected >= 1 && remoteConnected;
    commands.Properties = selected >= 1;
    return commands;
}

TRemotePopupState RemotePopupFor(const TRemoteCommands &commands, bool hasFocusedEntry,
                                 bool focusedIsFolder, int hostDblClk)
{
    TRemotePopupState popup;
    popup.DefaultEntry = std::clamp(hostDblClk, 0, 3);
    const bool focusedFile = hasFocusedEntry && !focusedIsFolder;
    popup.Open = commands.Delete && focusedFile;
    popup.View = popup.Open;
    popup.Download = commands.Download;
    popup.DownloadNow = commands.Download && focusedFile;
    popup.Delete = commands.Delete;
    popup.Rename = commands.Rename;
    popup.New = commands.FolderCommands;
    return popup;
}

TLocalPopupState LocalPopupFor(int selected, bool clipboardHoldsFiles)
{
    return {clipboardHoldsFiles, selected >= 1};
}

TStatusReaction ReactToStatus(int state, bool exitWhenDone)
{
    TStatusReaction reaction;
    switch (state) {
    case vsError:
    case vsAborted:
        reaction.Sound = oiErrorSound;
        break;
    case vsBusy:
        reaction.Busy = TBusyChange::Set;
        break;
    case vsIdle:
        reaction.Busy = TBusyChange::Clear;
        break;
    case vsLoggedIn:
        reaction.ConnectedDelta = 1;
        reaction.Sound = oiConnectSuccessSound;
        break;
    case vsDisconnected:
        reaction.Busy = TBusyChange::Clear;
        reaction.ConnectedDelta = -1;
        reaction.ShowDisconnected = true;
        reaction.Sound = oiDisconnectSound;
        break;
    case vsLoginFailed:
        reaction.Sound = oiConnectFailureSound;
        break;
    case vsFileArrived:
        reaction.Sound = oiEndOfFileSound;
        break;
    case vsAllTransferred:
        reaction.Sound = oiEndOfTotalSound;
        reaction.CloseWindow = exitWhenDone;
        break;
    default:
        break;
    }
    return reaction;
}

void TConnectedViews::Increase(int remoteTabs)
{
    FCount = std::min(FCount + 1, std::max(remoteTabs, 0));
}

void TConnectedViews::Decrease()
{
    FCount = std::max(FCount - 1, 0);
}

QString MainCaption(const QString &tabCaption)
{
    return QStringLiteral("%1 - Ferrow").arg(tabCaption);
}

QString DisconnectedCaption()
{
    return QStringLiteral("Disconnected");
}

QString LastConnectionCaption(int slot, const QString &siteName)
{
    return QStringLiteral("&%1 %2").arg(slot + 1).arg(siteName);
}

int RemoteTabAfterClose(int closed)
{
    return std::max(closed - 1, 0);
}

int LocalTabAfterClose(int closed, int tabsBefore)
{
    return closed > 0 ? closed - 1 : std::max(tabsBefore - 2, 0);
}

int RememberedLogHeight(int messageWindowHeight)
{
    return std::max(messageWindowHeight, 12);
}

TTopPanelDrag TopPanelAfterDrag(int height, int delta, int toolbarHeight, int limit)
{
    const int collapsed = toolbarHeight + kToolbarBar;
    const int wanted = std::min(height + delta, limit);
    if (wanted - collapsed < 4)
        return {collapsed, false};
    return {wanted, true};
}

int LocalWidthAfterDrag(int width, int delta, int localToolColumn, int panelWidth,
                        int centreWidth, int remoteToolColumn)
{
    const int low = 2 * localToolColumn;
    const int high = std::max(low, panelWidth - centreWidth - 2 * remoteToolColumn);
    return std::clamp(width + delta, low, high);
}

int LocalWidthAfterResize(int width, int oldPanelWidth, int newPanelWidth, int localToolColumn,
                          int centreWidth, int remoteToolColumn)
{
    const int oldSides = oldPanelWidth - centreWidth;
    const int newSides = newPanelWidth - centreWidth;
    const int shared = oldSides > 0 ? int(std::lround(double(width) * newSides / oldSides)) : newSides / 2;
    return LocalWidthAfterDrag(shared, 0, localToolColumn, newPanelWidth, centreWidth, remoteToolColumn);
}

int ToolbarHeightAfterDrag(int current, int newHeight)
{
    if (current == kToolbarLarge && newHeight < kToolbarSmall)
        return kToolbarSmall;
    if (current == kToolbarSmall && newHeight >= kToolbarLarge + 1)
        return kToolbarLarge;
    return current;
}

int NextTabStop(const std::vector<bool> &open, int current, bool forward)
{
    const int count = int(open.size());
    for (int step = 1; step <= count; ++step) {
        const int stop = ((current + (forward ? step : -step)) % count + count) % count;
        if (open[std::size_t(stop)])
            return stop;
    }
    return -1;
}

bool RuleAllows(TEnableRule rule, const TRemoteCommands &remote, const TLocalCommands &local)
{
    switch (rule) {
    case TEnableRule::Always:
        return true;
    case TEnableRule::Manual:
        return false;
    case TEnableRule::RemoteUpOneLevel:
        return remote.UpOneLevel;
    case TEnableRule::RemoteStop:
        return remote.Stop;
    case TEnableRule::RemoteDisconnect:
        return remote.Disconnect;
    case TEnableRule::RemoteDownload:
        return remote.Download;
    case TEnableRule::RemoteDelete:
        return remote.Delete;
    case TEnableRule::RemoteRename:
        return remote.Rename;
    case TEnableRule::RemoteFolderCommands:
        return remote.FolderCommands;
    case TEnableRule::RemoteProperties:
        return remote.Properties;
    case TEnableRule::LocalDelete:
        return local.Delete;
    case TEnableRule::LocalRename:
        return local.Rename;
    case TEnableRule::LocalUpload:
        return local.Upload;
    case TEnableRule::LocalProperties:
        return local.Properties;
    }
    return false;
}

QString AboutText()
{
    return QStringLiteral("<h3>Ferrow %1</h3><p>A desktop FTP client.</p>"
                          "<p>Copyright &copy; Velunor Media.<br>Proprietary software: all rights reserved. "
                          "Licensed to its user for use, not for redistribution.</p>"
                          "<p>Built with Qt %2.</p>")
        .arg(QLatin1String(FerrowVersion), QLatin1String(QT_VERSION_STR));
}
