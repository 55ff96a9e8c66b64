#pragma once

// For widget tests: answering a modal window that a call under test opens and waits on.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>

// Calls `answer` with the next modal window as soon as it is open; `answer` ends it.
inline void AnswerNextModalWindow(std::function<void(QWidget &)> answer)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer = std::move(answer)] {
        if (QWidget *window = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(*window);
        }
    });
    poll->start(10);
}
