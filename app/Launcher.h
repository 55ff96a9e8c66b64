#pragma once

#include "app/Launching.h"

#include <QString>

#include <vector>

class QWidget;

// Starts other programs and opens files the desktop's way. A start that fails shows
// "An error occurred when the program was started." and the next one is still made.
class TLauncher
{
public:
    // Error boxes go on top of `parent`.
    explicit TLauncher(QWidget *parent)
        : FParent(parent)
    {}

    // Whether the program started.
    bool Start(const TLaunch &launch) const;
    // How many started.
    int StartAll(const std::vector<TLaunch> &launches) const;
    // Opens a local file or a URL with the program the desktop chooses.
    bool Open(const QString &pathOrUrl) const;

    static QString ErrorText();

private:
    void ShowError() const;

    QWidget *FParent;
};
