#pragma once

#include "views/ViewLog.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

#include <functional>
#include <deque>
#include <utility>

class QMenu;
class QAction;

// The read-only message window: the active remote view's dialogue with its server,
// one coloured line per log entry, with a pop-up to save or clear it.
class TMessageWindow : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TMessageWindow(QWidget *parent = nullptr);

    // The log file "&Save" writes and "Save &as..." starts from.
    void SetLogFileProvider(std::function<QString()> provider) { FLogFile = std::move(provider); }

    void AddLine(const QString &text, const QColor &color);
    // Replaces the content by `lines`, painting once at the end.
    void Rebuild(const std::deque<TViewLogLine> &lines);
    bool IsEmpty() const { return FLineCount == 0; }
    int LineCount() const { return FLineCount; }
    void ClearLines();

    // Writes the whole text to `fileName`, replacing it. On failure returns false with
    // the message for the user in `error` and leaves the window as it was.
    bool SaveToFile(const QString &fileName, QString *error = nullptr) const;

    // The pop-up's commands; the window is cleared only after a successful write.
    void SaveLog();
    void SaveLogAs();

    QMenu *PopupMenu() const { return popLog; }
    QAction *SaveAction() const { return mnuLogSave; }
    QAction *SaveAsAction() const { return mnuLogSaveAs; }
    QAction *ClearAction() const { return mnuLogClear; }
    // Enables the pop-up's entries for the current content, as opening it does.
    void UpdatePopupState();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void AppendColored(const QString &text, const QColor &color);
    void SaveOrReport(const QString &fileName);

    std::function<QString()> FLogFile;
    int FLineCount = 0;
    QMenu *popLog = nullptr;
    QAction *mnuLogSave = nullptr;
    QAction *mnuLogSaveAs = nullptr;
    QAction *mnuLogClear = nullptr;
};
