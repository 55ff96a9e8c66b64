#pragma once

#include "transfers/QuestionDialog.h"

#include <QString>


class QCheckBox;
class QLabel;

// Asks whether a partly transferred file is resumed where it stopped. Set FileName,
// then exec(); the result is Yes, No, Yes to All, No to All, or Cancel when the window
// is closed.
class TfrmRestart : public TQuestionDialog
{
    Q_OBJECT

public:
    explicit TfrmRestart(QWidget *parent = nullptr);

    QString FileName;

    QLabel *lblPrompt = nullptr;
    QCheckBox *cbDontShowAgain = nullptr;

    void done(int result) override;

signals:
    // The window closed with "Don't show this message again" checked; the owner
    // switches the question off.
    void DontShowAgain();

protected:
    void showEvent(QShowEvent *event) override;
};
