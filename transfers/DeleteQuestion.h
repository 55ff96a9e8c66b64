#pragma once

#include <QString>

// The caption and question of the delete question, for the number of selected entries
// and the focused one.
struct TDeleteQuestion
{
    QString Caption;
    QString Text;
};
TDeleteQuestion DeleteQuestionFor(int itemCount, const QString &itemName, bool itemIsFolder);
