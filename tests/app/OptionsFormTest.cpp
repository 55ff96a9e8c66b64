#include "app/OptionsForm.h"
#include "app/Main.h"
#include "engine/FTPComp.h"
#include "platform/ProgramFolder.h"
#include "tests/support/ModalWindows.h"
#include "tests/support/ProgramFolderGuard.h"
#include "tests/support/WidgetTests.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

class OptionsFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WidgetTestApp();
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(FFolder.isValid());
        FSavedEngine = {.KeepAlive = TFTPComponent::KeepAlive,
                        .TimeoutMS = TFTPComponent::TimeoutMS,
                        .RetryCount = TFTPComponent::RetryCount};
    }
    void TearDown() override
    {
        TFTPComponent::KeepAlive = FSavedEngine.KeepAlive;
        TFTPComponent::TimeoutMS = FSavedEngine.TimeoutMS;
        TFTPComponent::RetryCount = FSavedEngine.RetryCount;
    }

    std::unique_ptr<TfrmMain> MakeWindow()
    {
        return std::make_unique<TfrmMain>(
            QStringList(), FTransfers.Queue(),
            std::make_unique<TWindowStateStore>(FFolder.filePath("ScrivelFerrow.ini")));
    }
    static QByteArray FileBytes(const QString &fileName)
    {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir FFolder;
    const TProgramFolderGuard FProgramFolder{FFolder.path()};
    TGlobalTransferItems FTransfers;
    TEngineSettings FSavedEngine;
};

// Opens the page that holds `control`, as the user would before using it.
void ShowPageOf(TfrmOptions &form, QWidget *control)
{
    for (int i = 0; i < form.Pages()->count(); ++i) {
        if (form.Pages()->widget(i)->isAncestorOf(control))
            form.Pages()->setCurrentIndex(i);
    }
}

// Replaces an edit's text as typing does (insert() counts as an edit, and takes any
// letter, where simulated keys take only ASCII).
void Type(TfrmOptions &form, QLineEdit *edit, const QString &text)
{
    ShowPageOf(form, edit);
    edit->setFocus();
    edit->selectAll();
    edit->del();
    edit->insert(text);
}

// What every option is changed to in the window: each away from its default.
QString TypedText(TOptionId id)
{
    switch (id) {
    case oiRetries:
        return QStringLiteral("12");
    case oiTimeout:
        return QStringLiteral("97");
    case oiViewer:
        return QStringLiteral("no-such-viewer-here");
    case oiLogFile:
        return QStringLiteral("mine.log");
    default:
        return QString::fromLatin1(OptionDescriptor(id).Key) + QStringLiteral(" välue");
    }
}

int ChosenItem(const TOptionDescriptor &d)
{
    return d.DefaultNumber == d.Max ? d.Min : d.Max;
}

// Changes every control the way a user would, in the order of the pages: a page's
// switch before the panel it enables.
void ChangeEveryControl(TfrmOptions &form)
{
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        QWidget *control = form.Control(d.Id);
        ASSERT_NE(control, nullptr) << d.Key;
        ShowPageOf(form, control);
        ASSERT_TRUE(control->isEnabled()) << d.Key;
        switch (d.Type) {
        case otBoolean:
            static_cast<QAbstractButton *>(control)->click();
            break;
        case otChoice:
            form.ChoiceButton(d.Id, ChosenItem(d))->click();
            break;
        case otNumber:
        case otText:
            Type(form, static_cast<QLineEdit *>(control), TypedText(d.Id));
            break;
        }
    }
    Type(form, form.ExtensionEdit(), "pl");
    form.AddButton()->click();
    form.ExtensionList()->setCurrentItem(form.ExtensionList()->findItems(".txt", Qt::MatchExactly).value(0));
    form.RemoveButton()->click();
}

QAction *PreferencesEntry(const TfrmMain &window)
{
    for (const QAction *menu : window.menuBar()->actions()) {
        if (menu->text() != "&Options")
            continue;
        for (QAction *entry : menu->menu()->actions()) {
            if (entry->text() == "General &Preferences")
                return entry;
        }
    }
    return nullptr;
}

// Runs `answer` on the next message box, once one is open over everything else.
void AnswerNextMessageBox(std::function<void(QMessageBox &)> answer)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            answer(*box);
        }
    });
    poll->start(10);
}

} // namespace

TEST_F(OptionsFormTest, EveryOptionSurvivesOkAndARestart)
{
    QString optionsFile;
    {
        auto window = MakeWindow();
        optionsFile = window->Options().FileName();
        QAction *preferences = PreferencesEntry(*window);
        ASSERT_NE(preferences, nullptr);
        bool answered = false;
        AnswerNextModalWindow([&](QWidget &shown) {
            auto &form = dynamic_cast<TfrmOptions &>(shown);
            EXPECT_EQ(form.windowTitle(), "General preferences");
            EXPECT_EQ(form.Pages()->currentIndex(), 0);
            ChangeEveryControl(form);
            form.OkButton()->click();
            answered = true;
        });
        preferences->trigger();
        ASSERT_TRUE(answered);

        // In force at once: the engines and the transfer queue.
        EXPECT_EQ(TFTPComponent::TimeoutMS, 97000);
        EXPECT_EQ(TFTPComponent::RetryCount, 0) << "until connected";
        EXPECT_FALSE(TFTPComponent::KeepAlive);
        EXPECT_EQ(window->Queue().Settings().TransferMode, 4);
        EXPECT_TRUE(window->Queue().Settings().FirewallEnabled);
        window->close();
    }
    struct stat info
    {};
    ASSERT_EQ(::stat(QFile::encodeName(optionsFile).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "it holds the e-mail address and the firewall password";

    // A restart reads every value back, and the window shows it.
    auto window = MakeWindow();
    const TOptions &options = window->Options();
    TOptions copy = options;
    TfrmOptions form(copy);
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        const QWidget *control = form.Control(d.Id);
        switch (d.Type) {
        case otBoolean:
            EXPECT_NE(options.Bool(d.Id), d.DefaultNumber != 0) << d.Key;
            EXPECT_EQ(static_cast<const QAbstractButton *>(control)->isChecked(), options.Bool(d.Id))
                << d.Key;
            break;
        case otChoice:
            EXPECT_EQ(options.Choice(d.Id), ChosenItem(d)) << d.Key;
            EXPECT_TRUE(form.ChoiceButton(d.Id, ChosenItem(d))->isChecked()) << d.Key;
            break;
        case otNumber:
        case otText:
            EXPECT_EQ(static_cast<const QLineEdit *>(control)->text(), TypedText(d.Id)) << d.Key;
            break;
        }
    }
    EXPECT_EQ(options.LogFile(), ProgramFilePath("mine.log")) << "the log file lies in the program folder";
    EXPECT_EQ(options.Viewer(), TypedText(oiViewer));
    EXPECT_TRUE(options.Extensions().contains(".pl"));
    EXPECT_FALSE(options.Extensions().contains(".txt"));
    EXPECT_EQ(form.ExtensionList()->count(), options.Extensions().size());
    window->close();
}

TEST_F(OptionsFormTest, CancelLeavesTheLiveValuesAndTheFileAsTheyWere)
{
    TOptions live(FFolder.filePath("ferrow.ini"));
    live.Load();
    live.SetText(oiEMail, "stored@example.org");
    ASSERT_TRUE(live.Save());
    const QByteArray before = FileBytes(live.FileName());
    const TOptions unchanged = live;
    const TEngineSettings engine{.KeepAlive = TFTPComponent::KeepAlive,
                                 .TimeoutMS = TFTPComponent::TimeoutMS,
                                 .RetryCount = TFTPComponent::RetryCount};

    TfrmOptions form(live);
    AnswerNextModalWindow([&](QWidget &) {
        ChangeEveryControl(form);
        form.CancelButton()->click();
    });
    EXPECT_FALSE(form.Edit());
    EXPECT_EQ(live, unchanged);
    EXPECT_EQ(FileBytes(live.FileName()), before);
    EXPECT_EQ(TFTPComponent::TimeoutMS, engine.TimeoutMS);
    EXPECT_EQ(TFTPComponent::RetryCount, engine.RetryCount);

    // The next showing shows the stored values again, on the first page.
    QString shownEMail;
    int shownPage = -1;
    AnswerNextModalWindow([&](QWidget &) {
        shownEMail = static_cast<QLineEdit *>(form.Control(oiEMail))->text();
        shownPage = form.Pages()->currentIndex();
        form.CancelButton()->click();
    });
    form.Edit();
    EXPECT_EQ(shownEMail, "stored@example.org");
    EXPECT_EQ(shownPage, 0);
}

TEST_F(OptionsFormTest, AValueThatCannotBeStoredIsRefusedNamingTheFieldAndNothingIsWritten)
{
    TOptions live(FFolder.filePath("ferrow.ini"));
    live.Load();
    const TOptions unchanged = live;

    TfrmOptions form(live);
    QStringList messages;
    bool stillOpen = true;
    AnswerNextModalWindow([&](QWidget &) {
        Type(form, static_cast<QLineEdit *>(form.Control(oiEMail)), "typed@example.org");
        for (const auto &[id, text] : {std::pair{oiTimeout, "abc"}, std::pair{oiRetries, "-1"}}) {
            Type(form, static_cast<QLineEdit *>(form.Control(oiTimeout)), "90");
            Type(form, static_cast<QLineEdit *>(form.Control(id)), text);
            AnswerNextMessageBox([&](QMessageBox &box) {
                messages << box.text();
                box.accept();
            });
            form.OkButton()->click();
            stillOpen = stillOpen && form.isVisible();
        }
        // Nothing typed is lost while the user mends the field.
        EXPECT_EQ(static_cast<QLineEdit *>(form.Control(oiEMail))->text(), "typed@example.org");
        form.CancelButton()->click();
    });
    EXPECT_FALSE(form.Edit());
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], "Timeout after ... seconds: 'abc' is not a valid integer value");
    EXPECT_TRUE(messages[1].startsWith("Try to reconnect ... times: '-1'")) << qPrintable(messages[1]);
    EXPECT_FALSE(QFile::exists(live.FileName())) << "nothing is written";
    EXPECT_EQ(live, unchanged);
}

TEST_F(OptionsFormTest, SwitchesEnableTheirPanelsAndExtensionButtonsFollowTheList)
{
    TOptions live(FFolder.filePath("ferrow.ini"));
    live.Load();
    TfrmOptions form(live);
    form.show();
    for (const auto &[enabler, inside] :
         {std::pair{oiFirewallEnabled, oiFirewallPassword}, std::pair{oiSoundsEnabled, oiErrorSound}}) {
        auto *box = static_cast<QCheckBox *>(form.Control(enabler));
        ShowPageOf(form, box);
        EXPECT_FALSE(form.Control(inside)->isEnabled());
        box->click();
        EXPECT_TRUE(form.Control(inside)->isEnabled());
    }
    auto *untilConnected = static_cast<QRadioButton *>(form.Control(oiInfiniteRetry));
    untilConnected->click();
    EXPECT_FALSE(form.Control(oiRetries)->isEnabled());

    EXPECT_FALSE(form.AddButton()->isEnabled());
    EXPECT_FALSE(form.RemoveButton()->isEnabled());
    Type(form, form.ExtensionEdit(), "txt");
    EXPECT_TRUE(form.AddButton()->isEnabled());
    form.AddButton()->click();
    EXPECT_EQ(form.ExtensionList()->findItems(".txt", Qt::MatchExactly).size(), 1) << "listed once";
    EXPECT_TRUE(form.ExtensionEdit()->text().isEmpty());
    form.ExtensionList()->setCurrentRow(0);
    EXPECT_TRUE(form.RemoveButton()->isEnabled());
    form.RemoveButton()->click();
    EXPECT_FALSE(form.RemoveButton()->isEnabled()) << "nothing is selected after a removal";
    form.close();
}
