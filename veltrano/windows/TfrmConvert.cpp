#include "windows/TfrmConvert.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

#include "app/EngineApi.h"
#include "app/IniInfo.h"
#include "app/MyLang.h"
#include "app/TimeFormat.h"
#include "windows/ConvertLangKeys.h"
#include "windows/TDrawLVProgress.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPrompt.h"

namespace {

// 110581304 is copied to the window thread like the others: the log it
// appends to is the window's.
constexpr int kTaskError = 3036;
// 110581306, {task, the output's path without its end}.
constexpr int kTaskOutput = 3037;

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

}  // namespace

TfrmConvert::TfrmConvert(const TConvertParams& params, TEngineApi& engine, CBaseListener* project,
                         TListenerWrapper& mainWrapper, TIniInfo& ini, const QString& dataFolder, QWidget* parent)
    : QDialog(parent), engine_(engine), wrapper_(mainWrapper), ini_(ini), dataFolder_(dataFolder) {
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Convert"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmConvert"), holder ? &holder->Languages() : nullptr);
    clock_.start();
    BuildLayout();
    connect(lang_, &TMyLang::langChanged, this, &TfrmConvert::Retranslate);
    Retranslate();

    if (project) engine_.Send(project, msg::kGetConversionManager, reinterpret_cast<intptr_t>(&conversion_), 0);
    SetUp(params);
}

TfrmConvert::~TfrmConvert() { Release(); }

void TfrmConvert::BuildLayout() {
    resize(640, 480);
    lvConvert_ = Named(new QTreeWidget(this), "lvConvert");
    lvConvert_->setRootIsDecorated(false);
    lvConvert_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvConvert_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvConvert_->setHeaderLabels(
        {QStringLiteral("NO"), QStringLiteral("Destination name"), QStringLiteral("Remain time"), QStringLiteral("Progress")});
    lvConvert_->setItemDelegateForColumn(3, new TDrawLVProgress(lvConvert_));
    lvConvert_->header()->resizeSection(0, 50);
    lvConvert_->header()->resizeSection(1, 240);
    connect(lvConvert_, &QTreeWidget::itemSelectionChanged, this, [this] {
        UpdateButtons();
        PointPreview();
    });

    btnSkip_ = Named(new QPushButton(QStringLiteral("&Skip"), this), "btnSkip");
    btnPause_ = Named(new QPushButton(QStringLiteral("&Pause"), this), "btnPause");
    btnResume_ = Named(new QPushButton(QStringLiteral("&Resume"), this), "btnResume");
    btnPauseAll_ = Named(new QPushButton(QStringLiteral("Pa&use All"), this), "btnPauseAll");
    btnResumeAll_ = Named(new QPushButton(QStringLiteral("Resu&me All"), this), "btnResumeAll");
    btnCancel_ = Named(new QPushButton(QStringLiteral("&Cancel"), this), "btnCancel");
    for (QPushButton* b : {btnSkip_, btnPause_, btnResume_, btnPauseAll_, btnResumeAll_, btnCancel_})
        b->setAutoDefault(false);
    connect(btnSkip_, &QPushButton::clicked, this, &TfrmConvert::Skip);
    connect(btnPause_, &QPushButton::clicked, this, &TfrmConvert::Pause);
    connect(btnResume_, &QPushButton::clicked, this, &TfrmConvert::Resume);
    connect(btnPauseAll_, &QPushButton::clicked, this, &TfrmConvert::PauseAll);
    connect(btnResumeAll_, &QPushButton::clicked, this, &TfrmConvert::ResumeAll);
    connect(btnCancel_, &QPushButton::clicked, this, &TfrmConvert::close);

    chkShowPreview_ = Named(new QCheckBox(QStringLiteral("Show Preview"), this), "chkShowPreview");
    chkShowPreview_->setChecked(ini_.isShowConvertImg);
    connect(chkShowPreview_, &QCheckBox::clicked, this, &TfrmConvert::ShowPreviewClicked);
    // A fixed size: the engine is told the area before the window is laid out.
    pnlPreview_ = Named(new TPreviewSurface(this), "pnlPreview");
    pnlPreview_->setFixedSize(240, 180);

    cbxAfterConversion_ = Named(new QComboBox(this), "cbxAfterConversion");
    cbxAfterConversion_->addItems(
        {QStringLiteral("Do nothing"), QStringLiteral("Open output folder"), QStringLiteral("Shut down computer")});
    cbxAfterConversion_->setCurrentIndex(ini_.afterConversion >= 0 && ini_.afterConversion <= 2 ? ini_.afterConversion
                                                                                               : kDoNothing);
    connect(cbxAfterConversion_, &QComboBox::currentIndexChanged, this, [this](int i) { ini_.afterConversion = i; });

    lblElapsetime_ = Named(new QLabel(FormatTime(false, 0), this), "lblElapsetime");
    lblElapsetime_->setProperty("langSkip", true);
    lblFreeSizeValue_ = Named(new QLabel(this), "lblFreeSizeValue");
    lblFreeSizeValue_->setProperty("langSkip", true);

    auto* taskButtons = new QHBoxLayout;
    for (QPushButton* b : {btnSkip_, btnPause_, btnResume_, btnPauseAll_, btnResumeAll_}) taskButtons->addWidget(b);
    taskButtons->addStretch(1);

    auto* info = new QGridLayout;
    info->addWidget(Named(new QLabel(QStringLiteral("Elapse time:"), this), "lblElapse"), 0, 0);
    info->addWidget(lblElapsetime_, 0, 1);
    info->addWidget(Named(new QLabel(QStringLiteral("Free disk space:"), this), "lblFreeSize"), 1, 0);
    info->addWidget(lblFreeSizeValue_, 1, 1);
    info->addWidget(Named(new QLabel(QStringLiteral("After conversion:"), this), "lblAfterConversion"), 2, 0);
    info->addWidget(cbxAfterConversion_, 2, 1);
    info->addWidget(chkShowPreview_, 3, 0, 1, 2);
    info->setRowStretch(4, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(pnlPreview_, 0, Qt::AlignTop);
    middle->addLayout(info, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvConvert_, 1);
    layout->addLayout(taskButtons);
    layout->addLayout(middle);
    layout->addLayout(bottom);

    startTimer_.setSingleShot(true);
    startTimer_.setInterval(100);
    connect(&startTimer_, &QTimer::timeout, this, &TfrmConvert::StartRun);
    elapsedTimer_.setInterval(1000);
    connect(&elapsedTimer_, &QTimer::timeout, this, &TfrmConvert::TickElapsed);
    BuildOutputMenu();
}

void TfrmConvert::Retranslate() {
    lang_->TranslateForm(this);
    const TLangKey after[] = {convkey::kDoNothing, convkey::kOpenOutputFolder, convkey::kShutDownComputer};
    for (int i = 0; i < 3; ++i) {
        const QString text = lang_->Text(after[i]);
        if (!text.isEmpty()) cbxAfterConversion_->setItemText(i, text);
    }
    if (ended_) {
        const QString ok = lang_->Text(convkey::kConvertOk);
        btnCancel_->setText(ok.isEmpty() ? QStringLiteral("OK") : ok);
    }
}

// ---- set-up

void TfrmConvert::Send(int32_t id, intptr_t p1, intptr_t p2) {
    if (conversion_) engine_.Send(conversion_, id, p1, p2);
}

void TfrmConvert::SetUp(const TConvertParams& params) {
    wrapper_.AddHandler(msg::kNotifyConvTaskAdded, BindHandler<&TfrmConvert::OnTaskAdded>(this));
    wrapper_.AddHandler(msg::kNotifyConvTaskState, BindHandler<&TfrmConvert::OnTaskState>(this));
    wrapper_.AddHandler(msg::kNotifyConvProgress, BindHandler<&TfrmConvert::OnTaskProgress>(this));
    wrapper_.AddHandler(msg::kNotifyConvError, BindHandler<&TfrmConvert::OnTaskError>(this));
    wrapper_.AddHandler(msg::kNotifyConvBatchEnded, BindHandler<&TfrmConvert::OnAllEnded>(this));
    wrapper_.AddHandler(msg::kNotifyConvTaskOutput, BindHandler<&TfrmConvert::OnTaskOutput>(this));
    subscribed_ = true;

    Send(msg::kConvSetMaxParallel, 0, ini_.ProcessNum());
    Send(msg::kConvSetPreviewSurface, reinterpret_cast<intptr_t>(static_cast<CDrawSurface*>(pnlPreview_)),
         sizeof(CDrawSurface*));
    Rect area = pnlPreview_->Area();
    Send(msg::kConvSetPreviewRect, reinterpret_cast<intptr_t>(&area), sizeof area);
    OutputSettings settings = params.settings;
    Send(msg::kConvSetSettings, reinterpret_cast<intptr_t>(&settings), sizeof settings);
    if (ini_.dealFileExist >= 0 && ini_.dealFileExist <= 2) Send(msg::kConvSetExistingPolicy, 0, ini_.dealFileExist);
    QueueTasks(params);

    UpdateButtons();
    btnResumeAll_->setVisible(false);
    btnResumeAll_->setEnabled(false);
    ShowFreeSpace();
    startTimer_.start();
}

void TfrmConvert::QueueTasks(const TConvertParams& params) {
    for (int i = 0; i < params.sequences.size(); ++i) {
        const TSeqPathInfo path = params.paths.value(i);
        void* sequence = nullptr;
        if (params.sequenceMgr && conversion_)
            engine_.Send(params.sequenceMgr, msg::kSeqGetSequence, reinterpret_cast<intptr_t>(&sequence),
                         params.sequences[i]);
        const size_t before = rows_.size();
        if (sequence) Send(msg::kConvAddTask, reinterpret_cast<intptr_t>(sequence), sizeof sequence);
        if (rows_.size() == before) {
            // The sequence is gone (or was refused): nothing is queued for it,
            // and the log says so at the end instead of a task that cannot run.
            ++skipped_;
            const QString name = path.sequenceName.isEmpty() ? QString::number(params.sequences[i] + 1) : path.sequenceName;
            errorLog_ << lang_->Text(convkey::kErrSequenceMissing).replace(QStringLiteral("%s"), name);
            continue;
        }
        const int task = static_cast<int>(rows_.size()) - 1;
        const QString folder = ini_.outputFolderType == 1 ? path.sourceFolder : ini_.outputFolder;
        rowFolders_ << folder;
        const QByteArray utf8 = folder.toUtf8();
        PvxTaskFolder record{task, utf8.constData()};
        Send(msg::kConvSetTaskFolder, reinterpret_cast<intptr_t>(&record), sizeof record);
    }
}

void TfrmConvert::ShowFreeSpace() {
    // The nearest folder that exists decides the disk.
    QDir dir(ini_.outputFolder);
    while (!dir.exists() && !dir.isRoot() && dir.cdUp()) {
    }
    const QStorageInfo storage(dir.absolutePath());
    const qint64 free = storage.isValid() ? storage.bytesAvailable() : 0;
    if (free > 0) lblFreeSizeValue_->setText(FormatDiskSize(free));
}

void TfrmConvert::StartRun() {
    if (ended_) return;
    started_ = true;
    if (!conversion_) {
        // No project, no manager: nothing can run and nothing would report.
        RunHasEnded();
        return;
    }
    Send(msg::kConvStartBatch);
    periodStart_ = Now();
    elapsedTimer_.start();
    if (!rows_.empty() && SelectedRow() < 0) {
        // The first row added became current on its own, but not selected.
        lvConvert_->setCurrentItem(rows_.front().item);
        rows_.front().item->setSelected(true);
    }
}

// ---- notifications

void TfrmConvert::OnTaskAdded(void*, uint32_t, intptr_t p1, intptr_t p2) {
    // Raised inside 210581608, on this thread.
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(PvxTaskAdded))) return;
    const auto& added = *reinterpret_cast<const PvxTaskAdded*>(p1);
    const QString destination =
        QString::fromUtf8(added.destinationName, static_cast<qsizetype>(strnlen(added.destinationName, sizeof added.destinationName)));
    const qsizetype slash = std::max(destination.lastIndexOf(QLatin1Char('/')), destination.lastIndexOf(QLatin1Char('\\')));
    Row row;
    row.item = new QTreeWidgetItem(lvConvert_, {QString::number(rows_.size()), destination.mid(slash + 1), QString(),
                                                QStringLiteral("0")});
    rows_.push_back(row);
    StateChanged(PvxTaskState{static_cast<int32_t>(rows_.size() - 1), kPvxWaiting});
}

void TfrmConvert::OnTaskState(void*, uint32_t, intptr_t p1, intptr_t) {
    if (p1) PostWindowMessage(this, wm::kTaskState, reinterpret_cast<const void*>(p1), sizeof(PvxTaskState));
}

void TfrmConvert::OnTaskProgress(void*, uint32_t, intptr_t p1, intptr_t) {
    if (p1) PostWindowMessage(this, wm::kTaskProgress, reinterpret_cast<const void*>(p1), sizeof(PvxProgress));
}

void TfrmConvert::OnTaskError(void*, uint32_t, intptr_t p1, intptr_t p2) {
    // {code, text without its end}; a null text travels as an empty one.
    QByteArray data(sizeof(int32_t), '\0');
    const auto code = static_cast<int32_t>(p2);
    std::memcpy(data.data(), &code, sizeof code);
    if (p1) data.append(reinterpret_cast<const char*>(p1));
    PostWindowMessage(this, kTaskError, data.constData(), static_cast<size_t>(data.size()));
}

void TfrmConvert::OnAllEnded(void*, uint32_t, intptr_t, intptr_t) {
    PostWindowMessage(this, wm::kAllTasksEnded, nullptr, 0);
}

void TfrmConvert::OnTaskOutput(void*, uint32_t, intptr_t p1, intptr_t p2) {
    // Sent before the task's "finished", and posted like it, so it arrives first.
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(PvxTaskOutput))) return;
    const auto& output = *reinterpret_cast<const PvxTaskOutput*>(p1);
    if (!output.path) return;
    QByteArray data(reinterpret_cast<const char*>(&output.task), sizeof output.task);
    data.append(output.path);
    PostWindowMessage(this, kTaskOutput, data.constData(), static_cast<size_t>(data.size()));
}

void TfrmConvert::OnWindowMessage(int message, const QByteArray& data) {
    if (released_) return;  // closed: what is still on its way does not matter
    switch (message) {
        case wm::kTaskState:
            if (data.size() == sizeof(PvxTaskState)) {
                PvxTaskState s;
                std::memcpy(&s, data.constData(), sizeof s);
                StateChanged(s);
            }
            break;
        case wm::kTaskProgress:
            if (data.size() == sizeof(PvxProgress)) {
                PvxProgress p;
                std::memcpy(&p, data.constData(), sizeof p);
                Progress(p);
            }
            break;
        case kTaskError:
            if (data.size() >= static_cast<qsizetype>(sizeof(int32_t))) {
                int32_t code;
                std::memcpy(&code, data.constData(), sizeof code);
                AddErrorLine(code, QString::fromUtf8(data.mid(sizeof code)));
            }
            break;
        case kTaskOutput:
            if (data.size() > static_cast<qsizetype>(sizeof(int32_t))) {
                int32_t task;
                std::memcpy(&task, data.constData(), sizeof task);
                OutputNamed(task, QString::fromUtf8(data.mid(sizeof task)));
            }
            break;
        case wm::kAllTasksEnded: RunHasEnded(); break;
        default: break;
    }
}

// ---- closing

bool TfrmConvert::AnyActive() const {
    for (const Row& r : rows_)
        if (r.icon == kConverting || r.icon == kPaused || r.icon == kWaiting) return true;
    return false;
}

void TfrmConvert::reject() { close(); }

void TfrmConvert::closeEvent(QCloseEvent* e) {
    if (!released_ && !ended_ && AnyActive()) {
        // The clock stops while the user decides; the next state change starts it again.
        startTimer_.stop();
        if (elapsedTimer_.isActive()) {
            elapsedTimer_.stop();
            elapsedAccumulated_ += Now() - periodStart_;
        }
        if (ShowPrompt(lang_->Text(convkey::kAskStop), 2, kIconQuestion, 1, this) != kPromptYes) {
            if (!started_) startTimer_.start();
            e->ignore();
            return;
        }
    }
    Release();
    e->accept();
    QDialog::done(QDialog::Rejected);
}

// Lets the engine go: no more notifications reach this window, no task of
// it stays queued and the preview panel is no longer drawn into.
void TfrmConvert::Release() {
    if (released_) return;
    released_ = true;
    startTimer_.stop();
    elapsedTimer_.stop();
    if (subscribed_) {
        wrapper_.RemoveHandler(msg::kNotifyConvTaskAdded, BindHandler<&TfrmConvert::OnTaskAdded>(this));
        wrapper_.RemoveHandler(msg::kNotifyConvTaskState, BindHandler<&TfrmConvert::OnTaskState>(this));
        wrapper_.RemoveHandler(msg::kNotifyConvProgress, BindHandler<&TfrmConvert::OnTaskProgress>(this));
        wrapper_.RemoveHandler(msg::kNotifyConvError, BindHandler<&TfrmConvert::OnTaskError>(this));
        wrapper_.RemoveHandler(msg::kNotifyConvBatchEnded, BindHandler<&TfrmConvert::OnAllEnded>(this));
        wrapper_.RemoveHandler(msg::kNotifyConvTaskOutput, BindHandler<&TfrmConvert::OnTaskOutput>(this));
        subscribed_ = false;
    }
    if (started_) {
        if (!ended_) Send(msg::kConvStopBatch);
    } else {
        // Never started: the queued tasks are stopped and the empty batch
        // run, which ends at once and leaves the manager as it was.
        for (int i = 0; i < RowCount(); ++i) SendAction(i, kPvxStopQuietly);
        Send(msg::kConvStartBatch);
    }
}
