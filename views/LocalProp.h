#pragma once

#include "views/FileProp.h"

#include <QStringList>

// The properties of the entries selected in a local view: the remote window's page, with
// this computer's location and the time of day, folders counted with their contents, and
// permission boxes that change the files' modes only when one is clicked and OK pressed.
class TfrmLocalProperties : public TfrmProperties
{
    Q_OBJECT

public:
    // `paths` and `types` (the list's Type column) go together, one per selected entry.
    TfrmLocalProperties(const QStringList &paths, const QStringList &types, const QString &folder,
                        QWidget *parent = nullptr);

    const QStringList &Paths() const { return FPaths; }
    // After OK: gives every changed entry its new permissions; the failures, one a line.
    QStringList ApplyPermissions() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    const QStringList FPaths;
    const QString FFolder;
};
