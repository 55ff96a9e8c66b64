#include "views/FileProp.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int IconSize = 32;

QLabel *Value(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QFrame *Rule(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

TfrmProperties::TfrmProperties(QWidget *parent)
    : QDialog(parent)
{
    setModal(true);
    pgctrlMain = new QTabWidget(this);
    tbshtGeneral = new QWidget(pgctrlMain);
    pgctrlMain->addTab(tbshtGeneral, QStringLiteral("General"));

    imgIcon = new QLabel(tbshtGeneral);
    imgIcon->setFixedSize(IconSize, IconSize);
    lblFileName = Value(tbshtGeneral);
    lblType = Value(tbshtGeneral);
    lblLocation = Value(tbshtGeneral);
    lblSize = Value(tbshtGeneral);
    lblDate = Value(tbshtGeneral);

    auto *grid = new QGridLayout(tbshtGeneral);
    grid->setColumnStretch(1, 1);
    grid->addWidget(imgIcon, 0, 0);
    grid->addWidget(lblFileName, 0, 1);
    grid->addWidget(Rule(tbshtGeneral), 1, 0, 1, 2);
    const QString descriptions[] = {QStringLiteral("Type"), QStringLiteral("Location"),
                                    QStringLiteral("Size"), QStringLiteral("Modified")};
    QLabel *const values[] = {lblType, lblLocation, lblSize, lblDate};
    for (int row = 0; row < 4; ++row) {
        grid->addWidget(new QLabel(descriptions[row] + QLatin1Char(':'), tbshtGeneral), row + 2, 0);
        grid->addWidget(values[row], row + 2, 1);
    }
    grid->addWidget(Rule(tbshtGeneral), 6, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Attributes:"), tbshtGeneral), 7, 0, 1, 2);

    auto *boxes = new QGridLayout;
    boxes->setHorizontalSpacing(16);
    const QString rows[] = {QStringLiteral("Owner"), QStringLiteral("Group"), QStringLiteral("Everyone")};
    const QString columns[] = {QStringLiteral("Read"), QStringLiteral("Write"), QStringLiteral("Execute")};
    for (int row = 0; row < 3; ++row) {
        boxes->addWidget(new QLabel(rows[row], tbshtGeneral), row, 0);
        for (int column = 0; column < 3; ++column) {
            auto *box = new QCheckBox(columns[column], tbshtGeneral);
            cbPermissions[row * 3 + column] = box;
            boxes->addWidget(box, row, column + 1);
            connect(box, &QCheckBox::clicked, this, [this, box] { BoxClicked(box); });
        }
    }
    boxes->setColumnStretch(4, 1);
    grid->addLayout(boxes, 8, 0, 1, 2);
    grid->setRowStretch(9, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pgctrlMain);
    layout->addWidget(buttons);
    setMinimumWidth(340);
}

TPermissionBoxes TfrmProperties::Boxes() const
{
    TPermissionBoxes boxes{};
    for (int box = 0; box < 9; ++box) {
        const Qt::CheckState state = cbPermissions[box]->checkState();
        boxes[std::size_t(box)] = state == Qt::Checked     ? TBoxState::Checked
                                  : state == Qt::Unchecked ? TBoxState::Clear
                                                           : TBoxState::Mixed;
    }
    return boxes;
}

void TfrmProperties::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TfrmProperties::FormShow()
{
    const TPropertySummary summary = SummarizeProperties(Entries, Location);
    setWindowTitle(summary.Caption);
    lblFileName->setText(summary.FileName);
    lblType->setText(summary.Type);
    lblLocation->setText(summary.Location);
    lblSize->setText(summary.Size);
    lblDate->setText(summary.Date);
    const QIcon icon = summary.FirstIcon && !Icon.isNull()
                           ? Icon
                           : QFileIconProvider().icon(QAbstractFileIconProvider::File);
    imgIcon->setPixmap(icon.pixmap(IconSize, IconSize));

    const bool remote = IsRemote;
    IsRemote = false;
    for (int box = 0; box < 9; ++box) {
        const TBoxState state = summary.Boxes[std::size_t(box)];
        // A box some entries have and others lack shows so, until the user decides it.
        cbPermissions[box]->setTristate(state == TBoxState::Mixed);
        cbPermissions[box]->setCheckState(state == TBoxState::Checked ? Qt::Checked
                                          : state == TBoxState::Mixed ? Qt::PartiallyChecked
                                                                      : Qt::Unchecked);
    }
    IsRemote = remote;
}

void TfrmProperties::BoxClicked(QCheckBox *box)
{
    // Once decided, a mixed box is on or off like the others.
    if (box->isTristate() && box->checkState() != Qt::PartiallyChecked)
        box->setTristate(false);
    if (IsRemote)
        Changed = true;
}
