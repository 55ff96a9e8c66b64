#include "views/TreeCombo.h"

#include "tests/support/WidgetTests.h"

#include <QStandardItemModel>
#include <QTreeView>

namespace {

std::vector<std::string> Children(const QStandardItem *node)
{
    std::vector<std::string> names;
    for (int row = 0; row < node->rowCount(); ++row)
        names.push_back(node->child(row)->text().toStdString());
    return names;
}

TEST(FolderSteps, SplitsAtTheSeperator)
{
    const std::vector<TPathStep> steps = FolderSteps("/pub/dir/", '/');
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].Component, "");
    EXPECT_EQ(steps[0].Path, "/");
    EXPECT_EQ(steps[1].Component, "pub");
    EXPECT_EQ(steps[1].Path, "/pub/");
    EXPECT_EQ(steps[2].Path, "/pub/dir/");

    const std::vector<TPathStep> dos = FolderSteps("C:\\DATA\\", '\\');
    ASSERT_EQ(dos.size(), 2u);
    EXPECT_EQ(dos[0].Component, "C:");
    EXPECT_EQ(dos[1].Path, "C:\\DATA\\");
}

TEST(TreeCombo, BuildsNodesUnderTheServerRoot)
{
    TTreeCombo combo;
    const std::vector<std::string> created =
        combo.AddPath("/pub/dir/", '/', false, [](const std::string &) { return true; });
    EXPECT_EQ(created, (std::vector<std::string>{"/", "/pub/", "/pub/dir/"}));
    ASSERT_NE(combo.RootNode(), nullptr);
    EXPECT_EQ(combo.RootNode()->text(), "Server");
    EXPECT_EQ(Children(combo.RootNode()), (std::vector<std::string>{"pub"}));
    EXPECT_EQ(Children(combo.Node("/pub/")), (std::vector<std::string>{"dir"}));
    EXPECT_FALSE(combo.HasSelection());

    // Known nodes are reused; new siblings are kept in alphabetical order.
    EXPECT_EQ(combo.AddPath("/pub/Alpha/", '/', false, nullptr), (std::vector<std::string>{"/pub/Alpha/"}));
    EXPECT_EQ(combo.AddPath("/etc/", '/', false, nullptr), (std::vector<std::string>{"/etc/"}));
    EXPECT_EQ(Children(combo.Node("/pub/")), (std::vector<std::string>{"Alpha", "dir"}));
    EXPECT_EQ(Children(combo.RootNode()), (std::vector<std::string>{"etc", "pub"}));
}

TEST(TreeCombo, SelectingShowsTheNodeAndTellsTheTop)
{
    TTreeCombo combo;
    combo.AddPath("/pub/dir/", '/', true, nullptr);
    EXPECT_TRUE(combo.HasSelection());
    EXPECT_EQ(combo.SelectedPath(), "/pub/dir/");
    EXPECT_EQ(combo.currentText(), "dir");
    EXPECT_FALSE(combo.AtTop());
    combo.AddPath("/", '/', true, nullptr);
    EXPECT_EQ(combo.SelectedPath(), "/");
    EXPECT_TRUE(combo.AtTop());
    combo.ClearItems();
    EXPECT_TRUE(combo.IsEmpty());
    EXPECT_FALSE(combo.HasSelection());
    EXPECT_TRUE(combo.SelectedPath().empty());
}

TEST(TreeCombo, UnlistedFoldersAreDimmed)
{
    TTreeCombo combo;
    combo.AddPath("/a/b/", '/', false, [](const std::string &path) { return path != "/a/"; });
    EXPECT_TRUE(combo.Node("/a/b/")->data(TTreeCombo::ListedRole).toBool());
    EXPECT_FALSE(combo.Node("/a/")->data(TTreeCombo::ListedRole).toBool());
    EXPECT_TRUE(combo.Node("/a/")->data(Qt::ForegroundRole).isValid());
    // Once listed, the node is shown normally.
    combo.AddPath("/a/", '/', false, [](const std::string &) { return true; });
    EXPECT_TRUE(combo.Node("/a/")->data(TTreeCombo::ListedRole).toBool());
    EXPECT_FALSE(combo.Node("/a/")->data(Qt::ForegroundRole).isValid());
}

TEST(TreeCombo, BatchedAdditionsAreSortedAtTheEnd)
{
    TTreeCombo combo;
    combo.BeginUpdate();
    for (const char *path : {"/z/", "/m/", "/a/"})
        combo.AddPath(path, '/', false, nullptr);
    combo.EndUpdate();
    EXPECT_EQ(Children(combo.RootNode()), (std::vector<std::string>{"a", "m", "z"}));
}

TEST(TreeCombo, UserChoiceIsReported)
{
    TTreeCombo combo;
    combo.AddPath("/pub/", '/', false, nullptr);
    int chosen = 0;
    QObject::connect(&combo, &TTreeCombo::FolderChosen, [&] { ++chosen; });
    // Programmatic selections stay silent.
    combo.AddPath("/pub/", '/', true, nullptr);
    EXPECT_EQ(chosen, 0);
    combo.Tree()->setCurrentIndex(combo.Node("/")->index());
    emit combo.activated(0);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(combo.SelectedPath(), "/");
}

} // namespace
