#include "app/WindowState.h"

#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString MainKey = QStringLiteral("Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main");
const QString ColumnsKey = MainKey + QStringLiteral("\\Column Widths");

class WindowStateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FDir.isValid());
    }

    QString RegistryFile() const { return FDir.filePath("Velunor Media/ScrivelFerrow.ini"); }
    TWindowStateStore Store() const { return TWindowStateStore(RegistryFile()); }
    void WriteFile(const QByteArray &content) const
    {
        ASSERT_TRUE(QDir().mkpath(FDir.filePath("Velunor Media")));
        QFile file(RegistryFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QString Stored(const QString &section, const QString &key) const
    {
        return TIniFile(RegistryFile()).ReadString(section, key, QStringLiteral("<missing>"));
    }

    QTemporaryDir FDir;
};

TLastConnections Connections(std::initializer_list<const char *> names)
{
    TLastConnections list;
    int slot = 0;
    for (const char *name : names)
        list.SetSite(slot++, QString::fromUtf8(name));
    return list;
}

} // namespace

TEST_F(WindowStateTest, DefaultsWithoutAFile)
{
    const TMainWindowState state = Store().LoadMainWindow();
    EXPECT_EQ(state, TMainWindowState{});
    EXPECT_EQ(state.State, wssNormal);
    EXPECT_EQ(state.Left, 157);
    EXPECT_EQ(state.Top, 86);
    EXPECT_EQ(state.Width, 648);
    EXPECT_EQ(state.Height, 488);
    EXPECT_EQ(state.LocalViewStyle, 2);
    EXPECT_EQ(state.HostViewStyle, 2);
    EXPECT_EQ(state.LogHeight, 125);
    EXPECT_EQ(state.ToolBarMin, 30);
    EXPECT_FALSE(state.LargeToolBar());
    EXPECT_FALSE(Store().LoadLastConnections().Any());
    EXPECT_EQ(Store().LoadColumnWidths(vsLocal, {100, 80, 60}), std::vector<int>({100, 80, 60}));
    EXPECT_TRUE(Store().HtmlEditor().isEmpty());
    EXPECT_FALSE(QFile::exists(RegistryFile()));
}

TEST_F(WindowStateTest, StateRoundTrips)
{
    TMainWindowState state;
    state.Left = -8;
    state.Top = 20;
    state.Width = 1024;
    state.Height = 700;
    state.LocalViewStyle = 3;
    state.HostViewStyle = 0;
    state.LogHeight = 200;
    state.ToolBarMin = 64;
    const TLastConnections sites = Connections({"alpha", "beta", "", "gamma"});
    ASSERT_TRUE(Store().Save(state, sites));

    EXPECT_EQ(Store().LoadMainWindow(), state);
    EXPECT_TRUE(Store().LoadMainWindow().LargeToolBar());
    EXPECT_EQ(Store().LoadLastConnections(), sites);
    EXPECT_EQ(Stored(MainKey, "Width"), "1024");
    EXPECT_EQ(Stored("Software\\Velunor Media\\ScrivelFerrow\\Options", "ToolBarMin"), "64");
    EXPECT_EQ(Stored("Software\\Velunor Media\\ScrivelFerrow\\Last Connections1", "Site"), "alpha");
    EXPECT_EQ(Stored("Software\\Velunor Media\\ScrivelFerrow\\Last Connections8", "Site"), "");
}

TEST_F(WindowStateTest, MaximisedWindowKeepsItsNormalBounds)
{
    TMainWindowState normal;
    normal.Left = 10;
    normal.Top = 11;
    normal.Width = 800;
    normal.Height = 600;
    ASSERT_TRUE(Store().Save(normal, {}));

    TMainWindowState maximised = normal;
    maximised.State = wssMaximized;
    maximised.Left = -4;
    maximised.Top = -4;
    maximised.Width = 1928;
    maximised.Height = 1088;
    ASSERT_TRUE(Store().Save(maximised, {}));

    const TMainWindowState back = Store().LoadMainWindow();
    EXPECT_EQ(back.State, wssMaximized);
    EXPECT_EQ(back.Left, 10);
    EXPECT_EQ(back.Top, 11);
    EXPECT_EQ(back.Width, 800);
    EXPECT_EQ(back.Height, 600);
}

TEST_F(WindowStateTest, ToolBarSize)
{
    TMainWindowState state;
    state.ToolBarMin = 59;
    EXPECT_FALSE(state.LargeToolBar());
    state.ToolBarMin = 60;
    EXPECT_TRUE(state.LargeToolBar());
}

TEST_F(WindowStateTest, UnusableValuesReadAsDefaults)
{
    WriteFile("[Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main]\n"
              "State=7\nLeft=abc\nTop=  -30 \nWidth=0\nHeight=-1\nLocalViewStyle=4\n"
              "HostViewStyle=1\nLogHeight=-5\nUnknown=x\n"
              "[software\\velunor media\\scrivelferrow\\options]\nToolBarMin=big\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Windows\\Main\\Column Widths]\n"
              "LocalCol0=-10\nLocalCol1=120\nLocalCol2=99999\nHostCol0=\"55\"\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Last Connections2]\nSite=\"quoted site\"\n"
              "[Software\\Velunor Media\\ScrivelFerrow\\Last Connections9]\nSite=ninth\n");
    const TMainWindowState state = Store().LoadMainWindow();
    EXPECT_EQ(state.State, wssNormal);
    EXPECT_EQ(state.Left, 157);
    EXPECT_EQ(state.Top, -30);
    EXPECT_EQ(state.Width, 648);
    EXPECT_EQ(state.Height, 488);
    EXPECT_EQ(state.LocalViewStyle, 2);
    EXPECT_EQ(state.HostViewStyle, 1);
    EXPECT_EQ(state.LogHeight, 125);
    EXPECT_EQ(state.ToolBarMin, 30);
    EXPECT_EQ(Store().LoadColumnWidths(vsLocal, {1, 2, 3, 4}), std::vector<int>({1, 120, 3, 4}));
    EXPECT_EQ(Store().LoadColumnWidths(vsHost, {1, 2}), std::vector<int>({55, 2}));
    EXPECT_EQ(Store().LoadLastConnections(), Connections({"", "quoted site"}));

    // Saving keeps what it does not write.
    ASSERT_TRUE(Store().Save(state, {}));
    EXPECT_EQ(Stored(MainKey, "Unknown"), "x");
    EXPECT_EQ(Stored("Software\\Velunor Media\\ScrivelFerrow\\Last Connections9", "Site"), "ninth");
}

TEST_F(WindowStateTest, ColumnWidthsOfTheFirstFourColumns)
{
    ASSERT_TRUE(Store().SaveColumnWidths(vsLocal, {200, 90, 70, 110, 50}));
    ASSERT_TRUE(Store().SaveColumnWidths(vsHost, {150, 60}));
    EXPECT_EQ(Stored(ColumnsKey, "LocalCol3"), "110");
    EXPECT_EQ(Stored(ColumnsKey, "LocalCol4"), "<missing>");
    EXPECT_EQ(Stored(ColumnsKey, "HostCol2"), "<missing>");

    EXPECT_EQ(Store().LoadColumnWidths(vsLocal, {1, 1, 1, 1, 1}), std::vector<int>({200, 90, 70, 110, 1}));
    EXPECT_EQ(Store().LoadColumnWidths(vsHost, {5, 5, 5, 5}), std::vector<int>({150, 60, 5, 5}));
    EXPECT_EQ(Store().LoadColumnWidths(vsHost, {}), std::vector<int>());
}

TEST(LastConnectionsTest, MostRecentFirst)
{
    TLastConnections list;
    EXPECT_FALSE(list.Any());
    list.Add("a");
    list.Add("a");
    EXPECT_EQ(list, Connections({"a"}));
    EXPECT_TRUE(list.Any());

    list.Add("b");
    list.Add("c");
    EXPECT_EQ(list, Connections({"c", "b", "a"}));
    list.Add("a"); // from slot 2 to the top; the others move down
    EXPECT_EQ(list, Connections({"a", "c", "b"}));
    list.Add("A"); // another name: letter case counts
    EXPECT_EQ(list, Connections({"A", "a", "c", "b"}));
    list.Add("");
    EXPECT_EQ(list, Connections({"A", "a", "c", "b"}));

    for (const char *name : {"d", "e", "f", "g"})
        list.Add(name);
    EXPECT_EQ(list, Connections({"g", "f", "e", "d", "A", "a", "c", "b"}));
    list.Add("h"); // a ninth distinct site pushes the oldest out
    EXPECT_EQ(list, Connections({"h", "g", "f", "e", "d", "A", "a", "c"}));
    list.Add("c"); // from the last slot
    EXPECT_EQ(list, Connections({"c", "h", "g", "f", "e", "d", "A", "a"}));
}

TEST_F(WindowStateTest, HtmlEditor)
{
    EXPECT_EQ(HtmlEditorFromCommand("/usr/bin/bluefish %f"), "/usr/bin/bluefish");
    EXPECT_EQ(HtmlEditorFromCommand("\"/opt/My Editor/edit\" --new \"%1\""), "/opt/My Editor/edit");
    EXPECT_EQ(HtmlEditorFromCommand("/usr/bin/plain"), "/usr/bin/plain");
    EXPECT_EQ(HtmlEditorFromCommand("  "), "");

    WriteFile("[Classes\\htmlfile\\shell\\Scrivel\\command]\n=/usr/bin/bluefish --line 1 %1\n");
    EXPECT_EQ(Store().HtmlEditor(), "/usr/bin/bluefish");
}
