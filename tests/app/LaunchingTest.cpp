#include "app/Launching.h"
#include "views/Masks.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

using ::testing::ElementsAre;

const QString Hostile = QStringLiteral("a.txt; rm -rf ~ $(reboot) `id` \"q\" 'x'");

TEST(LaunchCommandLines, EveryPathIsOneArgumentWhateverItHolds)
{
    const TLaunch viewer = ViewerLaunch("/usr/bin/gedit", "/tmp/ferrow-0/" + Hostile, "/home/me/docs");
    EXPECT_EQ(viewer.Program, "/usr/bin/gedit");
    EXPECT_THAT(viewer.Arguments, ElementsAre("/tmp/ferrow-0/" + Hostile));
    EXPECT_EQ(viewer.WorkingFolder, "/home/me/docs");

    const QStringList paths{"/t/$(reboot).html", "/t/b c.htm"};
    EXPECT_THAT(EditorLaunch("/opt/scrivel", paths, "/t").Arguments,
                ElementsAre("/t/$(reboot).html", "/t/b c.htm"));
    EXPECT_EQ(EditorLaunch("/opt/scrivel", {}, "/t"), TLaunch{});

    // Local NotePad starts once per file in the viewer's own folder; the editor once.
    const auto notePad = LocalNotePadLaunches("/usr/bin/gedit", paths);
    ASSERT_EQ(notePad.size(), 2u);
    EXPECT_EQ(notePad[1], (TLaunch{"/usr/bin/gedit", {"/t/b c.htm"}, "/usr/bin"}));
    const auto editor = LocalEditorLaunches("/opt/scrivel", paths);
    ASSERT_EQ(editor.size(), 1u);
    EXPECT_EQ(editor[0].WorkingFolder, "/opt");
    EXPECT_TRUE(LocalEditorLaunches(QString(), paths).empty());
    EXPECT_EQ(ProgramFolderOf("sh"), QFileInfo(QStandardPaths::findExecutable("sh")).absolutePath());
    EXPECT_EQ(ProgramFolderOf("no-such-program-here"), QString());
}

TEST(LaunchCommandLines, FetchedCopiesByMode)
{
    const QStringList copies{"/tmp/ferrow-0/" + Hostile, "/tmp/ferrow-0/b.html"};
    const TFetchedPlan open = FetchedFilesPlan(fmOpen, copies, "/v", "/e", "/tmp/ferrow-0");
    EXPECT_EQ(open.OpenPath, copies[0]);
    EXPECT_TRUE(open.Launches.empty());
    EXPECT_TRUE(open.Temporary);

    const TFetchedPlan view = FetchedFilesPlan(fmView, copies, "/v", "/e", "/tmp/ferrow-0");
    ASSERT_EQ(view.Launches.size(), 2u);
    EXPECT_EQ(view.Launches[0], (TLaunch{"/v", {copies[0]}, "/tmp/ferrow-0"}));

    const TFetchedPlan edit = FetchedFilesPlan(fmEdit, copies, "/v", "/e", "/tmp/ferrow-0");
    ASSERT_EQ(edit.Launches.size(), 1u);
    EXPECT_EQ(edit.Launches[0], (TLaunch{"/e", copies, "/tmp/ferrow-0"}));
    EXPECT_TRUE(FetchedFilesPlan(fmEdit, copies, "/v", QString(), "/t").Launches.empty());

    // Download Now keeps its files: they went where the user asked.
    const TFetchedPlan now = FetchedFilesPlan(fmDownloadNow, copies, "/v", "/e", "/t");
    EXPECT_FALSE(now.Temporary);
    EXPECT_TRUE(now.Launches.empty());
    EXPECT_TRUE(now.OpenPath.isEmpty());
}

TEST(EditEntries, FollowSelectionKindAndRegisteredEditor)
{
    EXPECT_EQ(LocalEditEntries(false, false, "a.html", "/e"), TEditEntries{});
    EXPECT_EQ(LocalEditEntries(true, true, "site.html", "/e"), (TEditEntries{false, false}));
    EXPECT_EQ(LocalEditEntries(true, false, "INDEX.HTM", "/e"), (TEditEntries{true, true}));
    EXPECT_EQ(LocalEditEntries(true, false, "photo.jpg", "/e"), (TEditEntries{true, false}));
    // A local name without extension passes the editor's test; a remote one does not.
    EXPECT_EQ(LocalEditEntries(true, false, "Makefile", "/e"), (TEditEntries{true, true}));
    EXPECT_EQ(RemoteEditEntries(true, false, "Makefile", "/e"), (TEditEntries{true, false}));
    EXPECT_EQ(RemoteEditEntries(true, false, "notes.txt", "/e"), (TEditEntries{true, true}));
    EXPECT_EQ(RemoteEditEntries(false, false, "notes.txt", "/e"), TEditEntries{});
    // No editor registered: disabled on both sides.
    EXPECT_FALSE(LocalEditEntries(true, false, "a.html", QString()).Editor);
    EXPECT_FALSE(RemoteEditEntries(true, false, "a.html", QString()).Editor);
}

TEST(ViewerUrls, StartPageAndSelectionRule)
{
    QTemporaryDir folder;
    const QString index = folder.filePath("index.html");
    const QString data = folder.filePath("data.bin");
    const QString picture = folder.filePath("photo.JPG");
    for (const QString &path : {index, data, picture})
        QFile(path).open(QIODevice::WriteOnly);
    const QString welcome = folder.filePath("welcome.html");

    EXPECT_TRUE(IsWebFile("a.shtml"));
    EXPECT_TRUE(IsWebFile("photo.GIF"));
    EXPECT_FALSE(IsWebFile("a.htmlx"));
    EXPECT_FALSE(IsWebFile("html"));

    EXPECT_EQ(ViewerStartUrl({}, {}, welcome), QUrl::fromLocalFile(welcome).toString());
    EXPECT_EQ(ViewerStartUrl({}, data, welcome), QUrl::fromLocalFile(welcome).toString());
    EXPECT_EQ(ViewerStartUrl({}, index, welcome), QUrl::fromLocalFile(index).toString());
    EXPECT_EQ(ViewerStartUrl("ftp://h/docs/a%20b.htm", {}, welcome), "ftp://h/docs/a%20b.htm");
    EXPECT_EQ(ViewerStartUrl("ftp://h/docs/a.zip", {}, welcome), QUrl::fromLocalFile(welcome).toString());

    EXPECT_EQ(ViewerSelectionUrl({}, {}, index), QUrl::fromLocalFile(index).toString());
    EXPECT_EQ(ViewerSelectionUrl({}, {}, picture), QUrl::fromLocalFile(picture).toString());
    EXPECT_EQ(ViewerSelectionUrl({}, {}, data), QString());
    EXPECT_EQ(ViewerSelectionUrl({}, {}, folder.filePath("gone.html")), QString());
    EXPECT_EQ(ViewerSelectionUrl("ftp://h/p.html", "p.html", {}), "ftp://h/p.html");
    EXPECT_EQ(ViewerSelectionUrl("ftp://h/p.tar", "p.tar", {}), QString());
}

TEST(MaskPresets, EntriesGiveTheirMasks)
{
    const QStringList presets = MaskPresets();
    ASSERT_EQ(presets.size(), 4);
    EXPECT_EQ(MaskOfPreset(presets[0]), "*.zip;*.arj;*.a??;*.rar;*.r??;*.z");
    EXPECT_EQ(MaskOfPreset(presets[1]), "*.gif;*.jpg;*.bmp;*.png");
    EXPECT_EQ(MaskOfPreset(presets[2]), "*.htm;*.html;*.asp");
    EXPECT_EQ(MaskOfPreset(presets[3]), "*.*");
    EXPECT_EQ(MaskOfPreset("  *.txt  "), "*.txt");
}

} // namespace
