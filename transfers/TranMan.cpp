#include "transfers/TranMan.h"

#include "transfers/Transfer.h"

#include <QTreeWidget>
#include <QVBoxLayout>

TfrmTransferMngr::TfrmTransferMngr(TTransferItems &queue, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , FQueue(queue)
{
    setWindowTitle(QStringLiteral("Transfer Manager"));
    auto *layout = new QVBoxLayout(this);
    lvTransfers = new QTreeWidget(this);
    lvTransfers->setHeaderLabels(
        {tr("Name"), tr("Size"), tr("Local Directory"), tr("Host Directory"), tr("Status")});
    layout->addWidget(lvTransfers);
    resize(560, 260);
}

void TfrmTransferMngr::showEvent(QShowEvent *event)
{
    Fill();
    QWidget::showEvent(event);
}

void TfrmTransferMngr::Fill()
{
    lvTransfers->clear();
    for (int i = 0; i < FQueue.Count(); ++i) {
        const TTransferItem *item = FQueue.Items(i);
        const bool upload = item->Direction == tdUpload;
        const QString local = QString::fromStdString(upload ? item->SourceFolder : item->DestFolder);
        const QString host = QString::fromStdString(upload ? item->DestFolder : item->SourceFolder);
        lvTransfers->addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(item->Name), QString::number(item->Size), local, host,
                                 TransferStatusText(item->Status(), item->Direction)}));
    }
}
