#include "sites/PasswordForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TdlgPassword::TdlgPassword(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Enter a password"));
    auto *layout = new QVBoxLayout(this);
    lblPrompt = new QLabel(tr("Specify a password to this session:"), this);
    editPassword = new QLineEdit(this);
    editPassword->setEchoMode(QLineEdit::Password);
    lblPrompt->setBuddy(editPassword);
    auto *buttons = new QDialogButtonBox(this);
    btnOK = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(lblPrompt);
    layout->addWidget(editPassword);
    layout->addWidget(buttons);
    setMinimumWidth(320);
    setSizeGripEnabled(false);
}

std::optional<QString> TdlgPassword::Ask(QWidget *parent)
{
    TdlgPassword prompt(parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return prompt.editPassword->text();
}
