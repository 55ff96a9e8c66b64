#include "transfers/QuestionDialog.h"

#include "transfers/TransferDecision.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

TQuestionDialog::TQuestionDialog(QWidget *parent) : QDialog(parent)
{
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    FContents = new QVBoxLayout;
    layout->addLayout(FContents);
    FButtons = new QHBoxLayout;
    FButtons->addStretch(1);
    layout->addLayout(FButtons);
    btnYes = AddButton(QStringLiteral("&Yes"), mrYes);
    btnNo = AddButton(QStringLiteral("&No"), mrNo);
    btnYesToAll = AddButton(QStringLiteral("Yes to &All"), mrYesToAll);
    btnNoToAll = AddButton(QStringLiteral("No to A&ll"), mrNoToAll);
}

void TQuestionDialog::reject()
{
    done(mrCancel);
}

QPushButton *TQuestionDialog::AddButton(const QString &caption, int result)
{
    auto *button = new QPushButton(caption, this);
    // Only the chosen default button answers Enter.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    FButtons->addWidget(button);
    return button;
}

void TQuestionDialog::keyPressEvent(QKeyEvent *event)
{
    if (FCancelButton && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        FCancelButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
