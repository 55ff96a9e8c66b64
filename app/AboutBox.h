#pragma once

#include <memory>

class QMessageBox;
class QWidget;

// The About window: the program's name, version and licence beside its icon.
std::unique_ptr<QMessageBox> MakeAboutBox(QWidget *parent);
