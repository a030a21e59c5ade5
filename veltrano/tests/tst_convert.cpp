// The conversion window: rows, buttons, clocks, the error log and the end of
// a run against a stand-in conversion manager; then a real conversion of a
// project's sequences through the window.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QStandardItemModel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cstring>
#include <memory>

#include "LanguageCheck.h"
#include "ModalAnswerer.h"
#include "app/AppPaths.h"
#include "app/EngineApi.h"
#include "app/IniInfo.h"
#include "windows/SystemShutdown.h"
#include "windows/TDrawLVProgress.h"
#include "windows/TExportRunner.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmOutputSetting.h"
#include "windows/TfrmShutDown.h"

namespace {

struct Nobody : CBaseListener {
    void OnMessage(void*, int32_t, intptr_t, intptr_t) override {}
};

// Stands in for the engine: answers the window's questions, adds a task
// (with its notification) for every sequence it knows, and records the rest.
class FakeEngine : public TEngineApi {
public:
    struct Sent {
        int32_t id;
        intptr_t p2;
    };
    explicit FakeEngine(TListenerWrapper& host, QStringList names) : host_(host), names_(std::move(names)) {}

    void Send(CBaseListener* target, int32_t id, intptr_t p1, intptr_t p2) override {
        sent.push_back({id, p2});
        if (id == msg::kGetConversionManager) *reinterpret_cast<CBaseListener**>(p1) = &conversion;
        if (id == msg::kSeqGetSequence && p2 >= 0 && p2 < names_.size())
            *reinterpret_cast<void**>(p1) = &sequences[p2];
        if (id == msg::kConvAddTask) {
            PvxTaskAdded added{};
            added.task = tasks++;
            const auto index = reinterpret_cast<Nobody*>(p1) - sequences;
            qstrncpy(added.destinationName, names_[index].toUtf8().constData(), sizeof added.destinationName);
            Notify(msg::kNotifyConvTaskAdded, &added, sizeof added);
        }
        if (id == msg::kConvSetTaskFolder) {
            const auto* r = reinterpret_cast<const PvxTaskFolder*>(p1);
            folders << QStringLiteral("%1 %2").arg(r->task).arg(QString::fromUtf8(r->folder));
        }
        if (id == msg::kConvTaskAction) {
            const auto* r = reinterpret_cast<const PvxTaskAction*>(p1);
            actions << QStringLiteral("%1:%2").arg(r->task).arg(r->action);
        }
        if (id == msg::kConvSetSettings) std::memcpy(&settings, reinterpret_cast<const void*>(p1), sizeof settings);
        if (id == msg::kSeqSelect) selection = *reinterpret_cast<const TSeqSelection*>(p1);
        (void)target;
    }
    // A notification as the engine raises it (the window copies what it keeps).
    void Notify(int32_t id, const void* p1, intptr_t p2) {
        host_.GetListener()->OnMessage(&conversion, id, reinterpret_cast<intptr_t>(p1), p2);
    }
    void State(int task, int32_t state) {
        PvxTaskState s{task, state};
        Notify(msg::kNotifyConvTaskState, &s, sizeof s);
    }
    void Progress(int task, int32_t position, int32_t total) {
        PvxProgress p{task, position, total};
        Notify(msg::kNotifyConvProgress, &p, sizeof p);
    }
    QList<int32_t> Ids() const {
        QList<int32_t> ids;
        for (const Sent& s : sent) ids << s.id;
        return ids;
    }
    int Count(int32_t id) const { return static_cast<int>(Ids().count(id)); }

    Nobody project, conversion, sequenceMgr, sequences[8];
    std::vector<Sent> sent;
    QStringList folders, actions;
    OutputSettings settings{};
    TSeqSelection selection{1, 5, 5};
    int tasks = 0;

private:
    TListenerWrapper& host_;
    QStringList names_;
};

template <class W>
W* Find(QObject* window, const char* name) {
    W* w = window->findChild<W*>(QLatin1String(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

void Flush() { QCoreApplication::processEvents(); }

// ffprobe's view of one stream field of a file ("" when it cannot tell).
QString Probe(const QString& file, const char* stream, const char* entry) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                            QLatin1String(stream), QStringLiteral("-show_entries"), QLatin1String(entry),
                                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    if (!probe.waitForFinished(30000)) return {};
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
}

}  // namespace

class TestConvert : public QObject {
    Q_OBJECT
private:
    QTemporaryDir config_;
    std::unique_ptr<TfrmLang> holder_;
    std::unique_ptr<TIniInfo> ini_;
    // Every window made in a test keeps its own host and engine till the end.
    std::vector<std::unique_ptr<TListenerWrapper>> hosts_;
    std::vector<std::unique_ptr<FakeEngine>> fakes_;
    FakeEngine* fake_ = nullptr;

    TIniInfo& Ini() { return *ini_; }
    QString DataFolder() const { return AppPaths::DataFolder(); }

    // A stand-in engine that knows sequences 0 ... n-1, with its own host.
    FakeEngine& NewFake(const QStringList& names) {
        hosts_.push_back(std::make_unique<TListenerWrapper>());
        fakes_.push_back(std::make_unique<FakeEngine>(*hosts_.back(), names));
        fake_ = fakes_.back().get();
        return *fake_;
    }
    // A window over the stand-in engine for sequences 0 ... n-1 (plus any
    // index listed that it does not know).
    std::unique_ptr<TfrmConvert> FakeWindow(const QList<int>& sequences, const QStringList& names) {
        NewFake(names);
        TConvertParams params;
        params.settings.audioCodec = 86017;
        params.settings.videoCodec = 13;
        params.sequenceMgr = &fake_->sequenceMgr;
        params.sequences = sequences;
        for (int s : sequences)
            params.paths << TSeqPathInfo{QStringLiteral("Sequence %1").arg(s + 1), QString(),
                                         QStringLiteral("/src/%1/").arg(s)};
        auto window = std::make_unique<TfrmConvert>(params, *fake_, &fake_->project, *hosts_.back(), Ini(), DataFolder());
        window->SetOpener([this](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        return window;
    }
    // Shown, started, with every row converting.
    std::unique_ptr<TfrmConvert> Running(int rows) {
        QStringList names;
        QList<int> sequences;
        for (int i = 0; i < rows; ++i) names << QStringLiteral("out%1").arg(i), sequences << i;
        auto window = FakeWindow(sequences, names);
        window->show();
        if (!QTest::qWaitFor([&] { return fake_->Count(msg::kConvStartBatch) == 1; })) qFatal("never started");
        for (int i = 0; i < rows; ++i) fake_->State(i, kPvxConverting);
        Flush();
        return window;
    }

    QStringList opened;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        holder_ = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                             AppPaths::LanguageFolder());
        QVERIFY2(holder_->LanguageError().isEmpty(), qPrintable(holder_->LanguageError()));
    }

    // Windows are gone by now; their hosts and engines may go too.
    void cleanup() {
        fakes_.clear();
        hosts_.clear();
    }

    void init() {
        ini_.reset();
        QFile::remove(config_.filePath(QStringLiteral("test.ini")));
        ini_ = std::make_unique<TIniInfo>(config_.filePath(QStringLiteral("test.ini")), config_.path() + QLatin1Char('/'));
        Ini().outputFolder = config_.path() + QStringLiteral("/out/");
        opened.clear();
    }

    void setUpQueuesEverySequenceThatStillExists() {
        Ini().SetProcessNum(3);
        Ini().dealFileExist = 1;
        // Sequence 7 is gone: it is told about, and it moves no task number.
        auto window = FakeWindow({0, 7, 1}, {QStringLiteral("first"), QStringLiteral("sub/second")});
        using namespace msg;
        QCOMPARE(fake_->Ids(), (QList<int32_t>{kGetConversionManager, kConvSetMaxParallel, kConvSetPreviewSurface,
                                               kConvSetPreviewRect, kConvSetSettings, kConvSetExistingPolicy,
                                               kSeqGetSequence, kConvAddTask, kConvSetTaskFolder, kSeqGetSequence,
                                               kSeqGetSequence, kConvAddTask, kConvSetTaskFolder}));
        QCOMPARE(fake_->sent[1].p2, 3);
        QCOMPARE(fake_->sent[3].p2, intptr_t(sizeof(Rect)));
        QCOMPARE(fake_->sent[4].p2, 136);
        QCOMPARE(fake_->settings.audioCodec, 86017);
        QCOMPARE(fake_->sent[5].p2, 1);
        QCOMPARE(fake_->folders, (QStringList{"0 " + Ini().outputFolder, "1 " + Ini().outputFolder}));
        QCOMPARE(window->RowCount(), 2);
        QCOMPARE(window->RowText(1, 0), QStringLiteral("1"));
        QCOMPARE(window->RowText(1, 1), QStringLiteral("second"));  // no folder part
        QCOMPARE(window->RowText(1, 3), QStringLiteral("0"));
        QCOMPARE(window->RowIconOf(1), int(TfrmConvert::kWaiting));
        QCOMPARE(window->ErrorLog(),
                 QStringList{QStringLiteral("The sequence \"Sequence 8\" no longer exists and was not converted.")});
        QVERIFY(!Find<QPushButton>(window.get(), "btnSkip")->isEnabled());
        QVERIFY(Find<QPushButton>(window.get(), "btnPauseAll")->isEnabled());
        QVERIFY(Find<QPushButton>(window.get(), "btnResumeAll")->isHidden());
        QVERIFY(!Find<QLabel>(window.get(), "lblFreeSizeValue")->text().isEmpty());

        // Started a moment later, with the first row selected.
        QTRY_COMPARE(fake_->Count(msg::kConvStartBatch), 1);
        QCOMPARE(window->findChild<QTreeWidget*>(QStringLiteral("lvConvert"))->currentItem()->text(0), QStringLiteral("0"));

        // Outputs beside their sources go to each sequence's own folder.
        Ini().outputFolderType = 1;
        auto beside = FakeWindow({0, 1}, {QStringLiteral("a"), QStringLiteral("b")});
        QCOMPARE(fake_->folders, (QStringList{"0 /src/0/", "1 /src/1/"}));
        // A policy outside 0 ... 2 is not sent.
        Ini().dealFileExist = 5;
        auto odd = FakeWindow({0}, {QStringLiteral("a")});
        QCOMPARE(fake_->Count(msg::kConvSetExistingPolicy), 0);
    }

    void buttonsFollowTheSelectedRowsState() {
        auto window = Running(1);
        auto* skip = Find<QPushButton>(window.get(), "btnSkip");
        auto* pause = Find<QPushButton>(window.get(), "btnPause");
        auto* resume = Find<QPushButton>(window.get(), "btnResume");
        struct Case {
            int32_t state;
            int icon;
            bool skip, pause, pauseShown, resume, resumeShown;
        };
        const Case cases[] = {
            {kPvxConverting, TfrmConvert::kConverting, true, true, true, false, false},
            {kPvxPaused, TfrmConvert::kPaused, true, false, false, true, true},
            {kPvxWaiting, TfrmConvert::kWaiting, true, false, true, false, false},
            {kPvxStopped, TfrmConvert::kStopped, false, false, false, true, true},
            {kPvxFinished, TfrmConvert::kFinished, false, false, true, false, false},
            {kPvxFailed, TfrmConvert::kFailed, false, false, true, false, false},
        };
        for (const Case& c : cases) {
            fake_->State(0, c.state);
            Flush();
            QCOMPARE(window->RowIconOf(0), c.icon);
            QCOMPARE(skip->isEnabled(), c.skip);
            QCOMPARE(pause->isEnabled(), c.pause);
            QCOMPARE(!pause->isHidden(), c.pauseShown);
            QCOMPARE(resume->isEnabled(), c.resume);
            QCOMPARE(!resume->isHidden(), c.resumeShown);
        }

        // Pause and resume act on the row they are for; skip asks first.
        fake_->State(0, kPvxConverting);
        Flush();
        pause->click();
        fake_->State(0, kPvxPaused);
        Flush();
        resume->click();
        ModalAnswerer answer(2);  // No
        skip->click();
        answer.promptSlot = 1;    // Yes
        skip->click();
        QCOMPARE(fake_->actions, (QStringList{"0:1", "0:3", "0:0"}));
        QCOMPARE(answer.prompts, (QStringList{"Skip this task?", "Skip this task?"}));
        // With nothing selected every task button is off.
        window->findChild<QTreeWidget*>(QStringLiteral("lvConvert"))->clearSelection();
        QVERIFY(!skip->isEnabled() && !pause->isEnabled() && !resume->isEnabled());
    }

    void progressAndRemainingTime() {
        auto window = Running(2);
        fake_->Progress(0, 250, 1000);
        fake_->Progress(1, 5, 0);  // a report without a total
        Flush();
        QCOMPARE(window->RowProgress(0), 250);
        QCOMPARE(window->RowProgress(1), 0);
        // A second later the clock and the remaining time have moved.
        QTRY_VERIFY_WITH_TIMEOUT(!window->RowText(0, 2).isEmpty(), 3000);
        QVERIFY(window->RowText(1, 2).isEmpty());  // nothing done: nothing to say
        QVERIFY(window->ElapsedText().startsWith(QStringLiteral("00:00:0")));
        fake_->State(0, kPvxFinished);
        Flush();
        QCOMPARE(window->RowProgress(0), 1000);
        QVERIFY(window->RowText(0, 2).isEmpty());
    }

    void finishedRowsShowTheNameTheirOutputWasGiven() {
        auto window = Running(3);
        auto* open = Find<QAction>(window.get(), "actOpenOutputFolder");
        QCOMPARE(window->RowText(0, 1), QStringLiteral("out0"));
        // The name taken meanwhile by another file: the engine gave another.
        const QByteArray path = QByteArrayLiteral("/videos/out0_0.mp4");
        PvxTaskOutput output{0, path.constData()};
        fake_->Notify(msg::kNotifyConvTaskOutput, &output, sizeof output);
        fake_->State(0, kPvxFinished);
        PvxTaskOutput series{1, "/videos/frames/"};  // a picture series: its folder
        fake_->Notify(msg::kNotifyConvTaskOutput, &series, sizeof series);
        PvxTaskOutput broken{1, nullptr};  // says nothing: the row keeps the name it has
        fake_->Notify(msg::kNotifyConvTaskOutput, &broken, sizeof broken);
        Flush();
        QCOMPARE(window->RowText(0, 1), QStringLiteral("out0_0.mp4"));
        QCOMPARE(window->RowOutput(0), QStringLiteral("/videos/out0_0.mp4"));
        QVERIFY(Find<QTreeWidget>(window.get(), "lvConvert")->topLevelItem(0)->toolTip(1).contains(QStringLiteral("/videos/out0_0.mp4")));
        QCOMPARE(window->RowText(1, 1), QStringLiteral("frames"));
        QCOMPARE(window->RowText(2, 1), QStringLiteral("out2"));
        QVERIFY(window->RowOutput(2).isEmpty());

        // Its folder opens from the row; a row without an output opens nothing.
        auto* list = Find<QTreeWidget>(window.get(), "lvConvert");
        list->setCurrentItem(list->topLevelItem(2));
        QVERIFY(!open->isEnabled());
        open->trigger();
        QVERIFY(opened.isEmpty());
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(open->isEnabled());
        open->trigger();
        QCOMPARE(opened, QStringList{QStringLiteral("/videos")});
    }

    void pauseAllThenResumeAllSwapsTheButtons() {
        auto window = Running(3);
        fake_->State(2, kPvxFinished);
        Flush();
        auto* pauseAll = Find<QPushButton>(window.get(), "btnPauseAll");
        auto* resumeAll = Find<QPushButton>(window.get(), "btnResumeAll");
        pauseAll->click();
        QCOMPARE(fake_->actions, (QStringList{"0:1", "1:1"}));
        QVERIFY(pauseAll->isHidden() && !resumeAll->isHidden() && resumeAll->isEnabled());
        fake_->State(0, kPvxPaused);
        fake_->State(1, kPvxPaused);
        Flush();
        resumeAll->click();
        QCOMPARE(fake_->actions, (QStringList{"0:1", "1:1", "0:3", "1:3"}));
        QVERIFY(!pauseAll->isHidden() && pauseAll->isEnabled() && resumeAll->isHidden());
    }

    void theEndReportsTheRunAndKeepsTheLog() {
        struct Case {
            const char* name;
            int32_t lastState;  // of the second row
            bool withErrors;
            int after;
            QString says;
            QStringList opened;
        };
        const QString log = DataFolder() + QStringLiteral("ErrorInfo.txt");
        const QString out = config_.path() + QStringLiteral("/out/");
        const Case cases[] = {
            {"all finished", kPvxFinished, false, TfrmConvert::kOpenFolder, "All tasks have been converted.", {out}},
            {"one skipped, none failed", kPvxStopped, false, TfrmConvert::kDoNothing, "The conversion was interrupted.", {}},
            {"failed, log shown", kPvxFailed, true, TfrmConvert::kDoNothing,
             "Some tasks could not be converted. Do you want to see the error log?", {log}},
        };
        for (const Case& c : cases) {
            QFile::remove(log);
            opened.clear();
            Ini().afterConversion = c.after;
            auto window = Running(2);
            fake_->State(0, kPvxFinished);
            fake_->State(1, c.lastState);
            if (c.withErrors) {
                const QByteArray path = "/videos/a.flv";
                fake_->Notify(msg::kNotifyConvError, path.constData(), 10071007);
                fake_->Notify(msg::kNotifyConvError, nullptr, 10580026);
                fake_->Notify(msg::kNotifyConvError, "odd", 42);
            }
            ModalAnswerer answer(1);  // Yes where asked
            fake_->Notify(msg::kNotifyConvBatchEnded, nullptr, 0);
            QTRY_VERIFY(window->RunEnded());
            QTRY_COMPARE(answer.prompts, QStringList{c.says});
            QCOMPARE(opened, c.opened);
            QCOMPARE(Find<QPushButton>(window.get(), "btnCancel")->text(), QStringLiteral("OK"));
            for (const char* button : {"btnSkip", "btnPause", "btnResume", "btnPauseAll", "btnResumeAll"})
                QVERIFY2(!Find<QPushButton>(window.get(), button)->isEnabled(), button);
            if (c.withErrors) {
                QFile file(log);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(QString::fromUtf8(file.readAll()),
                         QStringLiteral("Error 10071007: the clip file /videos/a.flv could not be opened.\n"
                                        "Error 10580026:\nError 42: odd\n"));
            }
            // Closing after the end asks nothing.
            QVERIFY(window->close());
            QCOMPARE(answer.prompts.size(), 1);
        }
    }

    void shuttingDownCountsDownAndCanBeCancelled() {
        int shutdowns = 0;
        for (const char* button : {"btnCancel", "btnAtOnce"}) {
            Ini().afterConversion = TfrmConvert::kShutDown;
            auto window = Running(1);
            window->SetShutdown([&shutdowns] {
                ++shutdowns;
                return QString();
            });
            fake_->State(0, kPvxFailed);
            ModalAnswerer answer;
            int counter = -1;
            answer.onDialog = [&counter, button](QWidget* w) {
                if (auto* countdown = qobject_cast<TfrmShutDown*>(w)) {
                    counter = countdown->Counter();
                    countdown->findChild<QPushButton*>(QLatin1String(button))->click();
                }
            };
            fake_->Notify(msg::kNotifyConvBatchEnded, nullptr, 0);
            QTRY_VERIFY(window->RunEnded());
            QTRY_COMPARE(counter, TfrmShutDown::kSeconds);
            QVERIFY(answer.prompts.isEmpty());  // no result message before a shut-down
        }
        QCOMPARE(shutdowns, 1);

        // The countdown reaching 0 shuts down as well, once.
        TfrmShutDown countdown([&shutdowns] {
            ++shutdowns;
            return QString();
        });
        for (int i = 0; i < TfrmShutDown::kSeconds + 3; ++i) countdown.Tick();
        QCOMPARE(shutdowns, 2);
    }

    void theShutdownAsksAboutTheProjectAndForcesNothing() {
        // A project with unsaved changes whose owner says Cancel: nothing more happens.
        struct Case {
            int32_t answer;
            bool ran, saved;
        };
        for (const Case& c : {Case{kSaveChangesCancel, false, false}, Case{kSaveChangesDiscard, true, true}}) {
            struct Host : CBaseListener {
                int32_t answer = 0;
                void OnMessage(void*, int32_t id, intptr_t p1, intptr_t) override {
                    if (id == msg::kAskSaveChanges) *reinterpret_cast<int32_t*>(p1) = answer;
                }
            } host;
            host.answer = c.answer;
            TEngineApi engine;
            CBaseListener* manager = engine.GetProjectMgr(&host);
            engine.Send(manager, msg::kProjectNew);
            CBaseListener* project = nullptr;
            engine.Send(manager, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project), sizeof project);
            CBaseListener* sequences = nullptr;
            engine.Send(project, msg::kGetSequenceManager, reinterpret_cast<intptr_t>(&sequences), sizeof sequences);
            const QByteArray file = VELTRANO_FIXTURES_DIR "/flv1_mp3_160x120.flv";
            const char* paths[] = {file.constData()};
            TImportedFiles import{"Sequence 01", -1, paths, 1, "a", 5000};
            engine.Send(sequences, msg::kSeqImport, reinterpret_cast<intptr_t>(&import), sizeof import);

            bool saved = false;
            QStringList commands;
            std::atomic<bool> asked{false};
            TSystemShutdown::Hooks hooks;
            hooks.saveSettings = [&saved] { saved = true; };
            hooks.run = [&commands, &asked](const QString& program, const QStringList& args, QString*) {
                commands << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
                asked = true;
                return true;
            };
            QCOMPARE(TSystemShutdown(engine, manager, hooks)(), c.ran);
            QCOMPARE(saved, c.saved);
            if (c.ran) QTRY_VERIFY(asked.load());
            else QTest::qWait(50);
            QCOMPARE(commands, c.ran ? QStringList{QStringLiteral("systemctl poweroff")} : QStringList());
            engine.DeleteProjectMgr();
        }
    }

    // The system is asked off the window thread; when it refuses, the saved
    // project comes back and the user hears why, and the settings written
    // before still take what changes afterwards.
    void aRefusedShutdownBringsTheProjectBack() {
        struct Host : CBaseListener {
            QByteArray savePath;
            void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
                if (id == msg::kAskSaveAsPath || id == msg::kAskSavePath)
                    qstrncpy(reinterpret_cast<char*>(p1), savePath.constData(), static_cast<size_t>(p2));
            }
        } host;
        QTemporaryDir work;
        host.savePath = work.filePath(QStringLiteral("kept.pvxp")).toUtf8();
        TEngineApi engine;
        CBaseListener* manager = engine.GetProjectMgr(&host);
        engine.Send(manager, msg::kProjectNew);
        engine.Send(manager, msg::kProjectSaveAs);
        QVERIFY(QFileInfo::exists(QString::fromUtf8(host.savePath)));

        std::mutex mutex;
        std::condition_variable answer;
        bool release = false;
        QString reopened, reported;
        TSystemShutdown::Hooks hooks;
        hooks.run = [&](const QString&, const QStringList&, QString* error) {
            std::unique_lock lock(mutex);
            answer.wait(lock, [&] { return release; });
            *error = QStringLiteral("Interactive authentication required.");
            return false;
        };
        hooks.reopenProject = [&reopened](const QString& path) { reopened = path; };
        hooks.reportFailure = [&reported](const QString& why) { reported = why; };
        QVERIFY(TSystemShutdown(engine, manager, hooks)());
        // The request is still waiting, and the window thread runs on.
        bool ticked = false;
        QTimer::singleShot(20, [&ticked] { ticked = true; });
        QTRY_VERIFY(ticked);
        QVERIFY(reported.isEmpty());
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        answer.notify_all();
        QTRY_COMPARE(reported, QStringLiteral("Interactive authentication required."));
        QCOMPARE(reopened, QString::fromUtf8(host.savePath));
        engine.DeleteProjectMgr();
    }

    void closingWhileTasksRunAsksFirst() {
        auto window = Running(2);
        ModalAnswerer answer(2);  // No
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(fake_->Count(msg::kConvStopBatch), 0);
        answer.promptSlot = 1;  // Yes
        QVERIFY(window->close());
        QCOMPARE(answer.prompts.size(), 2);
        QCOMPARE(answer.prompts[0], QStringLiteral("Tasks are still being converted. Stop them and close?"));
        QCOMPARE(fake_->Count(msg::kConvStopBatch), 1);
        // The window hears nothing more from the engine.
        fake_->State(0, kPvxFinished);
        Flush();
        QCOMPARE(window->RowIconOf(0), int(TfrmConvert::kConverting));

        // Closed before it started: its tasks are taken back without running.
        auto early = FakeWindow({0, 1}, {QStringLiteral("a"), QStringLiteral("b")});
        early->show();
        QVERIFY(early->close());
        QCOMPARE(fake_->actions, (QStringList{"0:2", "1:2"}));
        QCOMPARE(fake_->Count(msg::kConvStartBatch), 1);
        QCOMPARE(fake_->Count(msg::kConvStopBatch), 0);
        QTest::qWait(200);
        QCOMPARE(fake_->Count(msg::kConvStartBatch), 1);  // the start timer is off
    }

    void aProjectsSequencesConvertThroughTheWindow() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QFAIL("ffprobe is needed to check the outputs (make deps installs it)");
        // The engine, driven as the main window drives it.
        TListenerWrapper host;
        TEngineApi engine;
        CBaseListener* manager = engine.GetProjectMgr(host.GetListener());
        QVERIFY(manager);
        engine.Send(manager, msg::kProjectNew);
        CBaseListener* project = nullptr;
        CBaseListener* sequenceMgr = nullptr;
        engine.Send(manager, msg::kProjectGetListener, reinterpret_cast<intptr_t>(&project), sizeof project);
        QVERIFY(project);
        engine.Send(project, msg::kGetSequenceManager, reinterpret_cast<intptr_t>(&sequenceMgr), sizeof sequenceMgr);
        QVERIFY(sequenceMgr);

        // Two sequences of fixture clips, and a third whose clip file is gone
        // by the time the conversion starts.
        QTemporaryDir work;
        const QString gone = work.filePath(QStringLiteral("gone.flv"));
        QVERIFY(QFile::copy(QStringLiteral(VELTRANO_FIXTURES_DIR "/flv1_mp3_160x120.flv"), gone));
        const QString fixtures = QStringLiteral(VELTRANO_FIXTURES_DIR "/");
        struct Sequence {
            const char* name;
            const char* destination;
            QStringList files;
        };
        const Sequence project3[] = {
            {"Sequence 01", "first",
             {fixtures + "flv1_mp3_160x120.flv", fixtures + "flv1_adpcm_160x120.flv", fixtures + "flv1_mp3_160x120.flv",
              fixtures + "flv1_adpcm_160x120.flv"}},
            {"Sequence 02", "second", {fixtures + "flv1_mp3_320x240.flv", fixtures + "flv1_nelly_160x120.flv"}},
            {"Sequence 03", "third", {gone}},
        };
        for (const Sequence& s : project3) {
            std::vector<QByteArray> utf8;
            std::vector<const char*> paths;
            for (const QString& f : s.files) utf8.push_back(f.toUtf8());
            for (const QByteArray& f : utf8) paths.push_back(f.constData());
            TImportedFiles import{s.name, -1, paths.data(), int32_t(paths.size()), s.destination, 5000};
            engine.Send(sequenceMgr, msg::kSeqImport, reinterpret_cast<intptr_t>(&import), sizeof import);
        }
        QVERIFY(QFile::remove(gone));

        // The output settings dialog builds the record from the shipped profiles.
        const QString out = work.filePath(QStringLiteral("out"));
        // Someone else's file holds the second output's name: it stays, and
        // the row shows the name the output was given instead.
        QVERIFY(QDir().mkpath(out));
        {
            QFile other(out + QStringLiteral("/second.mp4"));
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("someone else's file");
        }
        const QString profileFile = DataFolder() + QStringLiteral("CustomFormats.xml");
        QFile::remove(profileFile);
        QVERIFY(QFile::copy(AppPaths::BuiltInProfileFile(), profileFile));
        TfrmOutputSetting settings(Ini(), profileFile);
        settings.Prepare();
        QCOMPARE(settings.CurrentCaption(), QStringLiteral("MP4 video (H.264 + AAC)"));
        Find<QLineEdit>(&settings, "edtOutputPath")->setText(out);
        settings.accept();
        QCOMPARE(settings.result(), int(QDialog::Accepted));

        Ini().SetProcessNum(1);  // one at a time: a held task keeps the next one waiting
        TConvertParams params;
        params.settings = settings.Record();
        params.sequenceMgr = sequenceMgr;
        params.sequences = {0, 1, 2};
        params.paths = TExportRunner::SequencePaths(engine, sequenceMgr, params.sequences);
        QCOMPARE(params.paths[1].destName, QStringLiteral("second"));
        QCOMPARE(params.paths[2].sourceFolder, work.path() + QLatin1Char('/'));
        auto window = std::make_unique<TfrmConvert>(params, engine, project, host, Ini(), DataFolder());
        window->SetOpener([this](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        auto* pause = Find<QPushButton>(window.get(), "btnPause");
        auto* resume = Find<QPushButton>(window.get(), "btnResume");
        bool held = false;
        connect(window.get(), &TfrmConvert::rowStateChanged, this, [&](int row, int icon) {
            if (row != 0 || icon != TfrmConvert::kConverting || held) return;
            held = true;
            pause->click();  // the first row is selected when the run starts
        });
        ModalAnswerer answer(1);  // Yes: show the log
        window->show();

        QTRY_COMPARE_WITH_TIMEOUT(window->RowIconOf(0), int(TfrmConvert::kPaused), 30000);
        QVERIFY(pause->isHidden() && !resume->isHidden() && resume->isEnabled());
        QTest::qWait(500);
        QCOMPARE(window->RowIconOf(0), int(TfrmConvert::kPaused));
        QCOMPARE(window->RowIconOf(1), int(TfrmConvert::kWaiting));
        resume->click();

        QTRY_VERIFY_WITH_TIMEOUT(window->RunEnded(), 180000);
        QCOMPARE(window->RowProgress(0), 1000);
        QCOMPARE(window->RowProgress(1), 1000);
        QCOMPARE(window->RowIconOf(0), int(TfrmConvert::kFinished));
        QCOMPARE(window->RowIconOf(1), int(TfrmConvert::kFinished));
        QCOMPARE(window->RowIconOf(2), int(TfrmConvert::kFailed));
        // The selected row's frames were shown while it was encoded.
        QVERIFY(Find<TPreviewSurface>(window.get(), "pnlPreview")->FramesPresented() > 0);
        QTRY_COMPARE(answer.prompts.size(), 1);
        QVERIFY(answer.prompts[0].startsWith(QStringLiteral("Some tasks could not be converted.")));

        // The log names what failed, and was handed to the desktop to show.
        const QString log = DataFolder() + QStringLiteral("ErrorInfo.txt");
        QCOMPARE(opened, QStringList{log});
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.startsWith(QStringLiteral("Error 1007")) && text.contains(gone), qPrintable(text));

        QCOMPARE(window->RowText(0, 1), QStringLiteral("first.mp4"));
        QCOMPARE(window->RowText(1, 1), QStringLiteral("second_0.mp4"));
        QCOMPARE(window->RowOutput(1), out + QStringLiteral("/second_0.mp4"));
        QCOMPARE(window->RowText(2, 1), QStringLiteral("third"));  // failed: nothing was written
        QFile other(out + QStringLiteral("/second.mp4"));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArrayLiteral("someone else's file"));
        for (const char* name : {"first", "second_0"}) {
            const QString output = out + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".mp4");
            QCOMPARE(Probe(output, "v:0", "stream=codec_name"), QStringLiteral("h264"));
            QCOMPARE(Probe(output, "a:0", "stream=codec_name"), QStringLiteral("aac"));
            QVERIFY2(Probe(output, "v:0", "stream=duration").toDouble() > 3.0, qPrintable(output));
        }
        QCOMPARE(Probe(out + QStringLiteral("/first.mp4"), "v:0", "stream=width"), QStringLiteral("160"));
        QCOMPARE(Probe(out + QStringLiteral("/second_0.mp4"), "v:0", "stream=width"), QStringLiteral("320"));
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("/third.mp4")));

        QVERIFY(window->close());
        window.reset();
        engine.DeleteProjectMgr();
    }

    void theExportEntryRunsSettingsThenTheConversion() {
        const QString profileFile = DataFolder() + QStringLiteral("CustomFormats.xml");
        QFile::remove(profileFile);
        QVERIFY(QFile::copy(AppPaths::BuiltInProfileFile(), profileFile));
        QWidget owner;
        FakeEngine& fake = NewFake({QStringLiteral("a"), QStringLiteral("b")});
        TExportRunner runner(&owner, fake, *holder_);
        TEngineHandles handles;
        handles.project = &fake.project;
        handles.sequenceMgr = &fake.sequenceMgr;

        // Cancelled settings: no conversion.
        ModalAnswerer answer;
        answer.onDialog = [](QWidget* w) {
            if (auto* settings = qobject_cast<TfrmOutputSetting*>(w)) settings->reject();
        };
        QVERIFY(!runner.Run(handles, *hosts_.back(), {0, 1}));
        QCOMPARE(fake.Count(msg::kGetConversionManager), 0);
        QCOMPARE(fake.Count(msg::kSeqSelect), 0);

        // Confirmed: the conversion window gets the record and both sequences.
        bool sawWindow = false;
        answer.onDialog = [this, &fake, &sawWindow](QWidget* w) {
            if (auto* settings = qobject_cast<TfrmOutputSetting*>(w)) {
                settings->findChild<QLineEdit*>(QStringLiteral("edtOutputPath"))->setText(config_.filePath(QStringLiteral("out")));
                settings->accept();
            } else if (auto* convert = qobject_cast<TfrmConvert*>(w)) {
                if (!convert->RunEnded()) {
                    sawWindow = convert->RowCount() == 2;
                    fake.Notify(msg::kNotifyConvBatchEnded, nullptr, 0);
                } else {
                    convert->close();
                }
            }
        };
        QVERIFY(runner.Run(handles, *hosts_.back(), {0, 1}));
        QVERIFY(sawWindow);
        // The engine's selection was cleared before the conversion window opened.
        QVERIFY(fake.Ids().indexOf(msg::kSeqSelect) >= 0);
        QVERIFY(fake.Ids().indexOf(msg::kSeqSelect) < fake.Ids().indexOf(msg::kGetConversionManager));
        QCOMPARE(fake.selection.kind, 0);
        QCOMPARE(fake.selection.sequence, -1);
        QCOMPARE(fake.selection.clip, -1);
        QCOMPARE(QString::fromLatin1(fake.settings.fileFormat), QStringLiteral("mp4"));
        QCOMPARE(fake.Count(msg::kConvAddTask), 2);
        QCOMPARE(answer.prompts, QStringList{QStringLiteral("The conversion was interrupted.")});
    }

    void theProgressBarFillsItsShare() {
        struct Case {
            const char* text;
            int value;
            int done;  // of 100 pixels
        };
        const Case cases[] = {{"0", 0, 1},     {"500", 500, 50},    {"999", 999, 99}, {"1000", 1000, 99},
                              {"1500", 1000, 99}, {"-3", 0, 1},     {"abc", 0, 1},    {"249.6", 250, 25}};
        for (const Case& c : cases) {
            QCOMPARE(TDrawLVProgress::Value(QLatin1String(c.text)), c.value);
            QCOMPARE(TDrawLVProgress::DoneWidth(100, c.value), c.done);
        }
        // Drawn inside the cell's insets: light blue up to the share, white after it.
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), QStringLiteral("500"));
        QImage image(103, 60, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        TDrawLVProgress().paint(&painter, option, model.index(0, 0));
        painter.end();
        QCOMPARE(image.pixelColor(0, 30), QColor(Qt::red));         // the left inset
        QCOMPARE(image.pixelColor(2, 30), QColor(Qt::black));       // the outline
        QCOMPARE(image.pixelColor(10, 4), QColor(174, 213, 246));   // done
        QCOMPARE(image.pixelColor(90, 4), QColor(Qt::white));       // still to do
        QCOMPARE(image.pixelColor(50, 59), QColor(Qt::red));        // the bottom inset
    }

    void everyTextIsInEveryLanguage() {
        auto window = FakeWindow({0}, {QStringLiteral("a")});
        TfrmShutDown countdown({});
        QCOMPARE(MissingLanguageItems(window.get(), holder_->Languages()), QStringList());
        QCOMPARE(MissingLanguageItems(&countdown, holder_->Languages()), QStringList());
    }
};

QTEST_MAIN(TestConvert)
#include "tst_convert.moc"
