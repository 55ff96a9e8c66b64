#pragma once

#include "platform/DateTime.h"
#include "transfers/Transfer.h"
#include "views/ViewState.h"

#include <QMetaMethod>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QAbstractItemView;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QMimeData;
class QStatusBar;
class TCustomView;
class TFileList;

// List styles, in the order of the main window's view-style menu.
enum TListStyle : int { lsLargeIcons = 0, lsSmallIcons = 1, lsList = 2, lsDetails = 3 };

// What a key pressed in a file list does.
enum class TKeyAction {
    None, // not handled: the list itself gets the key
    Open,
    Properties,
    Delete,
    DeleteNoConfirm,
    Rename,
    Refresh,
    SelectAll,
    InvertSelection,
    Copy,
    Cut,
    Paste,
    ContextMenu,
    FolderUp,
};

// The key map shared by every file view.
TKeyAction ListKeyAction(int key, Qt::KeyboardModifiers modifiers, bool hasSelection);

// The view whose list started a drag, from the drag's source object (the list or one
// of its parts); null for anything else.
TCustomView *DragSourceView(const QObject *source);

// The common base of the remote view (THostView) and the local view (TLocalView): one
// file list above one status bar, the operations the main window calls, the key map,
// drag and drop between views and the status texts.
//
// Items are indexes of the list's model (any column of the row). Folder paths are shown
// text; the remote view keeps the server's raw bytes behind them.
class TCustomView : public QWidget, public TTransferView
{
    Q_OBJECT

public:
    explicit TCustomView(QWidget *parent = nullptr);
    ~TCustomView() override;

    // The view a transfer started here should go to, named by whoever arranges the
    // views. A signal cannot answer, so this is a provider; it is never called once
    // `owner` is gone.
    using TTransferTargetProvider = std::function<TCustomView *(TCustomView *sender)>;
    void SetTransferTarget(const QObject *owner, TTransferTargetProvider provider);
    // Null when nobody names a target (or its owner is gone).
    TCustomView *TransferTarget();

    // While false, status recomputation is suppressed.
    bool DoUpdates() const { return FDoUpdates; }
    void SetDoUpdates(bool value) { FDoUpdates = value; }

    // The current folder, ending in the separator once set.
    virtual QString GetFolder() const;
    virtual void SetFolder(const QString &value);
    virtual QString GetMask() const = 0;
    virtual void SetMask(const QString &value);

    QChar Seperator() const { return FSeperator; }
    TFileList *ListView() const { return FListView; }
    QStatusBar *StatusBar() const { return FStatusBar; }
    // Text of status panel 0..3.
    QString PanelText(int panel) const;
    std::int64_t SelectedSize() const { return FSelectedSize; }

    // List style (TListStyle); the remote and the local view both offer the four.
    int ViewStyle() const;
    void SetViewStyle(int style);

    // Items: rows of the list, in list (display) order.
    int ItemCount() const;
    int SelectedCount() const;
    QModelIndexList SelectedItems() const;
    QModelIndex FocusedItem() const;
    bool ListHasFocus() const;

    // Operations; each kind of view supplies the pure virtual ones.
    virtual bool TransferFrom(TCustomView *source) = 0;
    virtual bool EnterFolder(const QModelIndex &item) = 0;
    virtual void PerformDoubleClick(const QModelIndex &item);
    virtual QString GetItemName(const QModelIndex &item) const = 0;
    virtual QString GetItemPath(const QModelIndex &item) const = 0;
    virtual bool IsFolder(const QModelIndex &item) const = 0;
    virtual bool IsLink(const QModelIndex &item) const = 0;
    virtual std::int64_t GetItemSize(const QModelIndex &item) const = 0;
    virtual TDateTime GetItemDate(const QModelIndex &item) const = 0;
    virtual bool ChangeFolder(const QString &path) = 0;
    virtual bool ChangeFolderAndWait(const QString &path) = 0;
    virtual bool FolderUp() = 0;
    virtual bool CreateFolder(const QString &name, bool edit) = 0;
    virtual bool DeleteSelected(bool confirm) = 0;
    virtual bool ShowProperties() = 0;
    virtual void CutSelection() {}
    virtual void CopySelection() {}
    virtual void PasteSelection() {}
    virtual void BeginRename();
    virtual void SelectAll();
    virtual void InvertSelection();
    virtual void Refresh() = 0;
    // A transfer into this view ended (called by the transfer queue); Folder and Name
    // are the server's raw bytes.
    void UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t attributes,
                     std::int64_t size, TDateTime date) override = 0;
    virtual bool RenameItem(const QString &oldName, const QString &newName) = 0;
    // False when target is null; otherwise the target's TransferFrom with this view.
    virtual bool TransferTo(TCustomView *target);

    // Recomputes the status panels and reports vsStatus.
    void UpdateStatus();

    // The list handlers; public so that tests and the main window's commands reach them
    // the way the list does.
    void ListDblClick(Qt::KeyboardModifiers modifiers);
    void ListDragDrop(const QObject *source);
    virtual bool ListDragOver(const QObject *source) const;
    // A drag from another program (it has no source in this one); refused by default.
    virtual bool ExternalDragOver(const QMimeData *data) const;
    // Takes what it needs from `data` at once: the data ends with the drop.
    virtual void ExternalDragDrop(const QMimeData *data);
    // Returns whether the key was used (the list must not see it).
    bool ListKeyDown(int key, Qt::KeyboardModifiers modifiers);

signals:
    // Before a file is deleted or renamed, with its local path or ftp:// URL.
    void FileChanging(TCustomView *sender, const QString &name);
    // The local view's folder changed or was refilled.
    void FolderShown(TCustomView *sender);
    // A file (not a folder) was opened by double-click or Enter; without a listener
    // the view opens it itself.
    void FileOpened(TCustomView *sender, const QModelIndex &item);
    // State changes and selection changes (TViewState codes).
    void StateReported(TCustomView *sender, int state, int count);

protected:
    // Places the descendant's list above the status bar and wires its events here.
    void SetListView(TFileList *list);
    void SetSeperator(QChar value) { FSeperator = value; }
    void SetPanelText(int panel, const QString &text);
    void SetTotalSize(std::int64_t value) { FTotalSize = value; }
    void SetSelectedSize(std::int64_t value) { FSelectedSize = value; }
    // The size the list shows for an item, which the status panels add up.
    virtual std::int64_t ListedItemSize(const QModelIndex &item) const { return GetItemSize(item); }
    void RaiseUpdateState(int state, int count = 0);
    bool IsEditing() const;
    void OpenContextMenuAtFocus();
    bool DragAccepted(const QDropEvent &drag) const;

    bool eventFilter(QObject *watched, QEvent *event) override;
    // Whether anybody listens to `signal` (some views behave differently then).
    template <typename Signal> bool IsListened(Signal signal) const
    {
        return isSignalConnected(QMetaMethod::fromSignal(signal));
    }

    QString FFolder;

private:
    void CreateStatusBar();

    TFileList *FListView = nullptr;
    QStatusBar *FStatusBar = nullptr;
    QLabel *FPanels[4] = {};
    QChar FSeperator = QLatin1Char('/');
    bool FDoUpdates = true;
    std::int64_t FSelectedSize = 0;
    std::int64_t FTotalSize = -1;
    QPointer<const QObject> FTransferTargetOwner;
    TTransferTargetProvider FTransferTarget;
};
