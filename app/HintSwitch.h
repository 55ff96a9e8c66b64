#pragma once

#include <QObject>

// The program's hints on or off ("Show Tool Tips"), for every window: while off, no widget
// of the application sees a tool-tip event.
class THintSwitch : public QObject
{
    Q_OBJECT

public:
    // Watches the application's events while it lives.
    explicit THintSwitch(QObject *parent = nullptr);
    ~THintSwitch() override;

    bool HintsShown() const { return FShown; }
    void SetHintsShown(bool shown) { FShown = shown; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool FShown = true;
};
