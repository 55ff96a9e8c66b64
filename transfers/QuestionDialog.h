#pragma once

#include <QDialog>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

// The frame of the transfer questions: contents above a row of answer buttons, Yes, No,
// Yes to All and No to All first, each of which ends the window with its modal result.
// Closing the window answers Cancel (2); Escape presses the cancel button instead.
class TQuestionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TQuestionDialog(QWidget *parent = nullptr);

    QPushButton *btnYes = nullptr;
    QPushButton *btnNo = nullptr;
    QPushButton *btnYesToAll = nullptr;
    QPushButton *btnNoToAll = nullptr;

    void reject() override;

protected:
    QVBoxLayout *Contents() const { return FContents; }
    QPushButton *AddButton(const QString &caption, int result);
    void SetCancelButton(QPushButton *button) { FCancelButton = button; }

    void keyPressEvent(QKeyEvent *event) override;

private:
    QVBoxLayout *FContents = nullptr;
    QHBoxLayout *FButtons = nullptr;
    QPushButton *FCancelButton = nullptr;
};
