#pragma once

#include "views/FileProp.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <thread>

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
    // Folders are counted on a thread of their own, so a large tree does not hold the
    // window; the size shows what is counted so far until every folder is done.
    void CountFolders(std::vector<std::size_t> folders);
    void FolderCounted(std::size_t entry, std::int64_t size, bool done);

    const QStringList FPaths;
    const QString FFolder;
    std::jthread FCounting; // last: stopped and joined before anything it reports to goes
};
