#include "app/MaskForm.h"

#include "views/AllViews.h"
#include "views/Masks.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TfrmMask::TfrmMask(bool remote, const QString &mask, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Mask"));
    auto *layout = new QVBoxLayout(this);
    lblPrompt = new QLabel(remote ? tr("Enter a mask for the host directory:")
                                  : tr("Enter a mask for the local directory:"),
                           this);
    layout->addWidget(lblPrompt);
    cmboMask = new QComboBox(this);
    cmboMask->setEditable(true);
    cmboMask->setInsertPolicy(QComboBox::NoInsert);
    cmboMask->addItems(MaskPresets());
    cmboMask->setMinimumContentsLength(36);
    cmboMask->setCurrentIndex(-1);
    cmboMask->setEditText(mask);
    lblPrompt->setBuddy(cmboMask);
    layout->addWidget(cmboMask);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cmboMask, &QComboBox::activated, this, &TfrmMask::cmboMaskActivated);
}

void TfrmMask::cmboMaskActivated(int index)
{
    // After the combo has put the entry's own text in place.
    const QString mask = MaskOfPreset(cmboMask->itemText(index));
    QTimer::singleShot(0, this, [this, mask] { cmboMask->setEditText(mask); });
}

QString TfrmMask::Mask() const
{
    return cmboMask->currentText().trimmed();
}

bool TfrmMask::EditMask(TCustomView &view, bool remote, QWidget *parent)
{
    TfrmMask form(remote, view.GetMask(), parent);
    if (form.exec() != QDialog::Accepted)
        return false;
    view.SetMask(form.Mask());
    return true;
}
