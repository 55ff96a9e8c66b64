#include "app/CommandRules.h"
#include "views/ViewState.h"

#include <gtest/gtest.h>

TEST(RemoteCommands, FollowConnectionBusyAndSelection)
{
    TRemoteViewState state;
    EXPECT_EQ(RemoteCommandsFor(state), TRemoteCommands{});

    // Logging in: the engine works, nothing is connected yet; only Stop helps.
    state.EngineWorking = true;
    TRemoteCommands expected;
    expected.Stop = true;
    EXPECT_EQ(RemoteCommandsFor(state), expected);

    state = {.Connected = true, .Busy = false, .EngineWorking = false, .Selected = 2, .AtTopFolder = false};
    const TRemoteCommands ready = RemoteCommandsFor(state);
    EXPECT_TRUE(ready.UpOneLevel && ready.Stop && ready.Disconnect && ready.Download && ready.Delete
                && ready.FolderCommands && ready.Properties);
    EXPECT_FALSE(ready.Rename) << "two entries selected";

    state.Selected = 1;
    EXPECT_TRUE(RemoteCommandsFor(state).Rename);

    state.Busy = true;
    const TRemoteCommands busy = RemoteCommandsFor(state);
    EXPECT_FALSE(busy.Download || busy.Delete || busy.Rename || busy.FolderCommands || busy.Properties);
    EXPECT_TRUE(busy.Stop && busy.Disconnect);

    state = {.Connected = true, .Busy = false, .EngineWorking = false, .Selected = 0, .AtTopFolder = true};
    const TRemoteCommands none = RemoteCommandsFor(state);
    EXPECT_FALSE(none.Download || none.Delete || none.Rename || none.UpOneLevel || none.Properties);
    EXPECT_TRUE(none.FolderCommands);
}

TEST(LocalCommands, FollowSelectionAndRemoteConnection)
{
    EXPECT_EQ(LocalCommandsFor(0, true), TLocalCommands{});
    EXPECT_EQ(LocalCommandsFor(1, false), (TLocalCommands{true, true, false, true}));
    EXPECT_EQ(LocalCommandsFor(3, true), (TLocalCommands{true, false, true, true}));
}

TEST(RemotePopup, DefaultEntryAndFocusedFolder)
{
    TRemoteCommands commands = RemoteCommandsFor({true, false, false, 1, false});
    TRemotePopupState popup = RemotePopupFor(commands, true, false, 2);
    EXPECT_EQ(popup.DefaultEntry, 2);
    EXPECT_TRUE(popup.Open && popup.View && popup.Download && popup.DownloadNow && popup.Rename && popup.New);

    popup = RemotePopupFor(commands, true, true, 0);
    EXPECT_EQ(popup.DefaultEntry, 0);
    EXPECT_FALSE(popup.Open || popup.View || popup.DownloadNow) << "a folder cannot be opened or fetched";
    EXPECT_TRUE(popup.Download && popup.Delete);

    EXPECT_EQ(RemotePopupFor(commands, true, false, 9).DefaultEntry, 3) << "out-of-range option";
}

TEST(StatusReaction, EveryCode)
{
    EXPECT_EQ(ReactToStatus(vsStatus, false), TStatusReaction{});
    EXPECT_EQ(ReactToStatus(vsConnected, false), TStatusReaction{});
    EXPECT_EQ(ReactToStatus(vsError, false).Sound, oiErrorSound);
    EXPECT_EQ(ReactToStatus(vsAborted, false).Sound, oiErrorSound);
    EXPECT_EQ(ReactToStatus(vsBusy, false).Busy, TBusyChange::Set);
    EXPECT_EQ(ReactToStatus(vsIdle, false).Busy, TBusyChange::Clear);

    const TStatusReaction loggedIn = ReactToStatus(vsLoggedIn, false);
    EXPECT_EQ(loggedIn.ConnectedDelta, 1);
    EXPECT_EQ(loggedIn.Sound, oiConnectSuccessSound);

    const TStatusReaction disconnected = ReactToStatus(vsDisconnected, false);
    EXPECT_EQ(disconnected.Busy, TBusyChange::Clear);
    EXPECT_EQ(disconnected.ConnectedDelta, -1);
    EXPECT_TRUE(disconnected.ShowDisconnected);
    EXPECT_EQ(disconnected.Sound, oiDisconnectSound);

    EXPECT_EQ(ReactToStatus(vsLoginFailed, false).Sound, oiConnectFailureSound);
    EXPECT_EQ(ReactToStatus(vsFileArrived, true).Sound, oiEndOfFileSound);
    EXPECT_FALSE(ReactToStatus(vsFileArrived, true).CloseWindow) << "only the end of all closes";

    EXPECT_EQ(ReactToStatus(vsAllTransferred, false).Sound, oiEndOfTotalSound);
    EXPECT_FALSE(ReactToStatus(vsAllTransferred, false).CloseWindow);
    EXPECT_TRUE(ReactToStatus(vsAllTransferred, true).CloseWindow);
}

TEST(ConnectedViews, BoundedByTabsAndZero)
{
    TConnectedViews views;
    views.Decrease();
    EXPECT_EQ(views.Count(), 0);
    EXPECT_FALSE(views.ComboEnabled());
    views.Increase(2);
    views.Increase(2);
    views.Increase(2);
    EXPECT_EQ(views.Count(), 2) << "never more than the remote tabs";
    EXPECT_TRUE(views.ComboEnabled());
    views.Decrease();
    views.Decrease();
    EXPECT_FALSE(views.ComboEnabled());
}

TEST(Captions, Formats)
{
    EXPECT_EQ(MainCaption("Demo site"), "Demo site - Ferrow");
    EXPECT_EQ(MainCaption(DisconnectedCaption()), "Disconnected - Ferrow");
    EXPECT_EQ(LastConnectionCaption(0, "Home"), "&1 Home");
    EXPECT_EQ(LastConnectionCaption(7, "x"), "&8 x");
}

TEST(TabsAfterClose, RemoteGoesBackLocalWrapsToLast)
{
    EXPECT_EQ(RemoteTabAfterClose(0), 0);
    EXPECT_EQ(RemoteTabAfterClose(2), 1);
    // Closing the first of three local tabs shows the last of the two left.
    EXPECT_EQ(LocalTabAfterClose(0, 3), 1);
    EXPECT_EQ(LocalTabAfterClose(2, 3), 1);
    EXPECT_EQ(LocalTabAfterClose(1, 2), 0);
}

TEST(Layout, TopPanelDragCollapsesAndClamps)
{
    // Toolbar 34 + bar 3 = 37: fewer than 4 pixels of log collapse it.
    EXPECT_EQ(TopPanelAfterDrag(125, -84, kToolbarSmall, 400).Height, 41);
    EXPECT_TRUE(TopPanelAfterDrag(125, -84, kToolbarSmall, 400).LogShown);
    const TTopPanelDrag collapsed = TopPanelAfterDrag(125, -85, kToolbarSmall, 400);
    EXPECT_EQ(collapsed.Height, 37);
    EXPECT_FALSE(collapsed.LogShown);
    EXPECT_EQ(TopPanelAfterDrag(125, 1000, kToolbarSmall, 400).Height, 400);

    EXPECT_EQ(RememberedLogHeight(3), 12);
    EXPECT_EQ(RememberedLogHeight(80), 80);
}

TEST(Layout, CentreColumnAndToolbarDrags)
{
    // Tool columns 30 and 30, centre 40, panel 600: width within 60..500.
    EXPECT_EQ(LocalWidthAfterDrag(300, -1000, 30, 600, 40, 30), 60);
    EXPECT_EQ(LocalWidthAfterDrag(300, 1000, 30, 600, 40, 30), 500);
    EXPECT_EQ(LocalWidthAfterDrag(300, 25, 30, 600, 40, 30), 325);

    EXPECT_EQ(ToolbarHeightAfterDrag(kToolbarLarge, 34), kToolbarLarge);
    EXPECT_EQ(ToolbarHeightAfterDrag(kToolbarLarge, 33), kToolbarSmall);
    EXPECT_EQ(ToolbarHeightAfterDrag(kToolbarSmall, 62), kToolbarSmall);
    EXPECT_EQ(ToolbarHeightAfterDrag(kToolbarSmall, 63), kToolbarLarge);
}
