#include "views/TreeCombo.h"

#include "views/RemotePaths.h"

#include <QFileIconProvider>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTreeView>

std::vector<TPathStep> FolderSteps(std::string_view path, char seperator)
{
    std::vector<TPathStep> steps;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(seperator, start);
        if (end == std::string_view::npos) {
            if (start == path.size())
                break;
            end = path.size();
        }
        std::string prefix(path.substr(0, end));
        prefix += seperator;
        steps.push_back({std::string(path.substr(start, end - start)), std::move(prefix)});
        start = end + 1;
    }
    return steps;
}

TTreeCombo::TTreeCombo(QWidget *parent)
    : QComboBox(parent), FModel(new QStandardItemModel(this)), FTree(new QTreeView(this))
{
    FModel->setSortRole(SortRole);
    FTree->setHeaderHidden(true);
    FTree->setItemsExpandable(true);
    FTree->setRootIsDecorated(true);
    setModel(FModel);
    setView(FTree);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(this, &QComboBox::activated, this, [this] {
        const QModelIndex chosen = FTree->currentIndex();
        if (chosen.isValid())
            Select(FModel->itemFromIndex(chosen));
        emit FolderChosen();
    });
}

void TTreeCombo::ClearItems()
{
    FSelected = QPersistentModelIndex();
    FNodes.clear();
    setRootModelIndex(QModelIndex());
    FModel->clear();
    setCurrentIndex(-1);
}

bool TTreeCombo::IsEmpty() const
{
    return FModel->rowCount() == 0;
}

QStandardItem *TTreeCombo::RootNode() const
{
    return FModel->item(0);
}

QStandardItem *TTreeCombo::Node(const std::string &path) const
{
    return FNodes.value(QByteArray::fromStdString(path), nullptr);
}

QStandardItem *TTreeCombo::AddNode(QStandardItem *parent, const QString &text, const std::string &path)
{
    auto *node = new QStandardItem(text);
    node->setEditable(false);
    node->setData(QByteArray::fromStdString(path), PathRole);
    node->setData(text.toLower(), SortRole);
    if (parent)
        parent->appendRow(node);
    else
        FModel->appendRow(node);
    FNodes.insert(QByteArray::fromStdString(path), node);
    FSortPending = true;
    return node;
}

std::vector<std::string> TTreeCombo::AddPath(const std::string &path, char seperator, bool select,
                                             const std::function<bool(const std::string &)> &listed)
{
    std::vector<std::string> created;
    QStandardItem *node = RootNode();
    if (!node) {
        const std::string rootPath(1, seperator);
        node = AddNode(nullptr, QStringLiteral("Server"), rootPath);
        node->setIcon(QFileIconProvider().icon(QAbstractFileIconProvider::Network));
        created.push_back(rootPath);
    }
    const auto mark = [&](QStandardItem *item) {
        const bool isListed = !listed || listed(item->data(PathRole).toByteArray().toStdString());
        item->setData(isListed, ListedRole);
        item->setData(isListed ? QVariant() : QVariant(FTree->palette().brush(QPalette::Disabled, QPalette::Text)),
                      Qt::ForegroundRole);
    };
    mark(node);
    const std::vector<TPathStep> steps = FolderSteps(path, seperator);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const TPathStep &step = steps[i];
        // The empty component before an absolute path's first separator is the root.
        if (step.Component.empty())
            continue;
        QStandardItem *child = Node(step.Path);
        if (!child) {
            child = AddNode(node, DecodeServerText(step.Component), step.Path);
            created.push_back(step.Path);
            child->setIcon(FolderIcon());
        }
        mark(child);
        node = child;
    }
    if (FUpdateDepth == 0)
        SortAll();
    if (select) {
        FTree->expand(node->index());
        Select(node);
    }
    return created;
}

QIcon TTreeCombo::FolderIcon()
{
    if (FFolderIcon.isNull()) {
        const QIcon closed = QFileIconProvider().icon(QAbstractFileIconProvider::Folder);
        const QIcon open = QIcon::fromTheme(QStringLiteral("folder-open"), closed);
        FFolderIcon.addPixmap(closed.pixmap(16), QIcon::Normal, QIcon::Off);
        FFolderIcon.addPixmap(open.pixmap(16), QIcon::Selected, QIcon::Off);
    }
    return FFolderIcon;
}

void TTreeCombo::BeginUpdate()
{
    if (FUpdateDepth++ == 0)
        FTree->setUpdatesEnabled(false);
}

void TTreeCombo::EndUpdate()
{
    if (FUpdateDepth == 0 || --FUpdateDepth > 0)
        return;
    SortAll();
    FTree->setUpdatesEnabled(true);
}

void TTreeCombo::SortAll()
{
    if (!FSortPending)
        return;
    FSortPending = false;
    FModel->sort(0);
}

void TTreeCombo::Select(QStandardItem *node)
{
    if (!node)
        return;
    FSelected = QPersistentModelIndex(node->index());
    // A combo box shows one level; point it at the node's parent to show the node.
    setRootModelIndex(node->index().parent());
    setCurrentIndex(node->row());
    setRootModelIndex(QModelIndex());
    for (QModelIndex up = node->index().parent(); up.isValid(); up = up.parent())
        FTree->expand(up);
}

std::string TTreeCombo::SelectedPath() const
{
    if (!FSelected.isValid())
        return std::string();
    return FSelected.data(PathRole).toByteArray().toStdString();
}

bool TTreeCombo::AtTop() const
{
    return !FSelected.isValid() || !FSelected.parent().isValid();
}

void TTreeCombo::showPopup()
{
    if (FSelected.isValid()) {
        for (QModelIndex up = FSelected.parent(); up.isValid(); up = up.parent())
            FTree->expand(up);
    }
    QComboBox::showPopup();
    if (FSelected.isValid())
        FTree->setCurrentIndex(FSelected);
}
