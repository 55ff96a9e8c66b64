#pragma once

#include "transfers/QuestionDialog.h"

#include <QString>

class QLabel;

// Asks before remote entries are deleted. Set the members, then exec(); only Yes lets
// the deletion go on.
class TfrmConfirm : public TQuestionDialog
{
    Q_OBJECT

public:
    explicit TfrmConfirm(QWidget *parent = nullptr);

    int ItemCount = 0;
    QString ItemName;
    bool ItemIsFolder = false;

    QLabel *imgIcon = nullptr;
    QLabel *lblPrompt = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
