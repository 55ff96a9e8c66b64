#include "app/MessageWindow.h"
#include "tests/support/WidgetTests.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QColor LineColor(const TMessageWindow &window, int line)
{
    const QTextBlock block = window.document()->findBlockByNumber(line);
    return block.begin().fragment().charFormat().foreground().color();
}

int ModeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class MessageWindowTest : public ::testing::Test
{
protected:
    // The application must exist before the first widget.
    QApplication &app = WidgetTestApp();
    TMessageWindow window;
};

} // namespace

TEST_F(MessageWindowTest, LinesKeepTheirColoursAndRebuildReplacesThem)
{
    window.AddLine("USER demo", Qt::darkGreen);
    window.AddLine("", Qt::black);
    window.AddLine("331 Password required", Qt::blue);
    ASSERT_EQ(window.LineCount(), 3);
    EXPECT_EQ(window.toPlainText(), "USER demo\n\n331 Password required");
    EXPECT_EQ(LineColor(window, 0), QColor(Qt::darkGreen));
    EXPECT_EQ(LineColor(window, 2), QColor(Qt::blue));

    window.Rebuild({{"530 Login incorrect.", Qt::red}, {"QUIT", Qt::darkGreen}});
    EXPECT_EQ(window.toPlainText(), "530 Login incorrect.\nQUIT");
    EXPECT_EQ(LineColor(window, 0), QColor(Qt::red));
    EXPECT_EQ(LineColor(window, 1), QColor(Qt::darkGreen));

    window.Rebuild({});
    EXPECT_TRUE(window.IsEmpty());
}

TEST_F(MessageWindowTest, PopupEntriesOnlyWithLines)
{
    window.UpdatePopupState();
    EXPECT_FALSE(window.SaveAction()->isEnabled());
    EXPECT_FALSE(window.SaveAsAction()->isEnabled());
    EXPECT_FALSE(window.ClearAction()->isEnabled());
    window.AddLine("220 ready", Qt::blue);
    window.UpdatePopupState();
    EXPECT_TRUE(window.SaveAction()->isEnabled());
    EXPECT_TRUE(window.ClearAction()->isEnabled());
    window.ClearAction()->trigger();
    EXPECT_TRUE(window.IsEmpty());
}

TEST_F(MessageWindowTest, SaveReplacesTheFileAndClears)
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath("Ferrow.log");
    window.SetLogFileProvider([&] { return logFile; });

    window.AddLine("ACCT secret", Qt::darkGreen);
    window.SaveLog();
    EXPECT_TRUE(window.IsEmpty());
    EXPECT_EQ(ModeOf(logFile), 0600);
    ASSERT_EQ(::chmod(QFile::encodeName(logFile).constData(), 0644), 0);
    window.AddLine("second", Qt::black);
    window.AddLine("third", Qt::blue);
    window.SaveLog();
    EXPECT_EQ(ReadFile(logFile), "second\nthird\n") << "only the second batch stays";
    EXPECT_EQ(ModeOf(logFile), 0600) << "an older log readable by others is made private";
}

TEST_F(MessageWindowTest, UnwritableFileReportsAndKeepsLines)
{
    window.AddLine("keep me", Qt::black);
    QString error;
    const QString path = "/nonexistent-folder/x.log";
    EXPECT_FALSE(window.SaveToFile(path, &error));
    EXPECT_EQ(error, "Cannot create file " + path);
    EXPECT_EQ(window.LineCount(), 1);
}
