#pragma once

// Codes a view reports through StateReported; the main window enables its commands,
// counts connected views and plays sounds from them.
enum TViewState : int {
    vsStatus = 0,           // status texts recomputed; count = selected items
    vsConnected = 36,       // the engine opened its control connection (before login)
    vsError = 66,
    vsBusy = 128,           // connecting, or waiting for a folder listing
    vsIdle = 129,
    vsLoggedIn = 130,
    vsDisconnected = 131,
    vsLoginFailed = 132,
    vsFileArrived = 133,    // a fetched file has arrived; count = selected items
    vsAllTransferred = 134, // raised by the transfer progress window, not by views
    vsAborted = 136,
};
