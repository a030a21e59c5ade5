// Repairing broken recordings from the main window (the Tools menu and a
// clip's context menu) with the real engine, and files given on the
// program's command line.

#include <QAction>
#include <QDialog>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QLabel>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "MainTestSupport.h"
#include "ModalAnswerer.h"
#include "app/MyLang.h"
#include "windows/RepairLangKeys.h"
#include "windows/TSeqListModel.h"
#include "windows/TSeqQueries.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmRepair.h"

namespace {

QByteArray Digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// The report as rows of its four columns, each input's rows after it.
QList<QStringList> ReportRows(QTreeWidget* report) {
    QList<QStringList> rows;
    auto row = [](QTreeWidgetItem* item) {
        return QStringList{item->text(0), item->text(1), item->text(2), item->text(3)};
    };
    for (int i = 0; i < report->topLevelItemCount(); ++i) {
        QTreeWidgetItem* input = report->topLevelItem(i);
        rows << row(input);
        for (int c = 0; c < input->childCount(); ++c) rows << row(input->child(c));
    }
    return rows;
}

// The engine's sequences: each one's destination name, then its clips' paths.
QList<QStringList> EngineClips(TEngineApi& engine, CBaseListener* seq) {
    const TSeqQueries q(engine, seq);
    QList<QStringList> sequences;
    for (int s = 0; s < q.SequenceCount(); ++s) {
        QStringList row{q.Property(s, 0)};
        for (int c = 0; c < q.ClipCount(s); ++c) row << q.ClipPath(s, c);
        sequences << row;
    }
    return sequences;
}

// The real engine, with each repair held until Open(): a test decides
// what happens while a file is being repaired.
class GatedEngine : public TEngineApi {
public:
    void Send(CBaseListener* target, int32_t id, intptr_t p1, intptr_t p2) override {
        if (id == msg::kProjectRepairFlv) {
            std::unique_lock lock(mutex_);
            ++waiting;
            open_.wait(lock, [this] { return opened_; });
            --waiting;
        }
        TEngineApi::Send(target, id, p1, p2);
    }
    void Open() {
        std::lock_guard lock(mutex_);
        opened_ = true;
        open_.notify_all();
    }
    void Close() {
        std::lock_guard lock(mutex_);
        opened_ = false;
    }
    std::atomic<int> waiting{0};

private:
    std::mutex mutex_;
    std::condition_variable open_;
    bool opened_ = false;
};

// The real engine, each repair held at its first progress call (after the
// window's own callback has answered) until the test lets it go on.
class ProgressHeldEngine : public TEngineApi {
public:
    void Send(CBaseListener* target, int32_t id, intptr_t p1, intptr_t p2) override {
        if (id != msg::kProjectRepairFlv || !p1) {
            TEngineApi::Send(target, id, p1, p2);
            return;
        }
        auto* asked = reinterpret_cast<FlvRepairRequest*>(p1);
        asked_ = *asked;
        FlvRepairRequest mine = *asked;
        mine.user = this;
        mine.onFix = [](void* user, const FlvRepairFixRecord* f) {
            const FlvRepairRequest& a = static_cast<ProgressHeldEngine*>(user)->asked_;
            if (a.onFix) a.onFix(a.user, f);
        };
        mine.onOutput = [](void* user, const FlvRepairOutputRecord* o) {
            const FlvRepairRequest& a = static_cast<ProgressHeldEngine*>(user)->asked_;
            if (a.onOutput) a.onOutput(a.user, o);
        };
        mine.onProgress = [](void* user, int64_t done, int64_t total) -> int32_t {
            auto* self = static_cast<ProgressHeldEngine*>(user);
            const int32_t stop = self->asked_.onProgress(self->asked_.user, done, total);
            std::unique_lock lock(self->mutex_);
            ++self->calls_;
            self->held_ = !self->released_;
            self->release_.wait(lock, [self] { return self->released_; });
            return stop;
        };
        TEngineApi::Send(target, id, reinterpret_cast<intptr_t>(&mine), p2);
        asked->result = mine.result;
        asked->outputs = mine.outputs;
        std::memcpy(asked->error, mine.error, sizeof asked->error);
    }
    bool Held() {
        std::lock_guard lock(mutex_);
        return held_;
    }
    int Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        release_.notify_all();
    }

private:
    FlvRepairRequest asked_{};
    std::mutex mutex_;
    std::condition_variable release_;
    bool held_ = false, released_ = false;
    int calls_ = 0;
};

}  // namespace

class TestRepair : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHolder> holder_;
    std::unique_ptr<TEngineApi> engine_;
    std::unique_ptr<TfrmMain> main_;

    TfrmMain& Main() { return *main_; }
    CBaseListener* Sequences() { return main_->Handles().sequenceMgr; }

    void StartMain(const QStringList& arguments) {
        main_ = std::make_unique<TfrmMain>(*holder_->holder, *engine_, arguments);
        main_->Start();
    }

    // Runs the repair dialog that is open: into `folder`, then presses `button`.
    static void RunRepair(QWidget* modal, const QString& folder, const char* button, QList<QStringList>* report) {
        auto* dialog = qobject_cast<TfrmRepair*>(modal);
        QVERIFY(dialog);
        dialog->SetOutputFolder(folder);
        dialog->findChild<QPushButton*>(QStringLiteral("btnRepair"))->click();
        QVERIFY(dialog->Running());
        QVERIFY(QTest::qWaitFor([&] { return !dialog->Running(); }, 60000));
        *report = ReportRows(dialog->findChild<QTreeWidget*>(QStringLiteral("lvReport")));
        auto* press = dialog->findChild<QPushButton*>(QLatin1String(button));
        QVERIFY(press->isEnabled());
        press->click();
    }

private slots:
    void initTestCase() { holder_ = std::make_unique<TestHolder>(); }

    void init() { engine_ = std::make_unique<TEngineApi>(); }

    void cleanup() {
        PromptLog discard(1);  // "No" to saving
        if (main_) main_->close();
        main_.reset();
    }

    void theToolsMenuRepairsChosenFilesAndImportsThem() {
        StartMain({});
        QTemporaryDir out;
        const QString broken = Fixture("broken");
        const QByteArray before = Digest(broken + QStringLiteral("/glued_new_size.flv"));
        QList<QStringList> report;
        ModalAnswerer answer;
        answer.onDialog = [&](QWidget* modal) {
            if (qobject_cast<QFileDialog*>(modal))
                ChooseFiles(modal, broken, {QStringLiteral("jump_forward.flv"), QStringLiteral("glued_new_size.flv")});
            else
                RunRepair(modal, out.path(), "btnImport", &report);
        };
        QAction* action = Main().Action(QStringLiteral("actRepairFlv"));
        QVERIFY(action);
        QVERIFY(Main().menuBar()->findChild<QMenu*>(QStringLiteral("mnuTools"))->actions().contains(action));
        action->trigger();

        // Each fix with its kind, offset, stream time and what was done; each file written.
        const QList<QStringList> expected = {
            {"jump_forward.flv", "", "", "1 repaired file(s) written"},
            {"Time jump closed", "23857", "01:00:02.000", "output 1; closed a step of 3600040 ms"},
            {"Time jump closed", "25454", "01:00:02.030", "output 1; closed a step of 3600046 ms"},
            {"Repaired file", "", "00:00:04.120", "jump_forward.flv: 4.12 s, 100 pictures, 88 sound blocks"},
            {"glued_new_size.flv", "", "", "2 repaired file(s) written"},
            {"Extra onMetaData dropped", "49354", "00:00:00.000", "output 1; dropped 1 tags, 283 bytes"},
            {"Codec setup changed", "49637", "00:00:00.000", "output 2; a new file starts"},
            {"Repeated codec setup dropped", "49701", "00:00:00.000", "output 2; dropped 1 tags, 22 bytes"},
            {"Repaired file", "", "00:00:04.120", "glued_new_size.flv: 4.12 s, 100 pictures, 88 sound blocks"},
            {"Repaired file", "", "00:00:04.120", "glued_new_size_2.flv: 4.12 s, 100 pictures, 88 sound blocks"},
        };
        QCOMPARE(report, expected);

        // The files are written whole beside nothing else; the inputs are untouched.
        QDir folder(out.path());
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"glued_new_size.flv", "glued_new_size_2.flv", "jump_forward.flv"}));
        QCOMPARE(Digest(broken + QStringLiteral("/glued_new_size.flv")), before);

        // Imported: one sequence per recording, a split recording's files together.
        QCOMPARE(EngineClips(*engine_, Sequences()),
                 (QList<QStringList>{{"jump_forward", out.filePath("jump_forward.flv")},
                                     {"glued_new_size", out.filePath("glued_new_size.flv"),
                                      out.filePath("glued_new_size_2.flv")}}));
        QCOMPARE(Main().SequenceList()->Model().SequenceCount(), 2);
        QVERIFY(answer.prompts.isEmpty());
    }

    void aClipsRepairReplacesItKeepingItsEdits() {
        // One repaired file takes every edit; a recording split in two starts
        // new time lines (and may change size): only the effects go to both.
        struct Case {
            const char* file;
            QStringList outputs;
            uint32_t trimStart, marks;
        };
        const Case cases[] = {
            {"jump_forward.flv", {"jump_forward.flv"}, 1000, 1},
            {"glued_new_size.flv", {"glued_new_size.flv", "glued_new_size_2.flv"}, 0, 0},
        };
        for (const Case& c : cases) {
            StartMain({});
            PromptLog prompts;
            const QString broken = Fixture("broken/") + QLatin1String(c.file);
            Main().ImportFiles({Fixture("broken/clean_160.flv"), broken}, true);
            TfmeTreeList& list = *Main().SequenceList();
            list.Select(0, 1);
            // The broken clip's edits: a brightness, a trim and a watermark.
            CBaseListener* edit = Main().Handles().clipEditMgr;
            engine_->Send(edit, msg::kEditBrightness, 0, 30);
            engine_->Send(edit, msg::kEditTrimStart, 0, 1000);
            const QByteArray text = QByteArrayLiteral("mark");
            WaterMarkString mark{0, text.constData()};
            engine_->Send(edit, msg::kWaterMarkAddText, reinterpret_cast<intptr_t>(&mark), sizeof mark);

            QAction* action = Main().Action(QStringLiteral("actRepairClip"));
            auto* menu = list.findChild<QMenu*>(QStringLiteral("ppmList"));
            QVERIFY(menu && menu->actions().contains(action));
            emit menu->aboutToShow();
            QVERIFY(action->isEnabled());

            QTemporaryDir out;
            QList<QStringList> report;
            {
                ModalAnswerer answer;
                answer.onDialog = [&](QWidget* modal) { RunRepair(modal, out.path(), "btnReplace", &report); };
                action->trigger();
                QVERIFY(answer.prompts.isEmpty());
            }
            QVERIFY(!report.isEmpty());

            // In the broken clip's place, with what of its edits fits.
            QStringList clips{"clean_160", Fixture("broken/clean_160.flv")};
            for (const QString& name : c.outputs) clips << out.filePath(name);
            QCOMPARE(EngineClips(*engine_, Sequences()), QList<QStringList>{clips});
            for (int clip = 1; clip <= c.outputs.size(); ++clip) {
                list.Select(0, clip);
                EditEffects effects{};
                engine_->Send(edit, msg::kEditGetEffects, reinterpret_cast<intptr_t>(&effects), sizeof effects);
                QCOMPARE(effects.brightness, 30u);
                EditTrim trim{};
                engine_->Send(edit, msg::kEditGetTrim, reinterpret_cast<intptr_t>(&trim), sizeof trim);
                QCOMPARE(trim.start, c.trimStart);
                uint32_t marks = 0;
                engine_->Send(edit, msg::kWaterMarkGetCount, reinterpret_cast<intptr_t>(&marks), sizeof marks);
                QCOMPARE(marks, c.marks);
            }
            // The broken clip went to the trash, from where it can be restored.
            TfmeLocalResource* trash = Main().ResourceList()->GroupOfType(resgroup::kTrash);
            QCOMPARE(trash->NodeCount(), 1);
            QCOMPARE(QFileInfo(trash->NodeData(0)->node.path).fileName(), QLatin1String(c.file));
            QVERIFY(prompts.texts.isEmpty());
            cleanup();
        }
    }

    void whatCannotBeRepairedIsSaidAndNothingIsOffered() {
        StartMain({});
        QTemporaryDir work;
        const QString notAFolder = work.filePath(QStringLiteral("file"));
        QFile(notAFolder).open(QIODevice::WriteOnly);
        struct Case {
            const char* name;
            QStringList inputs;
            QString folder;
            bool runs;
            QString says;  // the first input's outcome
        };
        const Case cases[] = {
            {"not an FLV file", {Fixture("still_160x120.png")}, work.path(), true, "Not repaired: not an FLV file"},
            {"a missing file", {work.filePath(QStringLiteral("gone.flv"))}, work.path(), true,
             "Not repaired: cannot open the file"},
            {"the input's own folder", {Fixture("broken/zeros.flv")}, Fixture("broken"), true,
             "Not repaired: the repaired file would be the input itself"},
            {"an output folder that cannot be made", {Fixture("broken/zeros.flv")},
             notAFolder + QStringLiteral("/out"), false, ""},
        };
        for (const Case& c : cases) {
            PromptLog prompts;
            TfrmRepair dialog(*engine_, Main().Handles().projectMgr, c.inputs, c.folder, false);
            QCOMPARE(dialog.StartRepair(), c.runs);
            QVERIFY(QTest::qWaitFor([&] { return !dialog.Running(); }, 30000));
            if (c.runs) {
                QCOMPARE(dialog.Results().size(), 1);
                const QString said = dialog.findChild<QTreeWidget*>(QStringLiteral("lvReport"))->topLevelItem(0)->text(3);
                QVERIFY2(said.startsWith(c.says), qPrintable(QLatin1String(c.name) + QLatin1String(": ") + said));
            } else {
                QTRY_COMPARE(prompts.texts.size(), 1);
                QVERIFY2(prompts.texts[0].contains(c.folder), c.name);
            }
            QVERIFY2(!dialog.findChild<QPushButton*>(QStringLiteral("btnImport"))->isEnabled(), c.name);
            QVERIFY2(dialog.RepairedFiles().isEmpty(), c.name);
        }
        QCOMPARE(QDir(work.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("file")});
    }

    void aStopEndsTheFileBeingRepairedAndLeavesTheRestNotBegun() {
        StartMain({});
        QTemporaryDir out;
        const QStringList inputs = {Fixture("broken/mixed.flv"), Fixture("broken/zeros.flv"),
                                    Fixture("broken/truncated.flv")};
        // The real engine, held at the door of each repair until the test lets it in.
        GatedEngine gated;
        TfrmRepair dialog(gated, Main().Handles().projectMgr, inputs, out.path(), false);
        const auto letGo = qScopeGuard([&] { gated.Open(); });  // a failed check must not leave the run held
        dialog.show();
        QSignalSpy ended(&dialog, &TfrmRepair::repairEnded);
        QVERIFY(dialog.StartRepair());
        QVERIFY(QTest::qWaitFor([&] { return gated.waiting > 0; }, 10000));
        dialog.findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
        gated.Open();
        QVERIFY(ended.wait(30000));
        // The file being repaired stopped at the engine's first word; the two not begun say so.
        QCOMPARE(dialog.Results().size(), 1);
        QVERIFY(dialog.Results()[0].Stopped());
        QVERIFY(dialog.RepairedFiles().isEmpty());
        QTreeWidget* report = dialog.findChild<QTreeWidget*>(QStringLiteral("lvReport"));
        QCOMPARE(report->topLevelItemCount(), 3);
        QCOMPARE(report->topLevelItem(0)->text(3),
                 QStringLiteral("Stopped inside this file: 0 whole file(s) kept, nothing half-written"));
        QCOMPARE(report->topLevelItem(1)->text(3), QStringLiteral("Not repaired: stopped before this file"));
        QCOMPARE(report->topLevelItem(2)->text(3), QStringLiteral("Not repaired: stopped before this file"));
        QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

        // Closing while a file is repaired stops it; the window goes once nothing half-written is left.
        gated.Close();
        QVERIFY(dialog.StartRepair());
        QVERIFY(QTest::qWaitFor([&] { return gated.waiting > 0; }, 10000));
        dialog.reject();
        QVERIFY(dialog.isVisible());
        gated.Open();
        QVERIFY(ended.wait(30000));
        QTRY_VERIFY(!dialog.isVisible());
        QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void theBarRunsWithinAFileAndStopWorksInsideIt() {
        StartMain({});
        QTemporaryDir work;
        // A recording of a few megabytes (the bench's maker repeating a clip), so the engine tells its progress inside it.
        const QString longFile = work.filePath(QStringLiteral("long.flv"));
        QProcess maker;
        maker.start(QStringLiteral("python3"), {Fixture("../../bench/flvtags.py"), QStringLiteral("repeat"),
                                               Fixture("broken/clean_160.flv"), longFile, QStringLiteral("4")});
        QVERIFY(maker.waitForFinished(60000) && maker.exitCode() == 0);
        const QString out = work.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out));

        ProgressHeldEngine held;
        TfrmRepair dialog(held, Main().Handles().projectMgr, {longFile, Fixture("broken/zeros.flv")}, out, false);
        const auto letGo = qScopeGuard([&] { held.Release(); });
        dialog.show();
        QSignalSpy ended(&dialog, &TfrmRepair::repairEnded);
        QVERIFY(dialog.StartRepair());
        QVERIFY(QTest::qWaitFor([&] { return held.Held(); }, 30000));
        // Held at the engine's first progress call, a megabyte into the file: the bar shows it.
        auto* bar = dialog.findChild<QProgressBar*>(QStringLiteral("pbRepair"));
        QTRY_VERIFY(bar->value() > bar->minimum());
        QVERIFY(bar->value() < bar->maximum() / 2);  // still in the first of the two passes
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lblProgress"))->text(),
                 QStringLiteral("Repairing long.flv (1 of 2)..."));

        dialog.findChild<QPushButton*>(QStringLiteral("btnStop"))->click();
        held.Release();
        QVERIFY(ended.wait(30000));
        // The engine's next call stopped it: nothing of the file is left, the next one was not begun.
        QCOMPARE(held.Calls(), 2);
        QCOMPARE(dialog.Results().size(), 1);
        QVERIFY(dialog.Results()[0].Stopped());
        QTreeWidget* report = dialog.findChild<QTreeWidget*>(QStringLiteral("lvReport"));
        QVERIFY(report->topLevelItem(0)->text(3).startsWith(QStringLiteral("Stopped inside this file")));
        QCOMPARE(report->topLevelItem(1)->text(3), QStringLiteral("Not repaired: stopped before this file"));
        QVERIFY(QDir(out).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("btnImport"))->isEnabled());
    }

    void aSequenceRowHasNoClipToRepair() {
        StartMain({});
        Main().ImportFiles({Fixture("broken/clean_160.flv")}, false);
        Main().SequenceList()->Select(0, -1);
        emit Main().SequenceList()->findChild<QMenu*>(QStringLiteral("ppmList"))->aboutToShow();
        QVERIFY(!Main().Action(QStringLiteral("actRepairClip"))->isEnabled());
    }

    void theCommandLineOpensAProjectThenImportsFiles() {
        // A project with one sequence, saved by the engine itself.
        QTemporaryDir work;
        const QString project = work.filePath(QStringLiteral("saved.pvxp"));
        StartMain({});
        Main().ImportFiles({Fixture("flv1_mp3_160x120.flv")}, false);
        SaveProjectAs(Main().Action(QStringLiteral("actSaveAsProject")), project);
        QVERIFY(QFileInfo::exists(project));
        cleanup();

        struct Case {
            const char* name;
            QStringList arguments;
            QStringList destinations;  // of the sequences, in order
            int prompts;
        };
        const Case cases[] = {
            {"a project", {project}, {"flv1_mp3_160x120"}, 0},
            {"two FLV files", {Fixture("flv1_adpcm_160x120.flv"), Fixture("mp3_audio_only.flv")},
             {"flv1_adpcm_160x120", "mp3_audio_only"}, 0},
            {"files join the project, whatever their order",
             {Fixture("mp3_audio_only.flv"), project}, {"flv1_mp3_160x120", "mp3_audio_only"}, 0},
            {"a missing project is named", {work.filePath(QStringLiteral("gone.pvxp"))}, {}, 1},
        };
        for (const Case& c : cases) {
            {
                PromptLog prompts;
                StartMain(c.arguments);
                // The start timer opens them, after the window is up.
                QStringList shown;
                (void)QTest::qWaitFor([&] {
                    shown.clear();
                    for (const QStringList& s : EngineClips(*engine_, Sequences())) shown << s.first();
                    return shown == c.destinations && prompts.texts.size() >= c.prompts;
                }, 10000);
                QVERIFY2(shown == c.destinations, qPrintable(QLatin1String(c.name) + QLatin1String(": ") + shown.join(',')));
                QCOMPARE(prompts.texts.size(), c.prompts);
            }
            cleanup();
        }
    }

    void filesFromASecondStartWaitForAnOpenModalWindow() {
        StartMain({});
        QDialog modal(&Main());
        bool untouched = false;
        QTimer::singleShot(0, &modal, [&] {
            Main().ActivateFromOtherInstance({Fixture("flv1_mp3_160x120.flv")});
            QTest::qWait(700);
            untouched = EngineClips(*engine_, Sequences()).isEmpty();
            modal.accept();
        });
        modal.exec();
        QVERIFY(untouched);  // the modal window's project stayed as it was
        QTRY_COMPARE(EngineClips(*engine_, Sequences()),
                     (QList<QStringList>{{"flv1_mp3_160x120", Fixture("flv1_mp3_160x120.flv")}}));
    }

    void everyRepairTextIsInBothLanguages() {
        for (const QString& language : holder_->holder->Languages().LanguageNames()) {
            QVERIFY(holder_->holder->Languages().SelectLanguage(language));
            for (const TLangKey& key : repairkey::kAll) {
                TMyLang lang(nullptr, QLatin1String(key.unit), &holder_->holder->Languages());
                QVERIFY2(!lang.Text(key).isEmpty(), qPrintable(language + QLatin1Char(' ') + QLatin1String(key.key)));
            }
            TfrmRepair dialog(*engine_, nullptr, {}, QString(), false);
            for (QObject* obj : dialog.findChildren<QObject*>()) {
                auto* button = qobject_cast<QPushButton*>(obj);
                if (!button || obj->property("langSkip").toBool()) continue;
                TMyLang* lang = dialog.findChild<TMyLang*>();
                QVERIFY2(!lang->Text(obj->objectName()).isEmpty(), qPrintable(obj->objectName()));
            }
        }
        QVERIFY(holder_->holder->Languages().SelectLanguage(QStringLiteral("English")));
    }

};

QTEST_MAIN(TestRepair)
#include "tst_repair.moc"
