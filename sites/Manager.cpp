#include "sites/Manager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int FieldLength = 512;

QLineEdit *NewEdit(QWidget *parent, int maxLength = FieldLength)
{
    auto *edit = new QLineEdit(parent);
    edit->setMaxLength(maxLength);
    return edit;
}

} // namespace

TfrmManager::TfrmManager(const QString &sitesFileName, TManagerSettings settings, QWidget *parent)
    : QDialog(parent)
    , FStore(sitesFileName)
    , FSettings(std::move(settings))
{
    setWindowTitle(tr("Session properties"));
    auto *layout = new QVBoxLayout(this);
    pgctrlMain = new QTabWidget(this);
    tbshtGeneral = CreateGeneralPage();
    tbshtAdditional = CreateAdditionalPage();
    tbshtNotes = CreateNotesPage();
    pgctrlMain->addTab(tbshtGeneral, tr("General"));
    pgctrlMain->addTab(tbshtAdditional, tr("Additional"));
    pgctrlMain->addTab(tbshtNotes, tr("Notes"));
    if (const std::optional<TPresetSite> preset = TSiteStore::LoadPresetSite(TSiteStore::PresetFileName()))
        CreatePresetPage(*preset);
    layout->addWidget(pgctrlMain);

    auto *buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(pgctrlMain, &QTabWidget::currentChanged, this, &TfrmManager::PageChanged);

    ResetFields();
    LoadSiteList();
}

TfrmManager::~TfrmManager() = default;

QWidget *TfrmManager::CreateGeneralPage()
{
    auto *page = new QWidget(pgctrlMain);
    auto *form = new QFormLayout;
    cmboSite = new QComboBox(page);
    cmboSite->setEditable(true);
    cmboSite->setInsertPolicy(QComboBox::NoInsert);
    cmboSite->lineEdit()->setMaxLength(256);
    editHost = NewEdit(page);
    editUser = NewEdit(page);
    editPassword = NewEdit(page);
    editPassword->setEchoMode(QLineEdit::Password);
    cbAnonymous = new QCheckBox(tr("Anonymous"), page);
    form->addRow(tr("Host Name:"), cmboSite);
    form->addRow(tr("Host Address:"), editHost);
    form->addRow(tr("User ID:"), editUser);
    form->addRow(tr("Password:"), editPassword);
    form->addRow(QString(), cbAnonymous);

    auto *buttons = new QHBoxLayout;
    btnNewSite = new QPushButton(tr("&New"), page);
    BtnApply = new QPushButton(tr("&Apply"), page);
    btnDeleteSite = new QPushButton(tr("&Delete"), page);
    for (QPushButton *button : {btnNewSite, BtnApply, btnDeleteSite}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(cmboSite, &QComboBox::currentTextChanged, this, &TfrmManager::SiteChosen);
    connect(cbAnonymous, &QCheckBox::toggled, this, &TfrmManager::AnonymousChanged);
    connect(btnNewSite, &QPushButton::clicked, this, &TfrmManager::btnNewSiteClick);
    connect(BtnApply, &QPushButton::clicked, this, &TfrmManager::BtnApplyClick);
    connect(btnDeleteSite, &QPushButton::clicked, this, &TfrmManager::btnDeleteSiteClick);
    return page;
}

QWidget *TfrmManager::CreateAdditionalPage()
{
    auto *page = new QWidget(pgctrlMain);
    auto *grid = new QGridLayout(page);
    editPort = NewEdit(page, 16);
    editHostFolder = NewEdit(page);
    grid->addWidget(new QLabel(tr("Port:"), page), 0, 0);
    grid->addWidget(editPort, 0, 1);
    grid->addWidget(new QLabel(tr("Host directory:"), page), 1, 0);
    grid->addWidget(editHostFolder, 1, 1, 1, 2);
    for (int i = 0; i < 3; ++i) {
        editLocalFolder[i] = NewEdit(page);
        btnBrowse[i] = new QPushButton(tr("Browse..."), page);
        btnBrowse[i]->setAutoDefault(false);
        grid->addWidget(new QLabel(tr("Local directory %1:").arg(i + 1), page), i + 2, 0);
        grid->addWidget(editLocalFolder[i], i + 2, 1);
        grid->addWidget(btnBrowse[i], i + 2, 2);
        connect(btnBrowse[i], &QPushButton::clicked, this, [this, i] { btnBrowseClick(i); });
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    return page;
}

QWidget *TfrmManager::CreateNotesPage()
{
    auto *page = new QWidget(pgctrlMain);
    auto *layout = new QVBoxLayout(page);
    memoComment = new QPlainTextEdit(page);
    layout->addWidget(new QLabel(tr("Notes:"), page));
    layout->addWidget(memoComment);
    return page;
}

void TfrmManager::CreatePresetPage(const TPresetSite &preset)
{
    tbshtPred = new QWidget(pgctrlMain);
    auto *form = new QFormLayout;
    EditHostPred = NewEdit(tbshtPred);
    EditUserPred = NewEdit(tbshtPred);
    EditPasswordPred = NewEdit(tbshtPred);
    EditPasswordPred->setEchoMode(QLineEdit::Password);
    cbAnonymousPred = new QCheckBox(tr("Anonymous"), tbshtPred);
    form->addRow(tr("Host Address:"), EditHostPred);
    form->addRow(tr("User ID:"), EditUserPred);
    form->addRow(tr("Password:"), EditPasswordPred);
    form->addRow(QString(), cbAnonymousPred);

    FTPlogo = new QLabel(tbshtPred);
    QPixmap logo(TSiteStore::PresetLogoFileName());
    // Without a logo of its own the preset shows the program's.
    if (logo.isNull())
        logo = windowIcon().pixmap(64, 64);
    FTPlogo->setPixmap(
        logo.scaled(logo.size().boundedTo(QSize(128, 128)), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    FTPlogo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto *layout = new QHBoxLayout(tbshtPred);
    layout->addWidget(FTPlogo);
    auto *column = new QVBoxLayout;
    column->addLayout(form);
    column->addStretch(1);
    layout->addLayout(column, 1);

    EditHostPred->setText(preset.Host);
    EditUserPred->setText(preset.UserName);
    EditPasswordPred->setText(preset.Password);
    cbAnonymousPred->setChecked(preset.Anonymous);
    PresetAnonymousChanged(preset.Anonymous);
    const QString caption = preset.Name.isEmpty() ? tr("Preset") : preset.Name;
    pgctrlMain->insertTab(0, tbshtPred, caption);

    connect(cbAnonymousPred, &QCheckBox::toggled, this, &TfrmManager::PresetAnonymousChanged);
    connect(EditHostPred, &QLineEdit::textEdited, editHost, &QLineEdit::setText);
    connect(EditUserPred, &QLineEdit::textEdited, editUser, &QLineEdit::setText);
    connect(EditPasswordPred, &QLineEdit::textEdited, editPassword, &QLineEdit::setText);
}

void TfrmManager::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    if (tbshtPred)
        pgctrlMain->setCurrentWidget(tbshtPred);
    if (FStore.Sites().isEmpty()) {
        btnDeleteSite->setEnabled(false);
        if (!PresetActive())
            btnNewSiteClick();
    }
    PageChanged(pgctrlMain->currentIndex());
}

void TfrmManager::LoadSiteList()
{
    FStore.LoadSiteList();
    const QString last = FStore.LastSiteIndex() >= 0 ? FStore.Sites()[FStore.LastSiteIndex()] : QString();
    FillSiteBox(last);
    btnDeleteSite->setEnabled(!FStore.Sites().isEmpty());
    if (!FStore.Sites().isEmpty())
        LoadSite(cmboSite->currentText());
}

void TfrmManager::FillSiteBox(const QString &selected)
{
    const QScopedValueRollback updating(FUpdating, true);
    cmboSite->clear();
    cmboSite->addItems(FStore.Sites());
    const int index = FStore.IndexOf(selected);
    cmboSite->setCurrentIndex(index);
    if (index < 0)
        cmboSite->setEditText(selected);
}

void TfrmManager::SiteChosen(const QString &name)
{
    if (FUpdating)
        return;
    LoadSite(name);
}

void TfrmManager::LoadSite(const QString &name)
{
    FCurrentSite = name;
    if (name.isEmpty())
        return;
    if (const std::optional<TSite> site = FStore.LoadSite(name))
        ShowSite(*site);
}

void TfrmManager::ShowSite(const TSite &site)
{
    const QScopedValueRollback updating(FUpdating, true);
    editHost->setText(site.Host);
    editPort->setText(QString::number(site.Port));
    {
        const QSignalBlocker blocker(cbAnonymous);
        cbAnonymous->setChecked(site.Anonymous);
    }
    AnonymousChanged(site.Anonymous);
    if (!site.Anonymous) {
        editUser->setText(site.UserName);
        editPassword->setText(site.Password);
    }
    editHostFolder->setText(site.HostFolder);
    for (int i = 0; i < 3; ++i)
        editLocalFolder[i]->setText(site.LocalFolders[i]);
    memoComment->setPlainText(site.Notes.join(u'\n'));
}

TSite TfrmManager::SiteFromFields() const
{
    TSite site;
    site.Name = FCurrentSite;
    site.Host = editHost->text().trimmed();
    site.Port = TSiteStore::PortFromText(editPort->text()).value_or(21);
    site.Anonymous = cbAnonymous->isChecked();
    site.UserName = editUser->text();
    site.Password = editPassword->text();
    site.HostFolder = editHostFolder->text();
    for (int i = 0; i < 3; ++i)
        site.LocalFolders[i] = editLocalFolder[i]->text();
    const QString notes = memoComment->toPlainText();
    if (!notes.isEmpty())
        site.Notes = notes.split(u'\n');
    return site;
}

void TfrmManager::AnonymousChanged(bool anonymous)
{
    if (anonymous) {
        editUser->setText(QStringLiteral("anonymous"));
        editPassword->setEchoMode(QLineEdit::Normal);
        editPassword->setText(FSettings.EMail);
    } else {
        editPassword->setEchoMode(QLineEdit::Password);
    }
}

void TfrmManager::PresetAnonymousChanged(bool anonymous)
{
    if (anonymous) {
        EditUserPred->setText(QStringLiteral("anonymous"));
        EditPasswordPred->setEchoMode(QLineEdit::Normal);
        EditPasswordPred->setText(FSettings.EMail);
    } else {
        EditPasswordPred->setEchoMode(QLineEdit::Password);
    }
    if (PresetActive())
        cbAnonymous->setChecked(anonymous);
}

bool TfrmManager::PresetActive() const
{
    return tbshtPred && pgctrlMain->currentWidget() == tbshtPred;
}

void TfrmManager::PageChanged(int page)
{
    if (!tbshtPred || pgctrlMain->widget(page) != tbshtPred)
        return;
    ResetFields();
    const QScopedValueRollback updating(FUpdating, true);
    FCurrentSite = pgctrlMain->tabText(pgctrlMain->indexOf(tbshtPred));
    FillSiteBox(FCurrentSite);
    cbAnonymous->setChecked(cbAnonymousPred->isChecked());
    editHost->setText(EditHostPred->text());
    editUser->setText(EditUserPred->text());
    editPassword->setText(EditPasswordPred->text());
}

void TfrmManager::btnNewSiteClick()
{
    pgctrlMain->setCurrentWidget(tbshtGeneral);
    cmboSite->setFocus();
    ResetFields();
}

void TfrmManager::ResetFields()
{
    const QScopedValueRollback updating(FUpdating, true);
    FCurrentSite.clear();
    cmboSite->setCurrentIndex(-1);
    cmboSite->clearEditText();
    editHost->clear();
    editUser->clear();
    editPassword->clear();
    editPort->setText(QStringLiteral("21"));
    cbAnonymous->setChecked(false);
    AnonymousChanged(false);
    editHostFolder->clear();
    editLocalFolder[0]->setText(FSettings.DefaultDir);
    editLocalFolder[1]->clear();
    editLocalFolder[2]->clear();
    memoComment->clear();
}

void TfrmManager::BtnApplyClick()
{
    if (cmboSite->currentText().isEmpty())
        return;
    if (!TSiteStore::PortFromText(editPort->text())) {
        Refuse(tr("Port must be a number from 1 to 65535"), editPort);
        return;
    }
    SaveSite();
}

void TfrmManager::Refuse(const QString &message, QWidget *field)
{
    QMessageBox::warning(this, windowTitle(), message);
    for (QWidget *page = field->parentWidget(); page; page = page->parentWidget()) {
        if (pgctrlMain->indexOf(page) >= 0) {
            pgctrlMain->setCurrentWidget(page);
            break;
        }
    }
    field->setFocus();
}

bool TfrmManager::SaveSite()
{
    btnDeleteSite->setEnabled(true);
    if (FCurrentSite.isEmpty())
        return true;
    if (!TSiteStore::IsValidSiteName(FCurrentSite)) {
        Refuse(tr("\"%1\" cannot be the name of a site").arg(FCurrentSite), cmboSite);
        return false;
    }
    if (!FStore.SaveSite(SiteFromFields())) {
        // The store is all or nothing: the file is as it was.
        QMessageBox::warning(
            this, windowTitle(),
            tr("Cannot write the sites file %1: the site was not saved.").arg(FStore.FileName()));
        btnDeleteSite->setEnabled(!FStore.Sites().isEmpty());
        return true;
    }
    FillSiteBox(FCurrentSite);
    if (PresetActive()) {
        TPresetSite preset;
        preset.Name = pgctrlMain->tabText(pgctrlMain->indexOf(tbshtPred));
        preset.Host = EditHostPred->text();
        preset.Anonymous = cbAnonymousPred->isChecked();
        preset.UserName = EditUserPred->text();
        preset.Password = EditPasswordPred->text();
        if (!TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), preset))
            QMessageBox::warning(this, windowTitle(),
                                 tr("Cannot write the preset file %1.").arg(TSiteStore::PresetFileName()));
    }
    return true;
}

void TfrmManager::btnDeleteSiteClick()
{
    if (FStore.Sites().isEmpty())
        return;
    const auto answer = QMessageBox::question(
        this, windowTitle(), tr("Are you sure you want to delete the %1 site?").arg(FCurrentSite),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (!FStore.DeleteSite(FCurrentSite))
        QMessageBox::warning(
            this, windowTitle(),
            tr("Cannot write the sites file %1: the site was not deleted.").arg(FStore.FileName()));
    if (FStore.Sites().isEmpty()) {
        FillSiteBox(QString());
        btnNewSiteClick();
        btnDeleteSite->setEnabled(false);
        return;
    }
    FillSiteBox(FStore.Sites().front());
    LoadSite(FStore.Sites().front());
}

void TfrmManager::btnBrowseClick(int folder)
{
    QFileDialog dialog(this, tr("Select a directory"), editLocalFolder[0]->text());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        editLocalFolder[std::clamp(folder, 0, 2)]->setText(dialog.selectedFiles().front());
}

bool TfrmManager::CheckFields()
{
    if (editHost->text().trimmed().isEmpty()) {
        Refuse(tr("Host field cannot be empty"), editHost);
        return false;
    }
    if (editUser->text().isEmpty()) {
        Refuse(tr("UserID field cannot be empty"), editUser);
        return false;
    }
    if (!TSiteStore::PortFromText(editPort->text())) {
        Refuse(tr("Port must be a number from 1 to 65535"), editPort);
        return false;
    }
    return true;
}

void TfrmManager::done(int result)
{
    if (result == QDialog::Accepted) {
        if (!CheckFields())
            return;
        if (cbAnonymous->isChecked() && !editPassword->text().isEmpty() && FSettings.EMail.isEmpty())
            FEMailToStore = editPassword->text();
        if (!SaveSite())
            return;
    }
    QDialog::done(result);
}
