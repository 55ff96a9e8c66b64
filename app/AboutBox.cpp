#include "app/AboutBox.h"

#include "app/CommandRules.h"

#include <QApplication>
#include <QMessageBox>

std::unique_ptr<QMessageBox> MakeAboutBox(QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(QMessageBox::tr("About Ferrow"));
    box->setTextFormat(Qt::RichText);
    box->setText(AboutText());
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}
