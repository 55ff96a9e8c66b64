#pragma once

#include "views/AllViews.h"

#include "views/LocalFiles.h"
#include "views/LocalFolderModel.h"
#include "views/LocalProp.h"

#include <QPointer>

#include <QSet>

#include <cstdint>
#include <functional>

class QFileSystemWatcher;
class QTimer;

// The view of one local folder: a file-system list under the common view interface, the
// source of uploads and the target of downloads.
class TLocalView : public TCustomView
{
    Q_OBJECT

public:
    explicit TLocalView(QWidget *parent = nullptr);
    ~TLocalView() override;

    TLocalFolderModel *Model() const { return FModel; }
    // The folder's name as a tab caption.
    QString DisplayName() const;
    // The folder is the top of the file system (no Up One Level).
    bool IsAtRoot() const;

    // Asks the user a yes/no question; tests replace it.
    std::function<bool(const QString &question)> Confirm;
    // Tells the user about a failure; tests replace it.
    std::function<void(const QString &message)> ShowError;
    // Asks what a paste does with a name the folder already holds; tests replace it.
    std::function<TReplaceAnswer(const QString &name)> AskReplace;

    // The properties window while it is open.
    TfrmLocalProperties *PropertiesWindow() const { return FPropertiesWindow; }

    // ---- TCustomView ----
    QString GetMask() const override;
    void SetMask(const QString &value) override;
    bool TransferFrom(TCustomView *source) override;
    bool EnterFolder(const QModelIndex &item) override;
    QString GetItemName(const QModelIndex &item) const override;
    QString GetItemPath(const QModelIndex &item) const override;
    bool IsFolder(const QModelIndex &item) const override;
    bool IsLink(const QModelIndex &item) const override;
    // Size and date as the disk has them now, which a running download may have changed.
    std::int64_t GetItemSize(const QModelIndex &item) const override;
    TDateTime GetItemDate(const QModelIndex &item) const override;
    bool ChangeFolder(const QString &path) override;
    bool ChangeFolderAndWait(const QString &path) override;
    bool FolderUp() override;
    bool CreateFolder(const QString &name, bool edit) override;
    bool DeleteSelected(bool confirm) override;
    bool ShowProperties() override;
    void CutSelection() override;
    void CopySelection() override;
    void PasteSelection() override;
    void Refresh() override;
    void UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t attributes,
                     std::int64_t size, TDateTime date) override;
    bool RenameItem(const QString &oldName, const QString &newName) override;

protected:
    std::int64_t ListedItemSize(const QModelIndex &item) const override;

private:
    void CreateListView();
    // Shows `path` without the beep of ChangeFolder.
    void OpenFolder(const QString &path);
    // The folder changed or its contents did: status, free space, FolderShown.
    void FolderChanged();
    // Changes on disk are gathered and applied together, at most as often as their
    // cost allows, so that a long run of downloads into the folder is not slowed by it.
    void ScheduleReload(const QString &name = QString()) const;
    void ApplyReload();
    void Watch(const QString &folder);
    QStringList SelectedPaths() const;
    void PutOnClipboard(bool cut);
    void Report(const QString &message) const;

    TLocalFolderModel *FModel = nullptr;
    QFileSystemWatcher *FWatcher = nullptr;
    QTimer *FReloadTimer = nullptr;
    mutable QSet<QString> FChangedNames;
    bool FNamesChanged = false;
    int FReloadDelayMS = 0;
    QString FFilter;
    QPointer<TfrmLocalProperties> FPropertiesWindow;
};
