// The debug trace file: its line layout, its permissions, writes from many threads,
// and the lines the engine writes.

#include "tests/engine/ScriptedEngine.h"

#include "tests/support/ProgramFolderGuard.h"

#include <gmock/gmock.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <thread>

using testing::HasSubstr;
using testing::Not;

namespace {

const QRegularExpression LinePattern(QStringLiteral(R"(^Thread [0-9A-F]{8} - \d{6,}ms - \d\d:\d\d:\d\d - (.*)$)"));

class EngineTraceTest : public EngineTestBase
{
protected:
    void SetUp() override
    {
        EngineTestBase::SetUp();
        DebugMode = true;
    }
    void TearDown() override
    {
        DebugMode = false;
        EngineTestBase::TearDown();
    }
    QString TracePath() const { return FFolder.filePath(QStringLiteral("Debug.txt")); }
    QByteArray TraceText() const
    {
        QFile file(TracePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The text part of every line; fails the test for a line out of layout.
    std::vector<std::string> TraceTexts() const
    {
        std::vector<std::string> texts;
        const QByteArray all = TraceText();
        EXPECT_TRUE(all.endsWith("\r\n"));
        for (const QByteArray &line : all.split('\n')) {
            if (line.isEmpty())
                continue;
            EXPECT_TRUE(line.endsWith('\r')) << line.toStdString();
            const QRegularExpressionMatch match = LinePattern.match(QString::fromUtf8(line.chopped(1)));
            EXPECT_TRUE(match.hasMatch()) << line.toStdString();
            texts.push_back(match.captured(1).toStdString());
        }
        return texts;
    }
    bool HasLine(const std::string &Text) const
    {
        const std::vector<std::string> texts = TraceTexts();
        return std::find(texts.begin(), texts.end(), Text) != texts.end();
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
};

} // namespace

TEST_F(EngineTraceTest, LineLayout)
{
    EXPECT_EQ(FormatTraceLine(0x1A2B, 0, "14:05:09", "Host h: Notify Log. Message = \"\r\nServer Type\""),
              "Thread 00001A2B - 000000ms - 14:05:09 - Host h: Notify Log. Message = \"~~Server Type\"");
    EXPECT_EQ(FormatTraceLine(0x7FFFFFFF, 1234567, "00:00:00", "x\ny"),
              "Thread 7FFFFFFF - 1234567ms - 00:00:00 - x~y");
}

TEST_F(EngineTraceTest, LinesAreAppendedToAPrivateFile)
{
    {
        QFile existing(TracePath());
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("Thread 00000001 - 000000ms - 10:00:00 - earlier line\r\n");
    }
    const auto modeOfTrace = [this] {
        struct stat info {};
        return ::stat(QFile::encodeName(TracePath()).constData(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    // The trace may hold passwords: an existing file readable by others is made private too.
    ASSERT_EQ(::chmod(QFile::encodeName(TracePath()).constData(), 0644), 0);
    Trace("first\r\nline");
    EXPECT_EQ(modeOfTrace(), 0600u);
    TraceFmt("second %d %s", 2, "x");
    EXPECT_THAT(TraceTexts(), testing::ElementsAre("earlier line", "first~~line", "second 2 x"));

    QFile::remove(TracePath());
    Trace("fresh");
    EXPECT_EQ(modeOfTrace(), 0600u);
}

TEST_F(EngineTraceTest, NothingIsWrittenWhileDebugModeIsOff)
{
    DebugMode = false;
    Trace("never");
    TraceFmt("never %d", 1);
    TFTPComponent engine;
    EXPECT_FALSE(QFile::exists(TracePath()));
}

TEST_F(EngineTraceTest, LinesOfManyThreadsNeverInterleave)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                TraceFmt("thread %d line %d %s", t, i, std::string(200, char('a' + t)).c_str());
        });
    for (std::thread &thread : threads)
        thread.join();
    const std::vector<std::string> texts = TraceTexts();
    ASSERT_EQ(texts.size(), 800u);
    const QRegularExpression whole(QStringLiteral("^thread (\\d) line \\d+ (a{200}|b{200}|c{200}|d{200})$"));
    for (const std::string &text : texts)
        EXPECT_TRUE(whole.match(QString::fromStdString(text)).hasMatch()) << text;
}

TEST_F(EngineTraceTest, EngineTracesQuietExchangesAndItsLifecycle)
{
    {
        TScriptedServer server(LoggedInScript().Answer("NOOP", "200 NOOP ok").Answer("PWD", "257 \"/\"").Hang());
        TFTPComponent engine;
        engine.SetServerType(0);
        TEngineRecorder recorder(engine);
        StartLogin(engine, server);
        ASSERT_TRUE(recorder.WaitFor("LoggedIn"));
        engine.NoOp();
        engine.GetCurrentFolder();
        ASSERT_TRUE(recorder.WaitFor("FolderReply"));
        EXPECT_FALSE(recorder.HasLog("NOOP"));
        EXPECT_FALSE(recorder.HasLog("REST 100"));
    }
    const std::vector<std::string> texts = TraceTexts();
    const auto has = [&](const std::string &part) {
        return std::any_of(texts.begin(), texts.end(), [&](const std::string &t) { return t.find(part) != std::string::npos; });
    };
    EXPECT_TRUE(HasLine("Adding new FTP Component..."));
    EXPECT_TRUE(HasLine("Added new FTP Component, Count = 1"));
    EXPECT_TRUE(has("Started new FTP thread, ThreadID = "));
    EXPECT_TRUE(has("Host 127.0.0.1: Adding Command \"Login\", Parameters = 127.0.0.1,"));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Executing command \"Login\""));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Adding Command \"NoOp\", Parameters = <none>"));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Adding Command \"GetCurrentFolder\", Parameters = <none>"));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Sending command \"NOOP\""));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Notify Log. Message = \"NOOP\"")) << "traced, though not posted";
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Sending command \"REST 100\""));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Sending command \"PASS secret\""));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Notify Log. Message = \"~~Server Type: UNIX (standard)\""));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Got return code = 257"));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Notify FolderReply. Folder = \"/\", ReplyType = 0, Result = 1"));
    EXPECT_TRUE(HasLine("Host 127.0.0.1: Notify LoggedIn"));
    EXPECT_TRUE(HasLine("Destroying FTP Component..."));
    EXPECT_TRUE(HasLine("Destroyed FTP Component, Count = 0"));
    EXPECT_TRUE(has("Ended FTP thread, ThreadID = "));
}
