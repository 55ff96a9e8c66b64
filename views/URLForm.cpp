#include "views/URLForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace {

constexpr int URLLength = 512;

// Sets the text of an edit the user is not typing in; the one being typed keeps its
// caret unless its text really changes.
void ShowText(QLineEdit *edit, const QString &text, QLineEdit *typing)
{
    if (edit->text() == text)
        return;
    const int caret = edit->cursorPosition();
    edit->setText(text);
    if (edit == typing)
        edit->setCursorPosition(std::min(caret, int(text.size())));
}

} // namespace

TfrmURL::TfrmURL(const QStringList &history, QString anonymousPassword, bool webViewer, QWidget *parent)
    : QDialog(parent)
    , FAnonymousPassword(std::move(anonymousPassword))
{
    setWindowTitle(tr("Connection to URL"));
    auto *layout = new QVBoxLayout(this);

    auto *urlRow = new QHBoxLayout;
    cmboURL = new QComboBox(this);
    cmboURL->setEditable(true);
    cmboURL->setInsertPolicy(QComboBox::NoInsert);
    cmboURL->lineEdit()->setMaxLength(URLLength);
    cmboURL->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmboURL->setMinimumContentsLength(40);
    cmboURL->addItems(history);
    cmboURL->setCurrentIndex(-1);
    auto *lblDesc0 = new QLabel(tr("URL:"), this);
    lblDesc0->setBuddy(cmboURL);
    urlRow->addWidget(lblDesc0);
    urlRow->addWidget(cmboURL, 1);
    layout->addLayout(urlRow);

    gbURLComps = new QGroupBox(tr("URL's Properties"), this);
    auto *form = new QFormLayout(gbURLComps);
    auto *kinds = new QHBoxLayout;
    ChkFTP = new QRadioButton(tr("FTP"), gbURLComps);
    ChkFTPAn = new QRadioButton(tr("FTP anonymous"), gbURLComps);
    ChkHTTP = new QRadioButton(tr("HTTP"), gbURLComps);
    ChkFTP->setChecked(true);
    ChkHTTP->setEnabled(webViewer);
    for (QRadioButton *kind : {ChkFTP, ChkFTPAn, ChkHTTP})
        kinds->addWidget(kind);
    kinds->addStretch(1);
    form->addRow(tr("Type of URL:"), kinds);
    const auto edit = [this](int maxLength) {
        auto *field = new QLineEdit(gbURLComps);
        field->setMaxLength(maxLength);
        return field;
    };
    editUserName = edit(256);
    editPassword = edit(256);
    editPassword->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    editHost = edit(URLLength);
    editPort = edit(URLLength);
    editFolder = edit(URLLength);
    editFileName = edit(URLLength);
    form->addRow(tr("User Name:"), editUserName);
    form->addRow(tr("Password:"), editPassword);
    form->addRow(tr("Host:"), editHost);
    form->addRow(tr("Port"), editPort);
    form->addRow(tr("Folder:"), editFolder);
    form->addRow(tr("File:"), editFileName);
    layout->addWidget(gbURLComps);

    lblProblem = new QLabel(this);
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #b00000"));
    lblProblem->hide();
    layout->addWidget(lblProblem);

    auto *buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(cmboURL, &QComboBox::editTextChanged, this, &TfrmURL::cmboURLChange);
    for (QLineEdit *field : {editUserName, editPassword, editHost, editPort, editFolder, editFileName})
        connect(field, &QLineEdit::textEdited, this, [this, field] { editUserNameChange(field); });
    for (QRadioButton *kind : {ChkFTP, ChkFTPAn, ChkHTTP})
        connect(kind, &QRadioButton::clicked, this, [this] { editUserNameChange(nullptr); });

    editPort->setText(QStringLiteral("21"));
    editUserNameChange(editUserName);
    cmboURL->setFocus();
}

TURLFields TfrmURL::Fields() const
{
    return TURLFields{editUserName->text(), editPassword->text(), editHost->text(),
                      editPort->text(),     editFolder->text(),   editFileName->text()};
}

void TfrmURL::ShowFields(const TURLFields &fields, QLineEdit *typing)
{
    ShowText(editUserName, fields.UserName, typing);
    ShowText(editPassword, fields.Password, typing);
    ShowText(editHost, fields.Host, typing);
    ShowText(editPort, fields.Port, typing);
    ShowText(editFolder, fields.Folder, typing);
    ShowText(editFileName, fields.FileName, typing);
}

TURLKind TfrmURL::Kind() const
{
    return ChkHTTP->isChecked() ? ukHTTP : ChkFTPAn->isChecked() ? ukFTPAnonymous : ukFTP;
}

void TfrmURL::ShowKind(TURLKind kind)
{
    (kind == ukHTTP ? ChkHTTP : kind == ukFTPAnonymous ? ChkFTPAn : ChkFTP)->setChecked(true);
}

void TfrmURL::cmboURLChange(const QString &text)
{
    if (FUpdating)
        return;
    const QScopedValueRollback updating(FUpdating, true);
    FValid = SplitURL(text, FAnonymousPassword, FParts);
    if (FValid) {
        TURLFields fields = URLFieldsFromParts(FParts);
        TURLKind kind = Kind();
        FollowURLScheme(text, fields, kind);
        ShowFields(fields, nullptr);
        ShowKind(kind);
    }
    UpdateOK();
}

void TfrmURL::editUserNameChange(QLineEdit *edit)
{
    if (FUpdating)
        return;
    const QScopedValueRollback updating(FUpdating, true);
    TURLFields fields = Fields();
    TURLKind kind = Kind();
    if (edit)
        FollowURLScheme(cmboURL->currentText(), fields, kind);
    else
        ApplyURLKind(kind, fields, FAnonymousPassword);
    const qsizetype folderBefore = fields.Folder.size();
    const QString url = ComposeURL(fields, kind);
    // The parts stay as typed: split again, a user name without a password would turn
    // back into "anonymous" under the user's fingers.
    ShowFields(fields, edit);
    const qsizetype moved = fields.Folder.size() - folderBefore;
    if (edit == editHost && moved > 0) {
        // A '/' typed into the host starts the folder: the typing goes on there.
        editHost->end(false);
        editFolder->setFocus();
        editFolder->setCursorPosition(int(moved));
    }
    ShowKind(kind);
    cmboURL->setEditText(url);
    FValid = SplitURL(cmboURL->currentText(), FAnonymousPassword, FParts);
    UpdateOK();
}

QString TfrmURL::URL() const
{
    return cmboURL->currentText();
}

bool TfrmURL::IsHttp() const
{
    return ChkHTTP->isChecked();
}

TURLParts TfrmURL::Parts() const
{
    TURLParts parts = FParts;
    if (FValid && Kind() == ukFTP && !editUserName->text().isEmpty()) {
        parts.UserName = editUserName->text();
        parts.Password = editPassword->text();
    }
    return parts;
}

QString TfrmURL::Problem() const
{
    if (!FValid || IsHttp())
        return QString();
    return URLConnectProblem(Parts());
}

void TfrmURL::UpdateOK()
{
    const QString problem = Problem();
    lblProblem->setText(problem);
    lblProblem->setVisible(!problem.isEmpty());
    btnOK->setEnabled(FValid && !FParts.Host.isEmpty() && problem.isEmpty());
}

void TfrmURL::done(int result)
{
    if (result == QDialog::Accepted && !btnOK->isEnabled())
        return;
    if (result != QDialog::Accepted) {
        FValid = false;
        FParts = TURLParts{};
    }
    QDialog::done(result);
}
