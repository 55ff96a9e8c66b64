#pragma once

#include "app/Compare.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class TCustomView;

// The options of one comparison of folders; each opening starts from the defaults.
class TfrmCompareOptions : public QDialog
{
    Q_OBJECT
public:
    // The help topic of the window.
    static constexpr int HelpContext = 81;

    explicit TfrmCompareOptions(QWidget *parent = nullptr);

    TCompareSettings Settings() const;
    QCheckBox *IgnoreSizeBox() const { return cbIgnoreSize; }
    QCheckBox *IgnoreDateBox() const { return cbIgnoreDate; }

signals:
    // "&Help" was pressed; whoever shows help shows HelpContext.
    void HelpRequested(int context);

private:
    QCheckBox *cbIgnoreSize = nullptr;
    QCheckBox *cbIgnoreDate = nullptr;
};

// A view's entries as the comparison reads them, in list order.
std::vector<TCompareEntry> CompareEntries(const TCustomView &view);

// Clears both views' selections and selects on each side what the other side lacks or
// holds smaller or older.
void CompareViewFolders(TCustomView &local, TCustomView &remote, const TCompareSettings &settings);
