#pragma once

#include "engine/Event.h"
#include "transfers/TransferDecision.h"

#include <QPointer>
#include <QWidget>


// The per-file decision's questions asked in the overwrite and restart windows; each
// window is made for one question and freed after it.
class TQuestionWindows : public TTransferQuestions
{
public:
    explicit TQuestionWindows(QWidget *parent = nullptr) : FParent(parent) {}

    // Raised when the user asked never to be asked about restarts again.
    TEvent<> OnRestartsUnconfirmed;

    int AskOverwrite(const TOverwriteQuestion &question) override;
    int AskRestart(const std::string &fileName) override;

private:
    QPointer<QWidget> FParent;
};
