#include "transfers/Overwrt.h"

#include "transfers/TransferDecision.h"

#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The icon of the file's type, found by its extension alone: the file may not exist
// on this machine.
QIcon FileTypeIcon(const QString &fileName)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.isNull() ? QFileIconProvider().icon(QAbstractFileIconProvider::File) : icon;
}

} // namespace

QString OverwritePromptText(const QString &fileName)
{
    return QStringLiteral("This folder already contains a file called '%1.'").arg(fileName);
}

QString FileSizeText(std::int64_t size)
{
    return QStringLiteral("%1 %2").arg(size).arg(QStringLiteral("Bytes"));
}

QString ModifiedOnText(TDateTime date)
{
    return QStringLiteral("modified on ") + QLocale().toString(date.Date(), QLocale::LongFormat);
}

TfrmOverwrite::TfrmOverwrite(QWidget *parent) : TQuestionDialog(parent)
{
    setWindowTitle(QStringLiteral("Confirm File Overwrite"));

    lblPrompt = new QLabel(this);
    lblDesc1 = new QLabel(QStringLiteral("Would you like to replace the existing file"), this);
    lblDesc2 = new QLabel(QStringLiteral("with this one?"), this);
    const auto fileLine = [this](QLabel *&icon, QLabel *&size, QLabel *&date) {
        icon = new QLabel(this);
        size = new QLabel(this);
        date = new QLabel(this);
        auto *texts = new QVBoxLayout;
        texts->addWidget(size);
        texts->addWidget(date);
        auto *line = new QHBoxLayout;
        line->addSpacing(16);
        line->addWidget(icon);
        line->addLayout(texts, 1);
        return line;
    };
    QVBoxLayout *contents = Contents();
    contents->addWidget(lblPrompt);
    contents->addWidget(lblDesc1);
    contents->addLayout(fileLine(imgIcon1, lblSize1, lblDate1));
    contents->addWidget(lblDesc2);
    contents->addLayout(fileLine(imgIcon2, lblSize2, lblDate2));

    btnForceRecover = AddButton(QStringLiteral("&Recovery"), mrRetry);
    btnNo->setDefault(true);
    SetCancelButton(btnNo);
}

void TfrmOverwrite::showEvent(QShowEvent *event)
{
    FormShow();
    TQuestionDialog::showEvent(event);
}

void TfrmOverwrite::FormShow()
{
    lblPrompt->setText(OverwritePromptText(FileName));
    const QPixmap icon = FileTypeIcon(FileName).pixmap(32, 32);
    imgIcon1->setPixmap(icon);
    imgIcon2->setPixmap(icon);
    lblSize1->setText(FileSizeText(ExistingSize));
    lblDate1->setText(ModifiedOnText(ExistingDate));
    lblSize2->setText(FileSizeText(NewSize));
    lblDate2->setText(ModifiedOnText(NewDate));
    btnForceRecover->setEnabled(
        TOverwriteQuestion{{}, ExistingSize, NewSize, {}, {}, SentAsText}.CanRecover());
}
