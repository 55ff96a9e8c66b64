#include "transfers/Confirm.h"

#include "transfers/DeleteQuestion.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfrmConfirm::TfrmConfirm(QWidget *parent)
    : TQuestionDialog(parent)
{
    imgIcon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    imgIcon->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(size, size));
    imgIcon->setAlignment(Qt::AlignTop);
    lblPrompt = new QLabel(this);
    lblPrompt->setWordWrap(true);
    lblPrompt->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *line = new QHBoxLayout;
    line->addWidget(imgIcon);
    line->addSpacing(8);
    line->addWidget(lblPrompt, 1);
    Contents()->addLayout(line);

    btnYesToAll->hide();
    btnNoToAll->hide();
    btnNo->setDefault(true);
    SetCancelButton(btnNo);
    setMinimumWidth(360);
}

void TfrmConfirm::showEvent(QShowEvent *event)
{
    const TDeleteQuestion question = DeleteQuestionFor(ItemCount, ItemName, ItemIsFolder);
    setWindowTitle(question.Caption);
    lblPrompt->setText(question.Text);
    adjustSize();
    TQuestionDialog::showEvent(event);
}
