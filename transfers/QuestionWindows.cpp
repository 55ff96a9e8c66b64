#include "transfers/QuestionWindows.h"

#include "transfers/Overwrt.h"
#include "transfers/Restart.h"
#include "transfers/Transfer.h"

namespace {

// Shows the window modally and frees it. The parent owns it meanwhile, so a parent that
// goes away while the question is open takes the window with it (the answer is then
// "none").
template <typename TWindow, typename TSetup>
int AskInWindow(QWidget *parent, TSetup setup)
{
    const QPointer<TWindow> window = new TWindow(parent);
    setup(*window);
    const int result = window->exec();
    delete window.data();
    return result;
}

} // namespace

int TQuestionWindows::AskOverwrite(const TOverwriteQuestion &question)
{
    return AskInWindow<TfrmOverwrite>(FParent, [&question](TfrmOverwrite &window) {
        window.FileName = DisplayText(question.FileName);
        window.ExistingSize = question.ExistingSize;
        window.NewSize = question.NewSize;
        window.ExistingDate = question.ExistingDate;
        window.NewDate = question.NewDate;
        window.SentAsText = question.SentAsText;
    });
}

int TQuestionWindows::AskRestart(const std::string &fileName)
{
    return AskInWindow<TfrmRestart>(FParent, [this, &fileName](TfrmRestart &window) {
        window.FileName = DisplayText(fileName);
        QObject::connect(&window, &TfrmRestart::DontShowAgain, [this] { OnRestartsUnconfirmed.Raise(); });
    });
}
