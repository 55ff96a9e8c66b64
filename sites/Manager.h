#pragma once

#include "sites/SiteStore.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

// What the site manager takes from the options.
struct TManagerSettings
{
    QString EMail;      // the anonymous password
    QString DefaultDir; // local folder 1 of a new site
};

// "Session properties": the user picks, creates, edits and deletes the stored sites and
// chooses the one to connect to. Every change goes to the sites file at once; OK saves
// the site shown and leaves its values in the fields for the caller.
class TfrmManager : public QDialog
{
    Q_OBJECT
public:
    TfrmManager(const QString &sitesFileName, TManagerSettings settings, QWidget *parent = nullptr);
    ~TfrmManager() override;

    // The site named `name` into the fields, and it becomes the current site; a name
    // that is not stored gives the defaults of a new site.
    void LoadSite(const QString &name);
    // The site the fields show, named after the current site; a port that is not a
    // number reads as 21.
    TSite SiteFromFields() const;
    const QString &CurrentSite() const { return FCurrentSite; }
    const TSiteStore &Store() const { return FStore; }
    // After OK: the address to keep as the e-mail option, when the option was empty and
    // an anonymous site was given one.
    const std::optional<QString> &EMailToStore() const { return FEMailToStore; }

    void btnNewSiteClick();
    void BtnApplyClick();
    void btnDeleteSiteClick();
    void btnBrowseClick(int folder);

    QTabWidget *pgctrlMain = nullptr;
    QWidget *tbshtPred = nullptr;
    QLineEdit *EditHostPred = nullptr;
    QLineEdit *EditUserPred = nullptr;
    QLineEdit *EditPasswordPred = nullptr;
    QCheckBox *cbAnonymousPred = nullptr;
    QLabel *FTPlogo = nullptr;
    QWidget *tbshtGeneral = nullptr;
    QComboBox *cmboSite = nullptr;
    QLineEdit *editHost = nullptr;
    QLineEdit *editUser = nullptr;
    QLineEdit *editPassword = nullptr;
    QCheckBox *cbAnonymous = nullptr;
    QPushButton *btnNewSite = nullptr;
    QPushButton *BtnApply = nullptr;
    QPushButton *btnDeleteSite = nullptr;
    QWidget *tbshtAdditional = nullptr;
    QLineEdit *editPort = nullptr;
    QLineEdit *editHostFolder = nullptr;
    QLineEdit *editLocalFolder[3] = {};
    QPushButton *btnBrowse[3] = {};
    QWidget *tbshtNotes = nullptr;
    QPlainTextEdit *memoComment = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *CreateGeneralPage();
    QWidget *CreateAdditionalPage();
    QWidget *CreateNotesPage();
    void CreatePresetPage(const TPresetSite &preset);
    void LoadSiteList();
    // The fields of a new site.
    void ResetFields();
    void ShowSite(const TSite &site);
    // False, with a message, when the fields cannot be stored.
    bool SaveSite();
    bool CheckFields();
    void SiteChosen(const QString &name);
    void AnonymousChanged(bool anonymous);
    void PresetAnonymousChanged(bool anonymous);
    void PageChanged(int page);
    void FillSiteBox(const QString &selected);
    bool PresetActive() const;
    void Refuse(const QString &message, QWidget *field);

    TSiteStore FStore;
    const TManagerSettings FSettings;
    QString FCurrentSite;
    std::optional<QString> FEMailToStore;
    // Set while the window writes its own fields, so that they do not react.
    bool FUpdating = false;
    bool FShown = false;
};
