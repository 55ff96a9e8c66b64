#include "transfers/DeleteQuestion.h"

TDeleteQuestion DeleteQuestionFor(int itemCount, const QString &itemName, bool itemIsFolder)
{
    if (itemCount >= 2)
        return {QStringLiteral("Confirm Multiple File Delete"),
                QStringLiteral("Are you sure you want to delete these %1 items?").arg(itemCount)};
    if (itemIsFolder)
        return {QStringLiteral("Confirm Folder Delete"),
                QStringLiteral("Are you sure you want to remove the folder %1 and all its contents?")
                    .arg(itemName)};
    return {QStringLiteral("Confirm File Delete"),
            QStringLiteral("Are you sure you want to delete %1?").arg(itemName)};
}
