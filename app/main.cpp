#include "app/Main.h"
#include "app/BatchRun.h"
#include "app/CommandLineOptions.h"
#include "app/ProgramIcon.h"
#include "app/SingleInstance.h"
#include "app/SoundPlayer.h"
#include "engine/FTPUtils.h"
#include "platform/Version.h"
#include "transfers/Transfer.h"
#include "views/TreeCombo.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>
#include <cstring>

namespace {

// The usage window: shown instead of the program; closing it in any way ends the run.
int ShowUsage(QApplication &app)
{
    QDialog usage;
    usage.setWindowTitle(CommandLineUsageCaption());
    auto *layout = new QVBoxLayout(&usage);
    // The text separates lines with LF CR; a label shows the CR as a second break.
    QString text = CommandLineUsageText();
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    auto *label = new QLabel(text, &usage);
    label->setWordWrap(true);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(label);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &usage);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &usage, &QDialog::accept);
    layout->addWidget(buttons);
    usage.show();
    QObject::connect(&usage, &QDialog::finished, &app, &QApplication::quit);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before the window system starts, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ferrow %s\n", FerrowVersion);
            return 0;
        }
    }
    // Without TZ the C library reads /etc/localtime's status at every local-time
    // conversion, and every listed or downloaded file's date takes a few.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velunor Media"));
    QApplication::setApplicationName(QStringLiteral("Ferrow"));
    QApplication::setDesktopFileName(QStringLiteral("ferrow"));
    QApplication::setWindowIcon(ProgramIcon());

    TSingleInstance instance;
    if (instance.Claim(TSingleInstance::DefaultServerName()) == TSingleInstance::TResult::AnotherRunning) {
        // A script must learn that this command line was not run.
        WriteToStandardError(QStringLiteral("another copy is running: it was asked to come forward, and this "
                                            "command line was not run"));
        return bxHandedOver;
    }

    InstallSoundPlayer(&app);
    int result = 0;
    {
        // The queue exists before the first window and outlives the last.
        TGlobalTransferItems transfers;
        TfrmMain window(QApplication::arguments().mid(1), transfers.Queue());
        if (window.UsageRequested()) {
            result = ShowUsage(app);
        } else {
            QObject::connect(&instance, &TSingleInstance::RaiseRequested, &window, &TfrmMain::BringToFront);
            window.ShowInStoredState();
            result = app.exec();
            if (result == 0)
                result = window.ExitCode();
        }
    }
    DeleteTempFiles();
    return result;
}
