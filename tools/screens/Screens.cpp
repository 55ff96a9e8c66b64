#include "tools/screens/Screens.h"

#include "app/Main.h"
#include "app/ProgramIcon.h"
#include "platform/ProgramFolder.h"
#include "transfers/Transfer.h"
#include "views/HostView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

std::vector<const TScreenScene *> &Scenes()
{
    static std::vector<const TScreenScene *> scenes;
    return scenes;
}

// A local folder like a user's, so that the pictures show no build tree.
QString MakeLocalSamples(const QString &folder)
{
    const QDir root(folder);
    root.mkpath(QStringLiteral("Photos"));
    root.mkpath(QStringLiteral("Reports"));
    root.mkpath(QStringLiteral("Website"));
    const std::pair<const char *, qsizetype> files[] = {
        {"notes.txt", 1200}, {"budget 2026.csv", 48000}, {"index.html", 5300}, {"logo.png", 23000},
        {"holiday.jpg", 1800000}};
    for (const auto &[name, size] : files) {
        QFile file(root.filePath(QString::fromUtf8(name)));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(size, 'x'));
    }
    return folder;
}

} // namespace

TScreenScene::TScreenScene(const char *name, TShoot shoot)
    : FName(name)
    , FShoot(std::move(shoot))
{
    Scenes().push_back(this);
}

struct TScreenContext::TPrivate
{
    QTemporaryDir ProgramFolder;
    std::unique_ptr<TGlobalTransferItems> Transfers;
    std::unique_ptr<TfrmMain> Window;
};

TScreenContext::TScreenContext(QString host, quint16 port, QString user, QString password, QDir outFolder)
    : FHost(std::move(host))
    , FPort(port)
    , FUser(std::move(user))
    , FPassword(std::move(password))
    , FOutFolder(std::move(outFolder))
    , d(std::make_unique<TPrivate>())
{
    // Nothing a scene does may touch the user's own options, sites or window state.
    SetProgramFolderOverride(d->ProgramFolder.path());
}

TScreenContext::~TScreenContext()
{
    d->Window.reset();
    d->Transfers.reset();
    SetProgramFolderOverride(QString());
}

QString TScreenContext::Url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(FHost);
    url.setPort(FPort);
    url.setUserName(FUser);
    url.setPassword(FPassword);
    url.setPath(QStringLiteral("/"));
    return url.toString();
}

QString TScreenContext::ProgramFolder() const
{
    return d->ProgramFolder.path();
}

TTransferItems &TScreenContext::Queue()
{
    if (!d->Transfers)
        d->Transfers = std::make_unique<TGlobalTransferItems>();
    return d->Transfers->Queue();
}

TfrmMain &TScreenContext::MainWindow()
{
    if (d->Window)
        return *d->Window;
    const QStringList arguments{QStringLiteral("-c"), QStringLiteral("%1:%2").arg(FHost).arg(FPort),
                                QStringLiteral("-u"), FUser, QStringLiteral("-p"), FPassword,
                                QStringLiteral("-l"), MakeLocalSamples(d->ProgramFolder.filePath(QStringLiteral("My files")))};
    d->Window = std::make_unique<TfrmMain>(arguments, Queue());
    d->Window->resize(1100, 720);
    d->Window->show();
    TfrmMain &window = *d->Window;
    const bool listed = WaitUntil([&window] {
        const THostView *view = window.ActiveHostView();
        return view && view->Connected() && !view->Animating() && view->ItemCount() > 0;
    });
    if (!listed)
        Fail(QStringLiteral("the main window did not show the demo server's listing"));
    Settle();
    return window;
}

bool TScreenContext::Save(QWidget &window, const QString &name)
{
    if (!window.isVisible())
        window.show();
    window.raise();
    Settle();
    const QString path = FOutFolder.filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path, "PNG")) {
        Fail(QStringLiteral("cannot save %1").arg(path));
        return false;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(path), window.width(), window.height());
    return true;
}

bool TScreenContext::SavePopup(QWidget &window, QMenu &popup, QPoint at, const QString &name)
{
    if (!window.isVisible())
        window.show();
    // The grab is of the screen, so the whole window must be on it.
    window.move(0, 0);
    window.raise();
    Settle();
    popup.popup(window.mapToGlobal(at));
    Settle();
    const QRect area = window.frameGeometry().united(popup.geometry());
    const QPixmap picture = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    popup.hide();
    const QString path = FOutFolder.filePath(name + QStringLiteral(".png"));
    if (!picture.save(path, "PNG")) {
        Fail(QStringLiteral("cannot save %1").arg(path));
        return false;
    }
    std::printf("saved %s (%dx%d)\n", qPrintable(path), area.width(), area.height());
    return true;
}

bool TScreenContext::WaitUntil(const std::function<bool()> &ready, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

void TScreenContext::Settle(std::chrono::milliseconds duration)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

void TScreenContext::Fail(const QString &message)
{
    ++FFailures;
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(message));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velunor Media"));
    QApplication::setApplicationName(QStringLiteral("Ferrow"));
    QApplication::setWindowIcon(ProgramIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Saves a picture of every window of Ferrow."));
    parser.addHelpOption();
    const QCommandLineOption hostOption(QStringLiteral("host"), QStringLiteral("Demo server host."),
                                        QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Demo server port."),
                                        QStringLiteral("port"), QStringLiteral("2121"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder for the pictures."),
                                       QStringLiteral("folder"), QStringLiteral("docs/screens"));
    const QCommandLineOption onlyOption(QStringLiteral("only"),
                                        QStringLiteral("Only the scenes whose names contain this text."),
                                        QStringLiteral("text"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("Lists the scenes."));
    parser.addOptions({hostOption, portOption, outOption, onlyOption, listOption});
    parser.process(app);

    auto scenes = Scenes();
    std::sort(scenes.begin(), scenes.end(),
              [](const TScreenScene *a, const TScreenScene *b) { return qstrcmp(a->Name(), b->Name()) < 0; });
    if (parser.isSet(listOption)) {
        for (const TScreenScene *scene : scenes)
            std::printf("%s\n", scene->Name());
        return 0;
    }

    bool portValid = false;
    const uint port = parser.value(portOption).toUInt(&portValid);
    if (!portValid || port == 0 || port > 65535) {
        std::fprintf(stderr, "screenshots: not a port: %s\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    QDir out(parser.value(outOption));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "screenshots: cannot create %s\n", qPrintable(out.path()));
        return 2;
    }

    const QString only = parser.value(onlyOption);
    TScreenContext context(parser.value(hostOption), static_cast<quint16>(port), QStringLiteral("demo"),
                           QStringLiteral("demo"), out);
    for (const TScreenScene *scene : scenes) {
        if (!only.isEmpty() && !QString::fromLatin1(scene->Name()).contains(only))
            continue;
        std::printf("scene %s\n", scene->Name());
        std::fflush(stdout);
        scene->Shoot(context);
    }
    return context.Failures() == 0 ? 0 : 1;
}
