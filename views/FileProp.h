#pragma once

#include "views/FileProperties.h"

#include <QDialog>
#include <QIcon>
#include <QString>

#include <vector>

class QCheckBox;
class QLabel;
class QTabWidget;
class QWidget;

// The properties of the entries selected in a remote view, with their permissions as a
// grid of boxes. Set the members, then exec(); after OK, Changed says whether the user
// clicked a box and PermissionsFor gives each entry's new permissions.
class TfrmProperties : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmProperties(QWidget *parent = nullptr);

    // The view's folder, ending in its separator.
    QString Location;
    std::vector<TPropertyEntry> Entries;
    // The first entry's icon.
    QIcon Icon;
    // While set, clicks on the boxes count as changes.
    bool IsRemote = true;
    bool Changed = false;

    // The boxes as they are now.
    TPermissionBoxes Boxes() const;
    std::uint32_t PermissionsFor(const TPropertyEntry &entry) const
    {
        return AppliedPermissions(entry.Attributes, Boxes());
    }

    QTabWidget *pgctrlMain = nullptr;
    QWidget *tbshtGeneral = nullptr;
    QLabel *imgIcon = nullptr;
    QLabel *lblFileName = nullptr;
    QLabel *lblType = nullptr;
    QLabel *lblLocation = nullptr;
    QLabel *lblSize = nullptr;
    QLabel *lblDate = nullptr;
    // Owner, Group, Everyone × Read, Write, Execute, in the order of TPermissionBoxes.
    QCheckBox *cbPermissions[9] = {};

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void BoxClicked(QCheckBox *box);
};
