#pragma once

#include <QWidget>

class TActionRegistry;
class TDragBar;
class TSidePanel;
class TTreeCombo;

// The panel of views: the local side, the centre column with Upload and Download, and
// the remote side. Dragging the centre column or resizing the panel shares the width
// out between the sides.
class TViewsPanel : public QWidget
{
    Q_OBJECT
public:
    TViewsPanel(const TActionRegistry &actions, QWidget *parent = nullptr);

    TSidePanel *Local() const { return pnlLocal; }
    TSidePanel *Host() const { return pnlHost; }
    TTreeCombo *HostTreeCombo() const { return cmboHostTree; }

    // The remote side alone fills the panel.
    bool HostMaximized() const;
    void SetHostMaximized(bool maximized);
    // Both sides alike, for a window `windowWidth` wide that is not laid out yet.
    void ShareEvenly(int windowWidth);
    // Upload and Download, for the Tab key.
    QList<QWidget *> CentreButtons() const { return FCentreButtons; }

    static constexpr int CentreWidth = 40;

protected:
    // Sees a resize before the layout does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TSidePanel *pnlLocal = nullptr;
    TDragBar *pnlCentre = nullptr;
    TSidePanel *pnlHost = nullptr;
    TTreeCombo *cmboHostTree = nullptr;
    int FCentreDragStart = 0;
    QList<QWidget *> FCentreButtons;
};
