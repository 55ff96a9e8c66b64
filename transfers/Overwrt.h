#pragma once

#include "platform/DateTime.h"
#include "transfers/QuestionDialog.h"

#include <QString>

#include <cstdint>

class QLabel;
class QPushButton;

// The texts of the overwrite question.
QString OverwritePromptText(const QString &fileName);
QString FileSizeText(std::int64_t size);
// "modified on " and the date in the locale's long format, without the time.
QString ModifiedOnText(TDateTime date);

// Asks whether a file already at the destination is replaced. Set the members, then
// exec(); the result is Yes, No, Yes to All, No to All, Retry for "&Recovery" (continue
// the existing file), or Cancel when the window is closed.
class TfrmOverwrite : public TQuestionDialog
{
    Q_OBJECT

public:
    explicit TfrmOverwrite(QWidget *parent = nullptr);

    QString FileName;
    std::int64_t ExistingSize = 0;
    std::int64_t NewSize = 0;
    TDateTime ExistingDate;
    TDateTime NewDate;
    bool SentAsText = false;

    QLabel *lblPrompt = nullptr;
    QLabel *lblDesc1 = nullptr;
    QLabel *lblDesc2 = nullptr;
    QLabel *imgIcon1 = nullptr;
    QLabel *imgIcon2 = nullptr;
    QLabel *lblSize1 = nullptr;
    QLabel *lblSize2 = nullptr;
    QLabel *lblDate1 = nullptr;
    QLabel *lblDate2 = nullptr;
    QPushButton *btnForceRecover = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};
