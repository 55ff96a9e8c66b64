#include "app/OptionsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace {

const char *const Sections[] = {"General", "Advanced", "Connection", "Firewall", "Sounds"};

bool IsSoundFile(TOptionId id)
{
    return id >= oiConnectSuccessSound && id <= oiErrorSound;
}

bool HasBrowseButton(TOptionId id)
{
    return id == oiViewer || id == oiLogFile || id == oiDefaultDir || IsSoundFile(id);
}

QString Caption(const TOptionDescriptor &d)
{
    return QString::fromLatin1(d.Label);
}

// A page's rows: check boxes and radio groups across the page, edits beside their
// captions, so that every edit of a page lines up.
class TPageGrid
{
public:
    // Lays out `panel`, or with no panel is put into a page's layout by the caller.
    explicit TPageGrid(QWidget *panel)
        : FGrid(new QGridLayout(panel))
    {
        FGrid->setColumnStretch(1, 1);
    }

    QGridLayout *Grid() const { return FGrid; }
    int NextRow() const { return FGrid->rowCount(); }

    void AddWide(QWidget *widget)
    {
        FChoices = nullptr;
        FGrid->addWidget(widget, NextRow(), 0, 1, 3);
    }
    // Radio groups that follow each other stand side by side.
    void AddChoice(QWidget *group)
    {
        if (!FChoices) {
            FChoices = new QHBoxLayout;
            FGrid->addLayout(FChoices, NextRow(), 0, 1, 3);
        }
        FChoices->addWidget(group, 0, Qt::AlignTop);
    }
    int AddField(QWidget *caption, QWidget *edit)
    {
        FChoices = nullptr;
        const int row = NextRow();
        FGrid->addWidget(caption, row, 0);
        FGrid->addWidget(edit, row, 1);
        return row;
    }
    void Finish() { FGrid->setRowStretch(NextRow(), 1); }

private:
    QGridLayout *FGrid;
    QHBoxLayout *FChoices = nullptr;
};

} // namespace

TfrmOptions::TfrmOptions(TOptions &options, QWidget *parent)
    : QDialog(parent)
    , FOptions(options)
    , FEdited(options)
{
    setWindowTitle(tr("General preferences"));
    auto *layout = new QVBoxLayout(this);
    pgctrlOptions = new QTabWidget(this);
    for (const char *section : Sections)
        pgctrlOptions->addTab(CreatePage(section), tr(section));
    pgctrlOptions->addTab(CreateFileTypesPage(), tr("File Types"));
    layout->addWidget(pgctrlOptions);

    FButtons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    OkButton()->setText(tr("OK"));
    CancelButton()->setText(tr("Cancel"));
    FButtons->button(QDialogButtonBox::Help)->setText(tr("&Help"));
    connect(FButtons, &QDialogButtonBox::accepted, this, &TfrmOptions::btnOkClick);
    connect(FButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FButtons, &QDialogButtonBox::helpRequested, this, [this] { emit HelpRequested(HelpContext); });
    layout->addWidget(FButtons);

    ShowLiveValues();
}

QPushButton *TfrmOptions::OkButton() const
{
    return FButtons->button(QDialogButtonBox::Ok);
}

QPushButton *TfrmOptions::CancelButton() const
{
    return FButtons->button(QDialogButtonBox::Cancel);
}

QRadioButton *TfrmOptions::ChoiceButton(TOptionId id, int item) const
{
    return FChoices[id] ? qobject_cast<QRadioButton *>(FChoices[id]->button(item)) : nullptr;
}

// ---- Building ----

QWidget *TfrmOptions::CreatePage(const char *section)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    QWidget *host = page;
    TPageGrid *grid = nullptr;
    std::vector<std::unique_ptr<TPageGrid>> grids;
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        if (qstrcmp(d.Section, section) != 0)
            continue;
        if (qstrcmp(d.Key, "Enabled") == 0) {
            // The switch of a page enables the panel with everything else on it.
            QWidget *control = CreateControl(d, page);
            layout->addWidget(control);
            auto *panel = new QGroupBox(page);
            layout->addWidget(panel, 1);
            auto *enabled = static_cast<QCheckBox *>(control);
            panel->setEnabled(enabled->isChecked());
            connect(enabled, &QCheckBox::toggled, panel, &QWidget::setEnabled);
            host = panel;
            grid = nullptr;
            continue;
        }
        if (!grid) {
            grids.push_back(std::make_unique<TPageGrid>(host == page ? nullptr : host));
            grid = grids.back().get();
            if (host == page)
                layout->addLayout(grid->Grid(), 1);
        }
        QWidget *control = CreateControl(d, host);
        switch (d.Type) {
        case otBoolean:
            grid->AddWide(control);
            break;
        case otChoice:
            grid->AddChoice(control);
            break;
        case otText: {
            auto *caption = new QLabel(Caption(d), host);
            caption->setBuddy(control);
            const int row = grid->AddField(caption, control);
            if (HasBrowseButton(d.Id))
                CreateBrowseButton(d.Id, host, grid->Grid(), row);
            break;
        }
        case otNumber: {
            // "Try to reconnect [3] times": the caption around its edit.
            const QStringList parts = Caption(d).split(QStringLiteral("%1"));
            QWidget *before = nullptr;
            if (d.Id == oiRetries) {
                rbTries = new QRadioButton(parts.value(0).trimmed(), host);
                before = rbTries;
            } else {
                before = new QLabel(parts.value(0).trimmed(), host);
            }
            auto *field = new QWidget(host);
            auto *row = new QHBoxLayout(field);
            row->setContentsMargins(0, 0, 0, 0);
            control->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
            row->addWidget(control);
            row->addWidget(new QLabel(parts.value(1).trimmed(), field));
            row->addStretch(1);
            grid->AddField(before, field);
            break;
        }
        }
    }
    for (const auto &each : grids)
        each->Finish();
    if (rbTries && FControls[oiInfiniteRetry] && !rbTries->group()) {
        auto *retry = new QButtonGroup(this);
        retry->addButton(rbTries);
        retry->addButton(static_cast<QRadioButton *>(FControls[oiInfiniteRetry]));
        FControls[oiRetries]->setEnabled(rbTries->isChecked());
        connect(rbTries, &QRadioButton::toggled, FControls[oiRetries], &QWidget::setEnabled);
    }
    return page;
}

QWidget *TfrmOptions::CreateControl(const TOptionDescriptor &d, QWidget *parent)
{
    QWidget *control = nullptr;
    switch (d.Type) {
    case otBoolean:
        if (d.Id == oiInfiniteRetry)
            control = new QRadioButton(Caption(d), parent);
        else
            control = new QCheckBox(Caption(d), parent);
        break;
    case otChoice: {
        auto *box = new QGroupBox(Caption(d).trimmed(), parent);
        auto *items = new QVBoxLayout(box);
        FChoices[d.Id] = new QButtonGroup(box);
        const QStringList captions = QString::fromLatin1(d.Items).split(u'|');
        for (int i = 0; i < captions.size(); ++i) {
            auto *button = new QRadioButton(captions[i], box);
            FChoices[d.Id]->addButton(button, i);
            items->addWidget(button);
        }
        items->addStretch(1);
        control = box;
        break;
    }
    case otNumber:
    case otText: {
        auto *edit = new QLineEdit(parent);
        if (d.Id == oiFirewallPassword)
            edit->setEchoMode(QLineEdit::Password);
        if (d.Id == oiLogFile)
            connect(edit, &QLineEdit::textEdited, this,
                    [this](const QString &text) { FLogFile = TOptions::LogFilePathFor(text); });
        if (d.Id == oiViewer) {
            // A typed name without a folder is looked up on the path.
            connect(edit, &QLineEdit::textEdited, this, [this](const QString &text) {
                const QString found = text.contains(u'/') ? QString() : QStandardPaths::findExecutable(text);
                FViewer = found.isEmpty() ? text : found;
            });
        }
        control = edit;
        break;
    }
    }
    FControls[d.Id] = control;
    return control;
}

void TfrmOptions::CreateBrowseButton(TOptionId id, QWidget *parent, QGridLayout *grid, int row)
{
    auto *button = new QToolButton(parent);
    button->setText(QStringLiteral("..."));
    button->setToolTip(tr("Browse..."));
    button->setObjectName(QStringLiteral("btnBrowse") + QString::fromLatin1(OptionDescriptor(id).Key));
    connect(button, &QToolButton::clicked, this, [this, id] { BrowseClick(id); });
    grid->addWidget(button, row, 2);
}

QWidget *TfrmOptions::CreateFileTypesPage()
{
    auto *page = new QWidget;
    auto *layout = new QGridLayout(page);
    layout->addWidget(new QLabel(tr("Always use ASCII transfer mode for these extensions:"), page), 0, 0, 1,
                      2);
    lbASCIIExtensions = new QListWidget(page);
    layout->addWidget(lbASCIIExtensions, 1, 0, 3, 1);
    editExtension = new QLineEdit(page);
    layout->addWidget(editExtension, 1, 1);
    btnAdd = new QPushButton(tr("&Add"), page);
    btnRemove = new QPushButton(tr("&Remove"), page);
    layout->addWidget(btnAdd, 2, 1);
    layout->addWidget(btnRemove, 3, 1, Qt::AlignTop);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(0, 1);
    editExtension->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("M")) * 12);
    connect(editExtension, &QLineEdit::textChanged, this, &TfrmOptions::UpdateExtensionButtons);
    connect(lbASCIIExtensions, &QListWidget::itemSelectionChanged, this,
            &TfrmOptions::UpdateExtensionButtons);
    connect(btnAdd, &QPushButton::clicked, this, &TfrmOptions::btnAddClick);
    connect(btnRemove, &QPushButton::clicked, this, &TfrmOptions::btnRemoveClick);
    return page;
}

// ---- Values ----

void TfrmOptions::ShowLiveValues()
{
    FEdited = FOptions;
    ShowValues(FEdited);
    pgctrlOptions->setCurrentIndex(0);
}

void TfrmOptions::ShowValues(const TOptions &options)
{
    FViewer = options.Viewer();
    FLogFile = options.LogFile();
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        QWidget *control = FControls[d.Id];
        switch (d.Type) {
        case otBoolean:
            static_cast<QAbstractButton *>(control)->setChecked(options.Bool(d.Id));
            break;
        case otChoice:
            if (QAbstractButton *button = FChoices[d.Id]->button(options.Choice(d.Id)))
                button->setChecked(true);
            break;
        case otNumber:
        case otText: {
            const bool pathBehind = d.Id == oiViewer || d.Id == oiLogFile;
            const QString text = options.Text(d.Id);
            static_cast<QLineEdit *>(control)->setText(pathBehind ? QFileInfo(text).fileName() : text);
            break;
        }
        }
    }
    // A radio button of an exclusive pair is unchecked by checking the other.
    rbTries->setChecked(!options.Bool(oiInfiniteRetry));
    editExtension->clear();
    ShowExtensions();
}

TOptions TfrmOptions::ShownValues() const
{
    TOptions options = FEdited;
    for (const TOptionDescriptor &d : OptionDescriptors()) {
        const QWidget *control = FControls[d.Id];
        switch (d.Type) {
        case otBoolean:
            options.SetBool(d.Id, static_cast<const QAbstractButton *>(control)->isChecked());
            break;
        case otChoice:
            options.SetChoice(d.Id, FChoices[d.Id]->checkedId());
            break;
        case otNumber:
        case otText:
            options.SetText(d.Id, static_cast<const QLineEdit *>(control)->text());
            break;
        }
    }
    options.SetText(oiViewer, FViewer);
    options.SetText(oiLogFile, FLogFile);
    return options;
}

void TfrmOptions::ShowExtensions()
{
    lbASCIIExtensions->clear();
    lbASCIIExtensions->addItems(FEdited.Extensions());
    UpdateExtensionButtons();
}

void TfrmOptions::UpdateExtensionButtons()
{
    btnAdd->setEnabled(!editExtension->text().isEmpty());
    btnRemove->setEnabled(lbASCIIExtensions->count() > 0 && !lbASCIIExtensions->selectedItems().isEmpty());
}

// ---- Handlers ----

void TfrmOptions::btnAddClick()
{
    FEdited.AddExtension(editExtension->text());
    editExtension->clear();
    ShowExtensions();
}

void TfrmOptions::btnRemoveClick()
{
    const QList<QListWidgetItem *> selected = lbASCIIExtensions->selectedItems();
    if (selected.isEmpty())
        return;
    FEdited.RemoveExtension(selected.first()->text());
    ShowExtensions();
}

void TfrmOptions::BrowseClick(TOptionId id)
{
    auto *edit = static_cast<QLineEdit *>(FControls[id]);
    if (id == oiDefaultDir) {
        const QString folder =
            QFileDialog::getExistingDirectory(this, tr("Default Directory:"), edit->text());
        if (!folder.isEmpty())
            edit->setText(folder);
        return;
    }
    QFileDialog dialog(this);
    if (id == oiViewer) {
        // Programs here carry no extension.
        dialog.setWindowTitle(tr("Select Text Viewer"));
        dialog.setNameFilter(tr("All Files (*)"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(FViewer);
    } else if (id == oiLogFile) {
        dialog.setWindowTitle(tr("Select Log File"));
        dialog.setNameFilters({tr("Log Files (*.log)"), tr("All Files (*)")});
        dialog.setDefaultSuffix(QStringLiteral("log"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.selectFile(FLogFile);
    } else {
        dialog.setWindowTitle(tr("Select Sound"));
        dialog.setNameFilters({tr("Sound Files (*.wav)"), tr("All Files (*)")});
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(edit->text());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    if (id == oiViewer) {
        FViewer = chosen;
        edit->setText(QFileInfo(chosen).fileName());
    } else if (id == oiLogFile) {
        // The log file always lies in the program folder.
        edit->setText(QFileInfo(chosen).fileName());
        FLogFile = TOptions::LogFilePathFor(chosen);
    } else {
        edit->setText(chosen);
        edit->setFocus();
    }
}

void TfrmOptions::btnOkClick()
{
    const TOptions edited = ShownValues();
    QString error;
    if (!edited.Save(&error)) {
        // The window stays open with everything typed, so the user can mend the field.
        QMessageBox::warning(this, windowTitle(), error);
        return;
    }
    FOptions = edited;
    FOptions.ApplyEngineSettings();
    accept();
}

bool TfrmOptions::Edit()
{
    ShowLiveValues();
    const TOptions before = FOptions;
    return exec() == QDialog::Accepted && !(FOptions == before);
}
