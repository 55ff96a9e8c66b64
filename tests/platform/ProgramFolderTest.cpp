#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class ProgramFolderTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QStandardPaths::setTestModeEnabled(true); }

    void SetUp() override
    {
        FHadVariable = qEnvironmentVariableIsSet("FERROW_PROGRAM_FOLDER");
        FOldVariable = qgetenv("FERROW_PROGRAM_FOLDER");
        qunsetenv("FERROW_PROGRAM_FOLDER");
        SetProgramFolderOverride(QString());
    }

    void TearDown() override
    {
        SetProgramFolderOverride(QString());
        if (FHadVariable)
            qputenv("FERROW_PROGRAM_FOLDER", FOldVariable);
    }

    QTemporaryDir FDir;
    bool FHadVariable = false;
    QByteArray FOldVariable;
};

TEST_F(ProgramFolderTest, AWritableExecutableFolderIsTheProgramFolder)
{
    // The test program runs from the build folder: a portable install.
    const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    ASSERT_FALSE(executable.isEmpty());
    EXPECT_EQ(ProgramFolder(), QFileInfo(executable).absolutePath());
    EXPECT_EQ(ProgramFilePath(QStringLiteral("Sites.ini")), QFileInfo(executable).absolutePath() + "/Sites.ini");

    EXPECT_EQ(ResolveProgramFolder(FDir.path() + QStringLiteral("/./")), QDir::cleanPath(FDir.path()));
}

TEST_F(ProgramFolderTest, OtherwiseThePerUserDataFolder)
{
    const QString user = UserProgramFolder();
    EXPECT_TRUE(user.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
    EXPECT_TRUE(user.contains(QStringLiteral(".qttest")));
    EXPECT_TRUE(QFileInfo(user).isDir()) << "created when missing";
    EXPECT_NE(user, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        << "never the shared data folder itself";

    EXPECT_EQ(ResolveProgramFolder(FDir.filePath(QStringLiteral("does/not/exist"))), user);
    EXPECT_EQ(ResolveProgramFolder(QString()), user);
    const QString file = FDir.filePath(QStringLiteral("a file"));
    QFile(file).open(QIODevice::WriteOnly);
    EXPECT_EQ(ResolveProgramFolder(file), user);
    // An installed copy, even one whose bin folder is writable (root, a prefix in the home).
    const QString bin = FDir.filePath(QStringLiteral("prefix/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(ResolveProgramFolder(bin), user);
    EXPECT_EQ(ResolveProgramFolder(bin + QStringLiteral("/")), user);

    if (::geteuid() != 0) {
        const QString readOnly = FDir.filePath(QStringLiteral("installed"));
        ASSERT_TRUE(QDir().mkpath(readOnly));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(ResolveProgramFolder(readOnly), user);
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST_F(ProgramFolderTest, OverridesWinInOrder)
{
    const QString fromEnvironment = FDir.filePath(QStringLiteral("env"));
    qputenv("FERROW_PROGRAM_FOLDER", QFile::encodeName(fromEnvironment + QStringLiteral("/")));
    EXPECT_EQ(ProgramFolder(), fromEnvironment);

    const QString fromSetter = FDir.filePath(QStringLiteral("setter"));
    SetProgramFolderOverride(fromSetter);
    EXPECT_EQ(ProgramFolder(), fromSetter);
    EXPECT_EQ(ProgramFilePath(QStringLiteral("Dev/dev.ini")), fromSetter + QStringLiteral("/Dev/dev.ini"));

    SetProgramFolderOverride(QStringLiteral("relative/folder"));
    EXPECT_EQ(ProgramFolder(), QDir::current().absoluteFilePath(QStringLiteral("relative/folder")));

    SetProgramFolderOverride(QStringLiteral("/"));
    EXPECT_EQ(ProgramFilePath(QStringLiteral("Debug.txt")), QStringLiteral("/Debug.txt"));

    SetProgramFolderOverride(QString());
    EXPECT_EQ(ProgramFolder(), fromEnvironment);
}

} // namespace
