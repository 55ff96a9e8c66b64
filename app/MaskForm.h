#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class TCustomView;

// The mask window: the mask of one view, typed or picked from presets.
class TfrmMask : public QDialog
{
    Q_OBJECT
public:
    // `remote` chooses the prompt; the combo starts with `mask`.
    TfrmMask(bool remote, const QString &mask, QWidget *parent = nullptr);

    // The mask as it would be set: the combo's text trimmed.
    QString Mask() const;
    QComboBox *MaskCombo() const { return cmboMask; }

    // Asks for `view`'s mask and sets it on OK; false when cancelled.
    static bool EditMask(TCustomView &view, bool remote, QWidget *parent);

private:
    void cmboMaskActivated(int index);

    QLabel *lblPrompt = nullptr;
    QComboBox *cmboMask = nullptr;
};
