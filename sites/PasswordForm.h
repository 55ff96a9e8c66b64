#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// "Enter a password": asked when a connection has no password and the options say to ask.
class TdlgPassword : public QDialog
{
    Q_OBJECT
public:
    explicit TdlgPassword(QWidget *parent = nullptr);

    // Shows the prompt modally: the typed password, or nothing when cancelled.
    static std::optional<QString> Ask(QWidget *parent);

    QLabel *lblPrompt = nullptr;
    QLineEdit *editPassword = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
};
