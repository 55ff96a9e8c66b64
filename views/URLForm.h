#pragma once

#include "engine/FTPUrl.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Connection to URL": the user types or picks a URL and sees it split into its parts,
// or fills in the parts and sees the URL; each follows the other while typing.
class TfrmURL : public QDialog
{
    Q_OBJECT
public:
    // `history` fills the drop-down list, newest first; `anonymousPassword` is the
    // e-mail address an anonymous login gives. Without a web viewer HTTP cannot be
    // chosen, though a typed http:// URL still says what it is.
    TfrmURL(const QStringList &history, QString anonymousPassword, bool webViewer, QWidget *parent = nullptr);

    // After OK: the URL as typed, whether it names a web page, and what to connect with.
    QString URL() const;
    bool IsHttp() const;
    bool Valid() const { return FValid; }
    // The parts of the URL; a user name typed into its field without a password in the
    // URL still counts (the password prompt may supply it).
    TURLParts Parts() const;
    // Why the URL cannot be connected to; empty when it can.
    QString Problem() const;

    QString Account;

    QComboBox *cmboURL = nullptr;
    QGroupBox *gbURLComps = nullptr;
    QRadioButton *ChkFTP = nullptr;
    QRadioButton *ChkFTPAn = nullptr;
    QRadioButton *ChkHTTP = nullptr;
    QLineEdit *editUserName = nullptr;
    QLineEdit *editPassword = nullptr;
    QLineEdit *editHost = nullptr;
    QLineEdit *editPort = nullptr;
    QLineEdit *editFolder = nullptr;
    QLineEdit *editFileName = nullptr;
    QLabel *lblProblem = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    void done(int result) override;

private:
    void cmboURLChange(const QString &text);
    // A part was edited (`edit`) or a kind was clicked (`edit` is null).
    void editUserNameChange(QLineEdit *edit);
    TURLFields Fields() const;
    void ShowFields(const TURLFields &fields, QLineEdit *typing);
    TURLKind Kind() const;
    void ShowKind(TURLKind kind);
    void UpdateOK();

    const QString FAnonymousPassword;
    TURLParts FParts;
    bool FValid = false;
    bool FUpdating = false;
};
