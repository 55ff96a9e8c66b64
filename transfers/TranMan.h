#pragma once

// A stand-in for the transfer manager until its real content comes: the queue's items
// as they were when it was shown.

#include <QWidget>

class QTreeWidget;
class TTransferItems;

class TfrmTransferMngr : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmTransferMngr(TTransferItems &queue, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Fill();

    TTransferItems &FQueue;
    QTreeWidget *lvTransfers = nullptr;
};
