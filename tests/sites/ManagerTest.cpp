#include "sites/Manager.h"

#include "platform/IniFile.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/WidgetTests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const TManagerSettings Settings{"me@example.com", "/tmp"};

class ManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WidgetTestApp();
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FDir.isValid());
    }

    QString SitesFile() const { return FDir.filePath("Sites.ini"); }

    void WriteSites(const QByteArray &content) const
    {
        QFile file(SitesFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // Types a new site into the window as a user would: New, the name, then the fields.
    static void TypeNewSite(TfrmManager &manager, const QString &name, const QString &host)
    {
        manager.btnNewSite->click();
        manager.cmboSite->setEditText(name);
        manager.editHost->setText(host);
        manager.editUser->setText("bob");
        manager.editPassword->setText("secret");
    }

    // Presses OK while a message box is expected; returns its text.
    static QString OKRefusedWith(TfrmManager &manager)
    {
        QString text;
        AnswerNextModalWindow([&text](QWidget &window) {
            if (auto *box = qobject_cast<QMessageBox *>(&window))
                text = box->text();
            window.close();
        });
        manager.btnOK->click();
        return text;
    }

    QTemporaryDir FDir;
    const TProgramFolderGuard FProgramFolder{FDir.path()};
};

} // namespace

TEST_F(ManagerTest, AnEmptyStoreStartsANewSiteAndOKStoresItSorted)
{
    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    EXPECT_EQ(manager.windowTitle(), "Session properties");
    EXPECT_FALSE(manager.btnDeleteSite->isEnabled());
    EXPECT_EQ(manager.editLocalFolder[0]->text(), "/tmp") << "the default directory option";
    EXPECT_EQ(manager.editPort->text(), "21");
    EXPECT_EQ(manager.pgctrlMain->currentWidget(), manager.tbshtGeneral);
    EXPECT_EQ(manager.pgctrlMain->count(), 3) << "no preset file, no preset page";

    TypeNewSite(manager, "gamma", "g.example.com");
    manager.BtnApplyClick();
    TypeNewSite(manager, "alpha", "a.example.com");
    manager.BtnApplyClick();
    EXPECT_TRUE(manager.btnDeleteSite->isEnabled());

    // OK refuses an empty host, then an empty user, and keeps the window open.
    TypeNewSite(manager, "beta", " ");
    EXPECT_EQ(OKRefusedWith(manager), "Host field cannot be empty");
    EXPECT_TRUE(manager.isVisible());
    manager.editHost->setText("b.example.com");
    manager.editUser->clear();
    EXPECT_EQ(OKRefusedWith(manager), "UserID field cannot be empty");
    manager.editUser->setText("bob");
    manager.editPort->setText("2x");
    EXPECT_EQ(OKRefusedWith(manager), "Port must be a number from 1 to 65535");
    EXPECT_EQ(manager.pgctrlMain->currentWidget(), manager.tbshtAdditional) << "the port's page is shown";
    manager.editPort->setText("2121");
    manager.memoComment->setPlainText("first line\n\nthird, with a comma");
    manager.btnOK->click();
    EXPECT_EQ(manager.result(), QDialog::Accepted);
    EXPECT_FALSE(manager.isVisible());
    EXPECT_EQ(manager.SiteFromFields().Port, 2121);

    const TSiteStore store(SitesFile());
    EXPECT_EQ(store.Sites(), (QStringList{"alpha", "beta", "gamma"}));
    EXPECT_EQ(store.LastSite(), "beta");
    const TSite beta = *store.LoadSite("beta");
    EXPECT_EQ(beta.Host, "b.example.com");
    EXPECT_EQ(beta.Password, "secret");
    EXPECT_EQ(beta.Notes, (QStringList{"first line", "", "third, with a comma"}));
    EXPECT_EQ(QFile::permissions(SitesFile()),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    // The next opening shows the last site, and picking another loads it.
    TfrmManager again(SitesFile(), Settings);
    again.show();
    EXPECT_EQ(again.cmboSite->currentText(), "beta");
    EXPECT_EQ(again.editHost->text(), "b.example.com");
    EXPECT_EQ(again.editPassword->echoMode(), QLineEdit::Password);
    again.cmboSite->setCurrentIndex(0);
    EXPECT_EQ(again.CurrentSite(), "alpha");
    EXPECT_EQ(again.editHost->text(), "a.example.com");
    EXPECT_EQ(again.editPort->text(), "21");
    // Cancel stores nothing.
    again.editHost->setText("changed.example.com");
    again.btnCancel->click();
    EXPECT_EQ(TSiteStore(SitesFile()).LoadSite("alpha")->Host, "a.example.com");
}

TEST_F(ManagerTest, AnonymousShowsTheAddressAndAnEmptyEMailOptionTakesIt)
{
    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    TypeNewSite(manager, "anon", "ftp.example.com");
    manager.cbAnonymous->setChecked(true);
    EXPECT_EQ(manager.editUser->text(), "anonymous");
    EXPECT_EQ(manager.editPassword->text(), "me@example.com");
    EXPECT_EQ(manager.editPassword->echoMode(), QLineEdit::Normal) << "an address is no secret";
    manager.cbAnonymous->setChecked(false);
    EXPECT_EQ(manager.editPassword->echoMode(), QLineEdit::Password);
    manager.btnOK->click();
    EXPECT_FALSE(manager.EMailToStore()) << "the option had an address";

    TfrmManager noAddress(SitesFile(), {QString(), QString()});
    noAddress.show();
    TypeNewSite(noAddress, "anon2", "ftp.example.com");
    noAddress.cbAnonymous->setChecked(true);
    noAddress.editPassword->setText("typed@example.com");
    noAddress.btnOK->click();
    ASSERT_TRUE(noAddress.EMailToStore());
    EXPECT_EQ(*noAddress.EMailToStore(), "typed@example.com");
    EXPECT_TRUE(TSiteStore(SitesFile()).LoadSite("anon2")->Anonymous);
}

TEST_F(ManagerTest, DeletingAsksAndTheLastDeletionStartsANewSite)
{
    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    TypeNewSite(manager, "only", "o.example.com");
    manager.BtnApplyClick();

    QString asked;
    const auto answer = [&asked](QMessageBox::StandardButton button) {
        AnswerNextModalWindow([&asked, button](QWidget &window) {
            auto *box = qobject_cast<QMessageBox *>(&window);
            ASSERT_TRUE(box);
            asked = box->text();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::No);
    manager.btnDeleteSite->click();
    EXPECT_EQ(asked, "Are you sure you want to delete the only site?");
    EXPECT_EQ(TSiteStore(SitesFile()).Sites(), QStringList{"only"});

    answer(QMessageBox::Yes);
    manager.btnDeleteSite->click();
    EXPECT_TRUE(TSiteStore(SitesFile()).Sites().isEmpty());
    EXPECT_FALSE(manager.btnDeleteSite->isEnabled());
    EXPECT_TRUE(manager.cmboSite->currentText().isEmpty());
    EXPECT_TRUE(manager.editHost->text().isEmpty());
    EXPECT_EQ(manager.editLocalFolder[0]->text(), "/tmp");
    EXPECT_EQ(manager.cmboSite->count(), 0);
}

TEST_F(ManagerTest, BrowseStartsInTheFirstLocalFolderAndFillsItsOwn)
{
    QDir(FDir.path()).mkpath("start/inner");
    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    manager.editLocalFolder[0]->setText(FDir.filePath("start"));
    QString startedIn;
    AnswerNextModalWindow([&](QWidget &window) {
        auto *dialog = qobject_cast<QFileDialog *>(&window);
        ASSERT_TRUE(dialog);
        startedIn = dialog->directory().absolutePath();
        EXPECT_EQ(dialog->windowTitle(), "Select a directory");
        dialog->selectFile(FDir.filePath("start/inner"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    manager.btnBrowse[1]->click();
    EXPECT_EQ(startedIn, FDir.filePath("start"));
    EXPECT_EQ(manager.editLocalFolder[1]->text(), FDir.filePath("start/inner"));
    EXPECT_EQ(manager.editLocalFolder[0]->text(), FDir.filePath("start"));
}

TEST_F(ManagerTest, ADamagedFileShowsWhatCanBeReadAndLosesNothingOnSave)
{
    WriteSites("\x01\x02 garbage without a section\n"
               "[Sites]\n"
               "Site3=zeta\n"
               "Site1=alpha\n"
               "this line means nothing\n"
               "[alpha]\n"
               "Host=a.example.com\n"
               "Port=99999999999\n"
               "[alpha]\n"
               "Host=second.example.com\n"
               "[zeta]\n"
               "Host=z.example.com\n"
               "[orphan]\n"
               "Host=o.example.com\n");
    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    ASSERT_EQ(manager.cmboSite->count(), 2);
    EXPECT_EQ(manager.cmboSite->itemText(0), "alpha");
    EXPECT_EQ(manager.cmboSite->itemText(1), "zeta");
    EXPECT_TRUE(manager.cmboSite->currentText().isEmpty()) << "no LastSite: none selected";
    manager.cmboSite->setCurrentIndex(0);
    EXPECT_FALSE(manager.editHost->text().isEmpty());
    EXPECT_EQ(manager.editPort->text(), "21") << "a port out of range reads as the default";

    TypeNewSite(manager, "beta", "b.example.com");
    manager.btnOK->click();
    const TIniFile ini(SitesFile());
    EXPECT_EQ(ini.ReadString("zeta", "Host", QString()), "z.example.com");
    EXPECT_EQ(ini.ReadString("orphan", "Host", QString()), "o.example.com")
        << "a site outside the index stays";
    EXPECT_EQ(TSiteStore(SitesFile()).Sites(), (QStringList{"alpha", "beta", "zeta"}));
}

TEST_F(ManagerTest, APresetFileAddsItsOwnFirstPage)
{
    TPresetSite preset;
    preset.Name = "Our server";
    preset.Host = "preset.example.com";
    preset.UserName = "pre";
    preset.Password = "set";
    ASSERT_TRUE(TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), preset));
    QImage logo(40, 30, QImage::Format_RGB32);
    logo.fill(Qt::darkBlue);
    ASSERT_TRUE(logo.save(TSiteStore::PresetLogoFileName(), "GIF")
                || logo.save(TSiteStore::PresetLogoFileName(), "PNG"));

    TfrmManager manager(SitesFile(), Settings);
    manager.show();
    ASSERT_TRUE(manager.tbshtPred);
    EXPECT_EQ(manager.pgctrlMain->currentWidget(), manager.tbshtPred);
    EXPECT_EQ(manager.pgctrlMain->tabText(0), "Our server");
    EXPECT_FALSE(manager.FTPlogo->pixmap().isNull());
    EXPECT_EQ(manager.EditHostPred->text(), "preset.example.com");
    EXPECT_EQ(manager.editHost->text(), "preset.example.com") << "the general fields follow the preset";
    EXPECT_EQ(manager.CurrentSite(), "Our server");

    manager.EditPasswordPred->setFocus();
    manager.EditPasswordPred->selectAll();
    QTest::keyClicks(manager.EditPasswordPred, "typed");
    EXPECT_EQ(manager.editPassword->text(), "typed");
    manager.btnOK->click();
    EXPECT_EQ(TSiteStore::LoadPresetSite(TSiteStore::PresetFileName())->Password, "typed");
    EXPECT_EQ(TSiteStore(SitesFile()).LoadSite("Our server")->Host, "preset.example.com");
}
