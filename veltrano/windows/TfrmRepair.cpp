#include "windows/TfrmRepair.h"

#include <QAction>
#include <algorithm>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/MyLang.h"
#include "windows/BrowseForFolder.h"
#include "windows/RepairLangKeys.h"
#include "windows/RepairReport.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPrompt.h"

namespace {

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

constexpr int kBarSteps = 1000;

TMyLangDispatcher* Languages() {
    TfrmLang* holder = TfrmLang::Instance();
    return holder ? &holder->Languages() : nullptr;
}

}  // namespace

TfrmRepair::TfrmRepair(TEngineApi& engine, CBaseListener* projectMgr, const QStringList& inputs,
                       const QString& outputFolder, bool forClip, QWidget* parent)
    : QDialog(parent), runner_(engine, projectMgr), forClip_(forClip) {
    setObjectName(QStringLiteral("frmRepair"));
    setWindowTitle(QStringLiteral("Repair FLV Files"));
    lang_ = new TMyLang(this, QStringLiteral("frmRepair"), Languages());
    BuildLayout();
    connect(lang_, &TMyLang::langChanged, this, &TfrmRepair::Retranslate);
    Retranslate();
    connect(&runner_, &TRepairRunner::fileStarted, this, &TfrmRepair::OnFileStarted);
    connect(&runner_, &TRepairRunner::fileProgress, this, &TfrmRepair::OnFileProgress);
    connect(&runner_, &TRepairRunner::fileDone, this, &TfrmRepair::OnFileDone);
    connect(&runner_, &TRepairRunner::runEnded, this, &TfrmRepair::OnRunEnded);
    AddInputs(inputs);
    SetOutputFolder(outputFolder);
    UpdateButtons();
}

TfrmRepair::~TfrmRepair() = default;

void TfrmRepair::BuildLayout() {
    resize(900, 560);
    lvFiles_ = Named(new QListWidget(this), "lvFiles");
    lvFiles_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvFiles_->setMaximumHeight(110);
    btnAdd_ = Named(new QPushButton(QStringLiteral("&Add..."), this), "btnAdd");
    btnRemove_ = Named(new QPushButton(QStringLiteral("Re&move"), this), "btnRemove");
    connect(btnAdd_, &QPushButton::clicked, this, &TfrmRepair::ChooseMore);
    connect(btnRemove_, &QPushButton::clicked, this, &TfrmRepair::RemoveSelected);
    connect(lvFiles_, &QListWidget::itemSelectionChanged, this, &TfrmRepair::UpdateButtons);
    // A clip's file is the one input: nothing to add or take away.
    btnAdd_->setVisible(!forClip_);
    btnRemove_->setVisible(!forClip_);

    edtOutput_ = Named(new QLineEdit(this), "edtOutput");
    QAction* browse = edtOutput_->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    browse->setObjectName(QStringLiteral("actBrowseOutput"));
    connect(browse, &QAction::triggered, this, &TfrmRepair::BrowseOutput);
    connect(edtOutput_, &QLineEdit::textChanged, this, &TfrmRepair::UpdateButtons);

    btnRepair_ = Named(new QPushButton(QStringLiteral("&Repair"), this), "btnRepair");
    btnStop_ = Named(new QPushButton(QStringLiteral("&Stop"), this), "btnStop");
    connect(btnRepair_, &QPushButton::clicked, this, &TfrmRepair::StartRepair);
    connect(btnStop_, &QPushButton::clicked, this, [this] {
        runner_.Stop();
        lblProgress_->setText(lang_->Text(repairkey::kStopping));
        btnStop_->setEnabled(false);
    });
    lblProgress_ = Named(new QLabel(this), "lblProgress");
    lblProgress_->setProperty("langSkip", true);
    pbRepair_ = Named(new QProgressBar(this), "pbRepair");
    pbRepair_->setRange(0, 1);
    pbRepair_->setValue(0);

    lvReport_ = Named(new QTreeWidget(this), "lvReport");
    lvReport_->setHeaderLabels({QStringLiteral("Fix"), QStringLiteral("Offset"), QStringLiteral("Time"),
                                QStringLiteral("Details")});
    lvReport_->header()->resizeSection(0, 260);
    lvReport_->header()->resizeSection(1, 90);
    lvReport_->header()->resizeSection(2, 100);
    lvReport_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    btnImport_ = Named(new QPushButton(QStringLiteral("&Import"), this), "btnImport");
    btnReplace_ = Named(new QPushButton(QStringLiteral("Re&place Clip"), this), "btnReplace");
    btnClose_ = Named(new QPushButton(QStringLiteral("&Close"), this), "btnClose");
    btnReplace_->setVisible(forClip_);
    connect(btnImport_, &QPushButton::clicked, this, [this] { done(kImport); });
    connect(btnReplace_, &QPushButton::clicked, this, [this] { done(kReplaceClip); });
    connect(btnClose_, &QPushButton::clicked, this, &TfrmRepair::reject);
    for (QPushButton* b : {btnAdd_, btnRemove_, btnRepair_, btnStop_, btnImport_, btnReplace_, btnClose_})
        b->setAutoDefault(false);

    auto* fileButtons = new QVBoxLayout;
    fileButtons->addWidget(btnAdd_);
    fileButtons->addWidget(btnRemove_);
    fileButtons->addStretch(1);
    auto* top = new QGridLayout;
    top->addWidget(Named(new QLabel(QStringLiteral("Files to repair:"), this), "lblFiles"), 0, 0, Qt::AlignTop);
    top->addWidget(lvFiles_, 0, 1);
    top->addLayout(fileButtons, 0, 2);
    top->addWidget(Named(new QLabel(QStringLiteral("Output folder:"), this), "lblOutput"), 1, 0);
    top->addWidget(edtOutput_, 1, 1, 1, 2);

    auto* run = new QHBoxLayout;
    run->addWidget(pbRepair_, 1);
    run->addWidget(btnRepair_);
    run->addWidget(btnStop_);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnImport_);
    bottom->addWidget(btnReplace_);
    bottom->addWidget(btnClose_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(run);
    layout->addWidget(lblProgress_);
    layout->addWidget(lvReport_, 1);
    layout->addLayout(bottom);
}

void TfrmRepair::Retranslate() { lang_->TranslateForm(this); }

QStringList TfrmRepair::ChooseFiles(QWidget* owner) {
    TMyLang lang(nullptr, QStringLiteral("frmRepair"), Languages());
    QFileDialog dialog(owner, lang.Text(repairkey::kChooseTitle));
    dialog.setObjectName(QStringLiteral("dlgRepairFlv"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(lang.Text(repairkey::kFlvFilter));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

void TfrmRepair::AddInputs(const QStringList& paths) {
    for (const QString& path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (path.isEmpty() || inputs_.contains(absolute)) continue;
        inputs_ << absolute;
        auto* item = new QListWidgetItem(QFileInfo(absolute).fileName(), lvFiles_);
        item->setToolTip(absolute);
    }
    UpdateButtons();
}

void TfrmRepair::ChooseMore() { AddInputs(ChooseFiles(this)); }

void TfrmRepair::RemoveSelected() {
    for (int row = lvFiles_->count() - 1; row >= 0; --row) {
        if (!lvFiles_->item(row)->isSelected()) continue;
        delete lvFiles_->takeItem(row);
        inputs_.removeAt(row);
    }
    UpdateButtons();
}

QString TfrmRepair::OutputFolder() const { return edtOutput_->text().trimmed(); }

void TfrmRepair::SetOutputFolder(const QString& folder) { edtOutput_->setText(folder); }

void TfrmRepair::BrowseOutput() {
    const QString folder = BrowseForFolder(this, lang_->Text(repairkey::kSelectFolder), OutputFolder(), true);
    if (!folder.isEmpty()) SetOutputFolder(folder);
}

bool TfrmRepair::StartRepair() {
    if (runner_.Running() || inputs_.isEmpty() || OutputFolder().isEmpty()) return false;
    // The folder is made when missing, as the converter does; a relative
    // name would depend on where the program was started.
    const QString folder = QDir(OutputFolder()).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        ShowPrompt(lang_->Text(repairkey::kFolderFailed) + QStringLiteral("\n\n") + folder, 0, kIconError, 2, this);
        return false;
    }
    results_.clear();
    lvReport_->clear();
    if (!runner_.Start(inputs_, folder)) return false;
    pbRepair_->setValue(0);
    UpdateButtons();
    return true;
}

void TfrmRepair::OnFileStarted(int index) {
    // The bar runs across the file being repaired, in thousandths.
    pbRepair_->setRange(0, kBarSteps);
    pbRepair_->setValue(0);
    lblProgress_->setText(lang_->Text(repairkey::kRepairing)
                              .arg(QFileInfo(inputs_.value(index)).fileName())
                              .arg(index + 1)
                              .arg(inputs_.size()));
}

void TfrmRepair::OnFileProgress(int, qint64 done, qint64 total) {
    if (total > 0) pbRepair_->setValue(static_cast<int>(std::clamp<qint64>(done * kBarSteps / total, 0, kBarSteps)));
}

void TfrmRepair::OnFileDone(int, const TRepairResult& result) {
    results_ << result;
    auto* top = new QTreeWidgetItem(lvReport_, {QFileInfo(result.input).fileName(), QString(), QString(),
                                                ResultText(*lang_, result)});
    top->setToolTip(0, result.input);
    auto add = [top](const TRepairReportRow& r) {
        return new QTreeWidgetItem(top, {r.what, r.offset, r.time, r.details});
    };
    for (const TRepairFix& fix : result.fixes) add(FixRow(*lang_, fix));
    if (result.fixes.isEmpty() && !result.Stopped()) add({lang_->Text(repairkey::kNoFix), {}, {}, {}});
    for (const TRepairOutput& out : result.written) {
        if (result.Stopped() && !out.record.ok) continue;  // the one cut short, said on the file's row
        add(OutputRow(*lang_, out))->setToolTip(3, out.path);
    }
    top->setExpanded(true);
}

void TfrmRepair::OnRunEnded(bool stopped) {
    int repaired = 0;
    for (const TRepairResult& r : results_) repaired += r.Failed() ? 0 : 1;
    // Files the stop left out are listed too, so the report names every input.
    for (int i = static_cast<int>(results_.size()); i < inputs_.size(); ++i) {
        auto* row = new QTreeWidgetItem(lvReport_, {QFileInfo(inputs_[i]).fileName(), QString(), QString(),
                                                    lang_->Text(repairkey::kNotRun)});
        row->setToolTip(0, inputs_[i]);
    }
    pbRepair_->setRange(0, 1);
    pbRepair_->setValue(1);
    lblProgress_->setText(lang_->Text(stopped ? repairkey::kStopped : repairkey::kDone)
                              .arg(repaired)
                              .arg(inputs_.size()));
    UpdateButtons();
    emit repairEnded();
    if (closeWhenEnded_) QDialog::reject();
}

QStringList TfrmRepair::RepairedFiles() const {
    QStringList files;
    for (const TRepairResult& r : results_) files << r.Paths();
    return files;
}

void TfrmRepair::UpdateButtons() {
    const bool running = runner_.Running();
    const bool repaired = !running && !RepairedFiles().isEmpty();
    btnAdd_->setEnabled(!running);
    btnRemove_->setEnabled(!running && !lvFiles_->selectedItems().isEmpty());
    edtOutput_->setEnabled(!running);
    btnRepair_->setEnabled(!running && !inputs_.isEmpty() && !OutputFolder().isEmpty());
    btnStop_->setEnabled(running);
    btnImport_->setEnabled(repaired);
    btnReplace_->setEnabled(repaired);
    btnClose_->setEnabled(!closeWhenEnded_);
}

void TfrmRepair::reject() {
    if (!runner_.Running()) {
        QDialog::reject();
        return;
    }
    // The file being repaired stops at the engine's next progress call,
    // leaving nothing half-written; the window goes when the run has ended.
    closeWhenEnded_ = true;
    runner_.Stop();
    lblProgress_->setText(lang_->Text(repairkey::kStopping));
    UpdateButtons();
}
