#pragma once

#include "app/Main.h"
#include "app/Options.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FtpServers.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/WidgetTests.h"
#include "transfers/Transfer.h"
#include "views/HostView.h"

#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// Main windows of a test's own: options, sites and window state in a private folder, so
// that nothing touches the real user's files, and no site manager waiting at start.
class TMainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WidgetTestApp();
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FFolder.isValid());
        TOptions options;
        options.SetBool(oiShowManager, false);
        ASSERT_TRUE(options.Save());
    }

    QString Path(const QString &relative) const { return FFolder.filePath(relative); }
    QString RegistryFile() const { return Path(QStringLiteral("ScrivelFerrow.ini")); }

    std::unique_ptr<TfrmMain> MakeWindow(const QStringList &arguments = {})
    {
        return std::make_unique<TfrmMain>(arguments, FTransfers.Queue(),
                                          std::make_unique<TWindowStateStore>(RegistryFile()));
    }

    // The command line that connects a window to `server`.
    static QStringList ConnectArguments(const TTestFtpServer &server, const QString &password = QString())
    {
        return {QStringLiteral("-c"), QString::fromStdString(server.Host()) + ':' + QString::number(server.Port()),
                QStringLiteral("-u"), QString::fromStdString(server.User()),
                QStringLiteral("-p"), password.isEmpty() ? QString::fromStdString(server.Password()) : password};
    }

    static bool WaitForListing(const THostView *view)
    {
        return WaitUntil([view] { return view->Connected() && !view->Animating() && view->ItemCount() > 0; },
                         std::chrono::seconds(30));
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
    TGlobalTransferItems FTransfers;
};
