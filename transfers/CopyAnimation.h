#pragma once

#include <QIcon>
#include <QWidget>

class QTimer;

// A page flying from one folder to another while files are copied.
class TCopyAnimation : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 26;

    explicit TCopyAnimation(QWidget *parent = nullptr);

    void Start();
    // Stops on the resting frame.
    void Stop();
    bool Playing() const;
    int Frame() const { return FFrame; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *FTimer = nullptr;
    QIcon FFolder;
    QIcon FPage;
    int FFrame = 0;
};
