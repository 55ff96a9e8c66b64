#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class TOptions;

// A stand-in for the preferences window: the connection options that the views and the
// command line read.
class TfrmOptions : public QDialog
{
    Q_OBJECT
public:
    TfrmOptions(TOptions &options, QWidget *parent = nullptr);

    // Shows the window modally. OK saves the edited options and puts them in force;
    // Cancel, or a file that cannot be written, leaves the live options as they were.
    // True when the options changed.
    bool Edit();

private:
    TOptions &FOptions;
    QLineEdit *editEMail = nullptr;
    QCheckBox *cbLogToFile = nullptr;
    QCheckBox *cbShowManager = nullptr;
    QCheckBox *cbPromptForPass = nullptr;
    QCheckBox *cbUsePASV = nullptr;
};
