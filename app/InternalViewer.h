#pragma once

#include "engine/Event.h"
#include "transfers/TransferSettings.h"

#include <QHash>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

#include <memory>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;
class TFTPComponent;

// The internal viewer: web pages and pictures from the local disk (file:), from FTP
// servers (ftp:, fetched through an engine of its own into the private temporary
// folder) and from web servers (http:, a plain GET of the page and of its pictures;
// nothing runs). It reports when a download begins and when it is complete, which is
// what drives the toolbar's activity animation.
class TInternalViewer : public QTextBrowser
{
    Q_OBJECT
public:
    explicit TInternalViewer(QWidget *parent = nullptr);
    ~TInternalViewer() override;

    // Stops what is loading and goes to `url`. The password of an ftp: URL without a
    // user is `anonymousPassword`.
    void Navigate(const QUrl &url);
    void SetAnonymousPassword(const QString &password) { FAnonymousPassword = password; }
    // The options an ftp: logon follows (the firewall), as of the next new connection.
    void SetTransferSettings(const TTransferSettings &settings) { FSettings = settings; }
    // Ends every download in progress; the page shown stays.
    void Stop();
    bool Busy() const { return FBusy; }
    // The page shown (or loading).
    const QUrl &Location() const { return FLocation; }
    // The local copy of the last ftp: page.
    const QString &FetchedCopy() const { return FFetchedCopy; }

signals:
    void DownloadBegin();
    void DownloadComplete();

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void ShowLocalFile(const QString &path, const QUrl &base);
    void ShowPage(const QString &html, const QUrl &base);
    void ShowPicture(const QUrl &picture);
    void ShowFailure(const QUrl &url, const QString &reason);
    // Made on first use: a viewer that only ever shows local files opens no network.
    QNetworkAccessManager *Network();
    void StartHttp(const QUrl &url);
    void HttpFinished(QNetworkReply *reply, bool page);
    void FetchPicture(const QUrl &url);
    void StartFtp(const QUrl &url);
    void QueueFtpDownload();
    void FtpStepDone();
    void SetBusy(bool busy);
    void UpdateBusy();

    QNetworkAccessManager *FNetwork = nullptr;
    QNetworkReply *FPageReply = nullptr;
    QSet<QNetworkReply *> FPictureReplies;
    QHash<QUrl, QByteArray> FHttpCache;
    std::unique_ptr<TFTPComponent> FFTP;
    TScopedConnections FFtpConnections;
    enum class TFtpStep { None, LoggingIn, Downloading };
    TFtpStep FFtpStep = TFtpStep::None;
    std::string FRemotePath;
    bool FFtpArrived = false;
    QString FFtpError;
    QString FFetchedCopy;
    QString FPendingCopy;
    QUrl FLocation;
    QUrl FBase;
    QString FHtml;
    QString FAnonymousPassword;
    TTransferSettings FSettings;
    bool FBusy = false;
};
