#pragma once

#include "app/Options.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

// The preferences window: one page per section of the options file and one for the
// ASCII extensions, each control built from the option's row of the option table. It
// edits a copy of the live options; OK saves the copy and puts it in force, Cancel
// drops it.
class TfrmOptions : public QDialog
{
    Q_OBJECT
public:
    // The help topic of the window.
    static constexpr int HelpContext = 78;

    TfrmOptions(TOptions &options, QWidget *parent = nullptr);

    // Shows the window modally on its first page with the live values. True when OK
    // saved changed options.
    bool Edit();
    // Fills the controls from the live options and opens the first page (Edit does this
    // before it shows the window).
    void ShowLiveValues();

    // The control of an option: a check box, a line edit, or the group box holding a
    // radio group's buttons ("until connected" is a radio button).
    QWidget *Control(TOptionId id) const { return FControls[id]; }
    // The radio button of a choice's item.
    QRadioButton *ChoiceButton(TOptionId id, int item) const;
    QTabWidget *Pages() const { return pgctrlOptions; }
    QListWidget *ExtensionList() const { return lbASCIIExtensions; }
    QLineEdit *ExtensionEdit() const { return editExtension; }
    QPushButton *AddButton() const { return btnAdd; }
    QPushButton *RemoveButton() const { return btnRemove; }
    QPushButton *OkButton() const;
    QPushButton *CancelButton() const;
    // The full paths behind the edits that show only a file name.
    const QString &ViewerPath() const { return FViewer; }
    const QString &LogFilePath() const { return FLogFile; }

signals:
    // "&Help" was pressed; whoever shows help shows HelpContext.
    void HelpRequested(int context);

private:
    QWidget *CreatePage(const char *section);
    QWidget *CreateControl(const TOptionDescriptor &d, QWidget *parent);
    QWidget *CreateFileTypesPage();
    void CreateBrowseButton(TOptionId id, QWidget *parent, class QGridLayout *grid, int row);
    void BrowseClick(TOptionId id);
    void ShowValues(const TOptions &options);
    // The options as the controls show them.
    TOptions ShownValues() const;
    void ShowExtensions();
    void UpdateExtensionButtons();
    void btnAddClick();
    void btnRemoveClick();
    void btnOkClick();

    TOptions &FOptions;
    // The copy being edited: the extension list and the URL history live here.
    TOptions FEdited;
    QString FViewer;
    QString FLogFile;
    std::array<QWidget *, OptionCount> FControls{};
    std::array<QButtonGroup *, OptionCount> FChoices{};
    QRadioButton *rbTries = nullptr;
    QTabWidget *pgctrlOptions = nullptr;
    QListWidget *lbASCIIExtensions = nullptr;
    QLineEdit *editExtension = nullptr;
    QPushButton *btnAdd = nullptr;
    QPushButton *btnRemove = nullptr;
    QDialogButtonBox *FButtons = nullptr;
};
