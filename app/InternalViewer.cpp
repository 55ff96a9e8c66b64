#include "app/InternalViewer.h"

#include "engine/FTPCommands.h"
#include "engine/FTPComp.h"
#include "engine/FTPUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTextDocument>

#include <utility>

namespace {

// Bigger pages are not read into the viewer.
constexpr qint64 MaxPageSize = 32 * 1024 * 1024;

bool IsPicture(const QString &path)
{
    return QImageReader::supportedImageFormats().contains(QFileInfo(path).suffix().toLower().toLatin1());
}

QString DecodePage(const QByteArray &bytes)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

// A name the server gave, made safe to be a file of ours.
QString LocalCopyName(const QString &remoteName)
{
    QString name = remoteName;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.remove(QChar(0));
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        name = QStringLiteral("page");
    return name;
}

} // namespace

TInternalViewer::TInternalViewer(QWidget *parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl &link) { Navigate(FBase.resolved(link)); });
}

TInternalViewer::~TInternalViewer()
{
    // The owner may be half destroyed already (the viewer goes with its window's children):
    // stopping here must not report to it.
    const QSignalBlocker quiet(this);
    Stop();
}

void TInternalViewer::Navigate(const QUrl &url)
{
    Stop();
    FLocation = url;
    const QString scheme = url.scheme().toLower();
    if (scheme == QStringLiteral("file") || scheme.isEmpty())
        ShowLocalFile(url.toLocalFile().isEmpty() ? url.path() : url.toLocalFile(), url);
    else if (scheme == QStringLiteral("http"))
        StartHttp(url);
    else if (scheme == QStringLiteral("ftp"))
        StartFtp(url);
    else
        ShowFailure(url, tr("The viewer shows file:, ftp: and http: pages only."));
}

void TInternalViewer::Stop()
{
    if (FPageReply) {
        FPageReply->disconnect(this);
        FPageReply->abort();
        FPageReply->deleteLater();
        FPageReply = nullptr;
    }
    for (QNetworkReply *reply : std::as_const(FPictureReplies)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    FPictureReplies.clear();
    if (FFtpStep != TFtpStep::None) {
        // Its late notifications must not reach the next fetch: the engine goes with it.
        FFtpStep = TFtpStep::None;
        FFtpConnections = {};
        FFTP.reset();
    }
    UpdateBusy();
}

// ---- Showing ----

void TInternalViewer::ShowLocalFile(const QString &path, const QUrl &base)
{
    if (IsPicture(path)) {
        ShowPicture(QUrl::fromLocalFile(path));
        FBase = base;
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowFailure(base, file.errorString());
        return;
    }
    if (file.size() > MaxPageSize) {
        ShowFailure(base, tr("The file is too big to be shown."));
        return;
    }
    // A fetched copy keeps its server's address, so that its links lead back there.
    ShowPage(DecodePage(file.readAll()),
             base.isLocalFile() ? QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()) : base);
}

void TInternalViewer::ShowPage(const QString &html, const QUrl &base)
{
    FBase = base;
    FHtml = html;
    document()->clear();
    if (Qt::mightBeRichText(html)
        || QFileInfo(base.path()).suffix().toLower().startsWith(QStringLiteral("htm")))
        setHtml(html);
    else
        setPlainText(html);
}

void TInternalViewer::ShowPicture(const QUrl &picture)
{
    ShowPage(QStringLiteral("<p align=\"center\"><img src=\"%1\"></p>")
                 .arg(picture.toString(QUrl::FullyEncoded).toHtmlEscaped()),
             picture);
}

void TInternalViewer::ShowFailure(const QUrl &url, const QString &reason)
{
    ShowPage(QStringLiteral("<h3>%1</h3><p>%2</p><p>%3</p>")
                 .arg(tr("The page cannot be shown").toHtmlEscaped(),
                      url.toDisplayString(QUrl::RemovePassword).toHtmlEscaped(), reason.toHtmlEscaped()),
             QUrl());
}

QVariant TInternalViewer::loadResource(int type, const QUrl &name)
{
    const QUrl url = FBase.resolved(name);
    const QString scheme = url.scheme().toLower();
    QByteArray bytes;
    if (scheme == QStringLiteral("file")) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPageSize)
            return {};
        bytes = file.readAll();
    } else if (scheme == QStringLiteral("http")) {
        const auto cached = FHttpCache.constFind(url);
        if (cached == FHttpCache.cend()) {
            if (type == QTextDocument::ImageResource)
                FetchPicture(url);
            return {};
        }
        bytes = *cached;
    } else {
        return {};
    }
    if (type == QTextDocument::ImageResource) {
        QImage image;
        image.loadFromData(bytes);
        return image;
    }
    return DecodePage(bytes);
}

// ---- http: ----

QNetworkAccessManager *TInternalViewer::Network()
{
    if (!FNetwork)
        FNetwork = new QNetworkAccessManager(this);
    return FNetwork;
}

void TInternalViewer::StartHttp(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    FPageReply = Network()->get(request);
    connect(FPageReply, &QNetworkReply::finished, this,
            [this, reply = FPageReply] { HttpFinished(reply, true); });
    UpdateBusy();
}

void TInternalViewer::FetchPicture(const QUrl &url)
{
    for (const QNetworkReply *reply : std::as_const(FPictureReplies)) {
        if (reply->request().url() == url)
            return;
    }
    QNetworkReply *reply = Network()->get(QNetworkRequest(url));
    FPictureReplies.insert(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { HttpFinished(reply, false); });
    UpdateBusy();
}

void TInternalViewer::HttpFinished(QNetworkReply *reply, bool page)
{
    reply->deleteLater();
    const QUrl url = reply->request().url();
    const bool failed = reply->error() != QNetworkReply::NoError;
    const QByteArray bytes = failed ? QByteArray() : reply->read(MaxPageSize);
    if (page) {
        FPageReply = nullptr;
        if (failed) {
            ShowFailure(url, reply->errorString());
        } else if (reply->header(QNetworkRequest::ContentTypeHeader)
                       .toString()
                       .startsWith(QStringLiteral("image/"))) {
            FHttpCache.insert(url, bytes);
            ShowPicture(url);
        } else {
            ShowPage(DecodePage(bytes), reply->url());
        }
    } else {
        FPictureReplies.remove(reply);
        // A picture that failed is shown as missing, and not asked for again.
        FHttpCache.insert(url, bytes);
        const int position = verticalScrollBar()->value();
        ShowPage(FHtml, FBase);
        verticalScrollBar()->setValue(position);
    }
    UpdateBusy();
}

// ---- ftp: ----

void TInternalViewer::StartFtp(const QUrl &url)
{
    const std::string host = url.host().toStdString();
    const int port = url.port(21);
    const std::string user =
        url.userName().isEmpty() ? std::string("anonymous") : url.userName().toStdString();
    const std::string password =
        url.userName().isEmpty() ? FAnonymousPassword.toStdString() : url.password().toStdString();
    const bool reuse = FFTP && FFTP->Connected() && FFTP->Host() == host && FFTP->Port() == port
                       && FFTP->UserName() == user && FFTP->Password() == password;
    QString error;
    const QString folder = TempFolder(&error);
    if (folder.isEmpty()) {
        ShowFailure(url, error);
        return;
    }
    static int copies = 0;
    FRemotePath = url.path(QUrl::FullyDecoded).toStdString();
    const QString remoteName = QString::fromStdString(FRemotePath.substr(FRemotePath.rfind('/') + 1));
    FPendingCopy = QStringLiteral("%1/view-%2-%3").arg(folder).arg(++copies).arg(LocalCopyName(remoteName));
    // Registered before the first byte arrives: a copy cut short is deleted at exit too.
    RegisterTempFile(FPendingCopy);
    FFtpArrived = false;
    FFtpError.clear();

    if (reuse) {
        QueueFtpDownload();
        return;
    }
    FFtpConnections = {};
    FFTP = std::make_unique<TFTPComponent>();
    FFTP->SetHost(host);
    FFTP->SetPort(port);
    FFTP->SetUserName(user);
    FFTP->SetPassword(password);
    FFTP->SetPassive(TFTPComponent::DefaultPassive);
    FFtpConnections +=
        FFTP->OnProgress.Connect([this](TFTPComponent *, int phase, bool isFile, std::int64_t) {
            FFtpArrived = FFtpArrived || (phase == ppEnd && isFile);
        });
    // One command is queued at a time, so that Idle is that command's last word.
    FFtpConnections += FFTP->OnIdle.Connect([this](TFTPComponent *) { FtpStepDone(); });
    FFtpConnections += FFTP->OnError.Connect(
        [this](TFTPComponent *, int, const std::string &text) { FFtpError = QString::fromStdString(text); });
    FFtpConnections += FFTP->OnLog.Connect([this](TFTPComponent *, const std::string &text, TColor color) {
        if (color == clLogError)
            FFtpError = QString::fromStdString(text);
    });
    FFtpStep = TFtpStep::LoggingIn;
    QueueLogon(*FFTP, FSettings);
    UpdateBusy();
}

void TInternalViewer::QueueFtpDownload()
{
    // The login left the connection in binary mode, and the viewer asks for nothing else.
    FFtpStep = TFtpStep::Downloading;
    FFTP->AddCommand(TDownloadCommand{QFile::encodeName(FPendingCopy).toStdString(), FRemotePath});
    UpdateBusy();
}

void TInternalViewer::FtpStepDone()
{
    const TFtpStep step = std::exchange(FFtpStep, TFtpStep::None);
    if (step == TFtpStep::LoggingIn && FFTP->Connected()) {
        QueueFtpDownload();
        return;
    }
    if (step == TFtpStep::None)
        return;
    if (step == TFtpStep::Downloading && FFtpArrived) {
        FFetchedCopy = FPendingCopy;
        ShowLocalFile(FFetchedCopy, FLocation);
    } else {
        ShowFailure(FLocation, FFtpError.isEmpty() ? tr("The server did not send the file.") : FFtpError);
    }
    UpdateBusy();
}

// ---- Busy ----

void TInternalViewer::UpdateBusy()
{
    SetBusy(FPageReply || !FPictureReplies.isEmpty() || FFtpStep != TFtpStep::None);
}

void TInternalViewer::SetBusy(bool busy)
{
    if (busy == FBusy)
        return;
    FBusy = busy;
    if (busy)
        emit DownloadBegin();
    else
        emit DownloadComplete();
}
