#pragma once

#include <QComboBox>
#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QStandardItem;
class QStandardItemModel;
class QTreeView;

// The drop-down folder tree above the remote views: a root node "Server" for the
// server's top folder and one node per folder component. The main window owns one and
// hands it to the active remote view; the view fills it with the folders it has seen.
class TTreeCombo : public QComboBox
{
    Q_OBJECT

public:
    enum TRole {
        PathRole = Qt::UserRole + 1, // the folder's raw path (QByteArray), with separator
        ListedRole,                  // whether its listing is cached (otherwise dimmed)
        SortRole,
    };

    explicit TTreeCombo(QWidget *parent = nullptr);

    // Removes every node and the selection.
    void ClearItems();
    // Adds the nodes of `path` (ending in its separator) below the root, creating the
    // root for `seperator` alone when the tree is empty. `listed` tells which folders
    // have a cached listing; every node on the way is dimmed when not. With `select`
    // the final node is expanded and becomes the selection. Returns the paths of the
    // nodes it created, the root's first.
    std::vector<std::string> AddPath(const std::string &path, char seperator, bool select,
                 const std::function<bool(const std::string &)> &listed);
    // Batches additions: children are sorted once at the end.
    void BeginUpdate();
    void EndUpdate();

    bool IsEmpty() const;
    bool HasSelection() const { return FSelected.isValid(); }
    // The selected node's path; empty without a selection.
    std::string SelectedPath() const;
    // Nothing or the root is selected (no folder above).
    bool AtTop() const;

    QStandardItemModel *Model() const { return FModel; }
    QTreeView *Tree() const { return FTree; }
    // The node of a path, or null.
    QStandardItem *Node(const std::string &path) const;
    QStandardItem *RootNode() const;

    void showPopup() override;

signals:
    // The user chose a node (programmatic selections do not raise it).
    void FolderChosen();

private:
    QStandardItem *AddNode(QStandardItem *parent, const QString &text, const std::string &path);
    void Select(QStandardItem *node);
    void SortAll();
    // Closed, and open when selected.
    QIcon FolderIcon();

    QStandardItemModel *FModel;
    QTreeView *FTree;
    QHash<QByteArray, QStandardItem *> FNodes;
    QPersistentModelIndex FSelected;
    QIcon FFolderIcon;
    int FUpdateDepth = 0;
    bool FSortPending = false;
};

// The components of a folder path: "/pub/dir/" gives "", "pub", "dir"; each with the
// path up to and including its separator.
struct TPathStep
{
    std::string Component;
    std::string Path;
};
std::vector<TPathStep> FolderSteps(std::string_view path, char seperator);
