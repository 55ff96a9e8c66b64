// The overwrite and restart questions as real windows, offscreen.

#include "transfers/Confirm.h"
#include "transfers/Overwrt.h"
#include "transfers/QuestionWindows.h"
#include "transfers/Restart.h"

#include "tests/support/ModalWindows.h"
#include "tests/support/WidgetTests.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <utility>
#include <vector>

namespace {

TEST(QuestionWindows, OverwriteShowsBothFilesAndOffersRecoveryOnlyForAShorterOne)
{
    TfrmOverwrite window;
    window.FileName = "notes.txt";
    window.ExistingSize = 1200;
    window.NewSize = 3400;
    window.ExistingDate = TDateTime::FromDate(QDate(2024, 3, 5));
    window.NewDate = TDateTime::FromDateAndTime(QDate(2025, 1, 2), QTime(13, 45));
    window.show();

    EXPECT_EQ(window.windowTitle(), "Confirm File Overwrite");
    EXPECT_EQ(window.lblPrompt->text(), "This folder already contains a file called 'notes.txt.'");
    EXPECT_EQ(window.lblDesc1->text(), "Would you like to replace the existing file");
    EXPECT_EQ(window.lblDesc2->text(), "with this one?");
    EXPECT_EQ(window.lblSize1->text(), "1200 Bytes");
    EXPECT_EQ(window.lblSize2->text(), "3400 Bytes");
    EXPECT_EQ(window.lblDate1->text(), "modified on Tuesday, March 5, 2024");
    EXPECT_EQ(window.lblDate2->text(), "modified on Thursday, January 2, 2025") << "the date only";
    EXPECT_TRUE(window.btnForceRecover->isEnabled());
    EXPECT_TRUE(window.btnNo->isDefault());
    window.close();

    TfrmOverwrite same;
    same.FileName = "notes.txt";
    same.ExistingSize = 3400;
    same.NewSize = 3400;
    same.show();
    EXPECT_FALSE(same.btnForceRecover->isEnabled()) << "nothing to continue";

    TfrmOverwrite text;
    text.FileName = "notes.txt";
    text.ExistingSize = 1200;
    text.NewSize = 3400;
    text.SentAsText = true;
    text.show();
    EXPECT_FALSE(text.btnForceRecover->isEnabled()) << "no offset into a text file can be trusted";
}

TEST(QuestionWindows, OverwriteButtonsGiveTheirModalResults)
{
    const std::vector<std::pair<QPushButton *TfrmOverwrite::*, int>> buttons{
        {&TfrmOverwrite::btnYes, 6},      {&TfrmOverwrite::btnNo, 7},
        {&TfrmOverwrite::btnYesToAll, 10}, {&TfrmOverwrite::btnNoToAll, 9},
        {&TfrmOverwrite::btnForceRecover, 4},
    };
    for (const auto &[button, result] : buttons) {
        TfrmOverwrite window;
        window.ExistingSize = 1;
        window.NewSize = 2;
        window.show();
        (window.*button)->click();
        EXPECT_EQ(window.result(), result) << (window.*button)->text().toStdString();
        EXPECT_FALSE(window.isVisible());
    }

    TfrmOverwrite closed;
    closed.show();
    closed.close();
    EXPECT_EQ(closed.result(), 2) << "the close box answers Cancel";

    TfrmOverwrite escaped;
    escaped.show();
    QTest::keyClick(&escaped, Qt::Key_Escape);
    EXPECT_EQ(escaped.result(), 7) << "Escape presses the cancel button";
}

TEST(QuestionWindows, DeleteQuestionNamesWhatGoesAndOnlyYesLetsItGo)
{
    const auto asked = [](int count, const QString &name, bool folder) {
        TfrmConfirm window;
        window.ItemCount = count;
        window.ItemName = name;
        window.ItemIsFolder = folder;
        window.show();
        return window.windowTitle() + " | " + window.lblPrompt->text();
    };
    EXPECT_EQ(asked(1, "a.txt", false), "Confirm File Delete | Are you sure you want to delete a.txt?");
    EXPECT_EQ(asked(1, "pub", true),
              "Confirm Folder Delete | Are you sure you want to remove the folder pub and all its contents?");
    EXPECT_EQ(asked(3, "pub", true), "Confirm Multiple File Delete | Are you sure you want to delete these 3 items?");

    TfrmConfirm window;
    window.show();
    EXPECT_FALSE(window.btnYesToAll->isVisible());
    EXPECT_TRUE(window.btnNo->isDefault());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(window.result(), 7) << "Escape answers No";
    window.show();
    window.btnYes->click();
    EXPECT_EQ(window.result(), 6);
}

TEST(QuestionWindows, RestartAsksForTheFileAndReportsDontShowAgain)
{
    int dontShow = 0;
    TfrmRestart window;
    window.FileName = "movie.bin";
    QObject::connect(&window, &TfrmRestart::DontShowAgain, [&] { ++dontShow; });
    window.show();
    EXPECT_EQ(window.windowTitle(), "Confirm Restart of movie.bin");
    EXPECT_EQ(window.lblPrompt->text(),
              "It appears as though a previous transfer was not successfully completed. Although not all "
              "servers support this feature, would you like to try and resume the transfer where it left off?");
    EXPECT_EQ(window.cbDontShowAgain->text(), "Don't show this message again");
    EXPECT_FALSE(window.cbDontShowAgain->isChecked());
    EXPECT_TRUE(window.btnYesToAll->isDefault());
    window.btnNo->click();
    EXPECT_EQ(window.result(), 7);
    EXPECT_EQ(dontShow, 0) << "not checked";

    TfrmRestart checked;
    QObject::connect(&checked, &TfrmRestart::DontShowAgain, [&] { ++dontShow; });
    checked.show();
    checked.cbDontShowAgain->setChecked(true);
    checked.btnNo->click();
    EXPECT_EQ(checked.result(), 7);
    EXPECT_EQ(dontShow, 1);

    const std::vector<std::pair<QPushButton *TfrmRestart::*, int>> buttons{
        {&TfrmRestart::btnYes, 6}, {&TfrmRestart::btnYesToAll, 10}, {&TfrmRestart::btnNoToAll, 9}};
    for (const auto &[button, result] : buttons) {
        TfrmRestart other;
        other.show();
        (other.*button)->click();
        EXPECT_EQ(other.result(), result);
    }
    TfrmRestart closed;
    closed.show();
    closed.close();
    EXPECT_EQ(closed.result(), 2);
}

TEST(QuestionWindows, QuestionsOpenAWindowPerQuestionAndFreeIt)
{
    QWidget owner;
    TQuestionWindows questions(&owner);
    int unconfirmed = 0;
    const TScopedConnection heard = questions.OnRestartsUnconfirmed.Connect([&] { ++unconfirmed; });

    QString prompt;
    bool recoverEnabled = false;
    AnswerNextModalWindow([&](QWidget &window) {
        auto &overwrite = dynamic_cast<TfrmOverwrite &>(window);
        prompt = overwrite.lblPrompt->text();
        recoverEnabled = overwrite.btnForceRecover->isEnabled();
        overwrite.btnForceRecover->click();
    });
    EXPECT_EQ(questions.AskOverwrite({"caf\xc3\xa9.bin", 10, 20, {}, {}}), 4);
    EXPECT_EQ(prompt, QString::fromUtf8("This folder already contains a file called 'caf\xc3\xa9.bin.'"));
    EXPECT_TRUE(recoverEnabled);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(owner.findChildren<TfrmOverwrite *>().isEmpty()) << "freed after the answer";

    QString caption;
    AnswerNextModalWindow([&](QWidget &window) {
        auto &restart = dynamic_cast<TfrmRestart &>(window);
        caption = restart.windowTitle();
        restart.cbDontShowAgain->setChecked(true);
        restart.btnYesToAll->click();
    });
    EXPECT_EQ(questions.AskRestart("big.iso"), 10);
    EXPECT_EQ(caption, "Confirm Restart of big.iso");
    EXPECT_EQ(unconfirmed, 1);
    EXPECT_TRUE(owner.findChildren<TfrmRestart *>().isEmpty());
}

} // namespace
