#include "app/OptionsForm.h"

#include "app/Options.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

TfrmOptions::TfrmOptions(TOptions &options, QWidget *parent)
    : QDialog(parent)
    , FOptions(options)
{
    setWindowTitle(tr("General preferences"));
    auto *layout = new QVBoxLayout(this);
    editEMail = new QLineEdit(FOptions.EMail(), this);
    cbLogToFile = new QCheckBox(tr("Description of all actions in a log file"), this);
    cbLogToFile->setChecked(FOptions.Bool(oiLogToFile));
    cbShowManager = new QCheckBox(tr("View the session manager on startup"), this);
    cbShowManager->setChecked(FOptions.Bool(oiShowManager));
    cbPromptForPass = new QCheckBox(tr("Ask for password if none is specified"), this);
    cbPromptForPass->setChecked(FOptions.Bool(oiPromptForPass));
    cbUsePASV = new QCheckBox(tr("Use passive mode (PASV) for transfers"), this);
    cbUsePASV->setChecked(FOptions.Bool(oiUsePASV));
    layout->addWidget(new QLabel(tr("EMail Address:"), this));
    layout->addWidget(editEMail);
    for (QCheckBox *box : {cbLogToFile, cbShowManager, cbPromptForPass, cbUsePASV})
        layout->addWidget(box);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool TfrmOptions::Edit()
{
    if (exec() != QDialog::Accepted)
        return false;
    TOptions edited = FOptions;
    edited.SetText(oiEMail, editEMail->text());
    edited.SetBool(oiLogToFile, cbLogToFile->isChecked());
    edited.SetBool(oiShowManager, cbShowManager->isChecked());
    edited.SetBool(oiPromptForPass, cbPromptForPass->isChecked());
    edited.SetBool(oiUsePASV, cbUsePASV->isChecked());
    QString error;
    if (!edited.Save(&error)) {
        QMessageBox::critical(this, tr("Ferrow"), error);
        return false;
    }
    FOptions = edited;
    FOptions.ApplyEngineSettings();
    return true;
}
