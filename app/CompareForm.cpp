#include "app/CompareForm.h"

#include "views/AllViews.h"
#include "views/FileList.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

TfrmCompareOptions::TfrmCompareOptions(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Comparaison Options"));
    auto *layout = new QVBoxLayout(this);
    const TCompareSettings defaults;
    cbIgnoreSize = new QCheckBox(tr("Ignore size difference"), this);
    cbIgnoreSize->setChecked(defaults.IgnoreSize);
    cbIgnoreDate = new QCheckBox(tr("Ignore date difference"), this);
    cbIgnoreDate->setChecked(defaults.IgnoreDate);
    layout->addWidget(cbIgnoreSize);
    layout->addWidget(cbIgnoreDate);
    layout->addStretch(1);

    auto *buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    buttons->button(QDialogButtonBox::Help)->setText(tr("&Help"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { emit HelpRequested(HelpContext); });
    layout->addWidget(buttons);
}

TCompareSettings TfrmCompareOptions::Settings() const
{
    TCompareSettings settings;
    settings.IgnoreSize = cbIgnoreSize->isChecked();
    settings.IgnoreDate = cbIgnoreDate->isChecked();
    return settings;
}

std::vector<TCompareEntry> CompareEntries(const TCustomView &view)
{
    std::vector<TCompareEntry> entries;
    const TFileList *list = view.ListView();
    const int count = view.ItemCount();
    entries.reserve(std::size_t(count));
    for (int row = 0; row < count; ++row) {
        const QModelIndex item = list->Item(row);
        entries.push_back(
            {view.GetItemName(item), view.GetItemSize(item), view.GetItemDate(item), view.IsFolder(item)});
    }
    return entries;
}

namespace {

void SelectOnly(TCustomView &view, const std::vector<int> &rows)
{
    // One status report for the whole selection, not one per row.
    view.SetDoUpdates(false);
    view.ListView()->ClearSelection();
    view.ListView()->SelectRows(rows);
    view.SetDoUpdates(true);
    view.UpdateStatus();
}

} // namespace

void CompareViewFolders(TCustomView &local, TCustomView &remote, const TCompareSettings &settings)
{
    const TCompareResult result = CompareFolders(CompareEntries(local), CompareEntries(remote), settings);
    SelectOnly(local, result.LocalRows);
    SelectOnly(remote, result.RemoteRows);
}
