#include "app/MessageWindow.h"

#include <QCoreApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

TMessageWindow::TMessageWindow(QWidget *parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Reached by Tab (for its pop-up and for scrolling) but not by a click, which would
    // take the focus from the list the Edit menu acts on.
    setFocusPolicy(Qt::TabFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Courier New"), 9);
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(9);
    }
    setFont(font);

    popLog = new QMenu(this);
    mnuLogSave = popLog->addAction(tr("&Save"), this, &TMessageWindow::SaveLog);
    mnuLogSaveAs = popLog->addAction(tr("Save &as..."), this, &TMessageWindow::SaveLogAs);
    popLog->addSeparator();
    mnuLogClear = popLog->addAction(tr("&Clear content"), this, &TMessageWindow::ClearLines);
    connect(popLog, &QMenu::aboutToShow, this, &TMessageWindow::UpdatePopupState);
    UpdatePopupState();
}

void TMessageWindow::AppendColored(const QString &text, const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (FLineCount > 0)
        cursor.insertBlock(QTextBlockFormat(), format);
    cursor.insertText(text, format);
    ++FLineCount;
}

void TMessageWindow::AddLine(const QString &text, const QColor &color)
{
    AppendColored(text, color);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TMessageWindow::Rebuild(const std::deque<TViewLogLine> &lines)
{
    setUpdatesEnabled(false);
    ClearLines();
    for (const TViewLogLine &line : lines)
        AppendColored(line.Text, line.Color);
    setUpdatesEnabled(true);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TMessageWindow::ClearLines()
{
    clear();
    FLineCount = 0;
}

bool TMessageWindow::SaveToFile(const QString &fileName, QString *error) const
{
    // Written beside and renamed over the old file, so a failed write leaves it whole.
    QSaveFile file(fileName);
    QByteArray text = toPlainText().toUtf8();
    if (!text.isEmpty())
        text.append('\n');
    // The dialogue may hold an account's password (ACCT): private, even when an older
    // log was readable by others.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = tr("Cannot create file %1").arg(fileName);
        return false;
    }
    return true;
}

void TMessageWindow::SaveOrReport(const QString &fileName)
{
    QString error;
    if (SaveToFile(fileName, &error))
        ClearLines();
    else
        QMessageBox::critical(window(), QCoreApplication::applicationName(), error);
}

void TMessageWindow::SaveLog()
{
    if (FLogFile)
        SaveOrReport(FLogFile());
}

void TMessageWindow::SaveLogAs()
{
    QFileDialog dialog(window(), tr("Select Log File"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({tr("Log Files (*.log)"), tr("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("log"));
    if (FLogFile)
        dialog.selectFile(FLogFile());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    SaveOrReport(dialog.selectedFiles().constFirst());
}

void TMessageWindow::UpdatePopupState()
{
    const bool hasLines = !IsEmpty();
    mnuLogSave->setEnabled(hasLines);
    mnuLogSaveAs->setEnabled(hasLines);
    mnuLogClear->setEnabled(hasLines);
}

void TMessageWindow::contextMenuEvent(QContextMenuEvent *event)
{
    popLog->popup(event->globalPos());
}
