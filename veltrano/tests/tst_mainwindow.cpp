// The main window with the real engine: importing and dropping, the list
// following the engine (sorting, moving, deleting, merging, restoring),
// closing a project, the metadata edits, project loading and the resource
// preview, with the faults the description left in them mended.

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include "MainTestSupport.h"
#include "ModalAnswerer.h"
#include "app/MyLang.h"
#include "windows/FlvFileMessages.h"
#include "windows/MainLangKeys.h"
#include "windows/TSeqTreeView.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmLoadFile.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmOutputSetting.h"

namespace {

// The engine's list as (sequence name, clip file names) pairs.
using Tree = QList<std::pair<QString, QStringList>>;

Tree EngineTree(TEngineApi& engine, CBaseListener* seq) {
    Tree tree;
    int32_t count = 0;
    engine.Send(seq, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    for (int s = 0; s < count; ++s) {
        TSeqProperty name{s, 8, nullptr};
        engine.Send(seq, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&name), sizeof name);
        int32_t clips = s;
        engine.Send(seq, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&clips), sizeof clips);
        QStringList files;
        for (int c = 0; c < clips; ++c) {
            const char* path = nullptr;
            TSeqClipQuery q{s, c, reinterpret_cast<intptr_t>(&path)};
            engine.Send(seq, msg::kSeqGetClipPath, reinterpret_cast<intptr_t>(&q), sizeof q);
            files << QFileInfo(QString::fromUtf8(path)).fileName();
        }
        tree.append({QString::fromUtf8(name.text), files});
    }
    return tree;
}

Tree ListTree(const TfmeTreeList& list) {
    Tree tree;
    const TSeqListModel& m = list.Model();
    for (int s = 0; s < m.SequenceCount(); ++s) {
        QStringList files;
        for (int c = 0; c < m.ClipCount(s); ++c) files << m.Row(s, c)->name;
        tree.append({m.Row(s, -1)->name, files});
    }
    return tree;
}

void SelectRows(TfmeTreeList& list, const QList<std::pair<int, int>>& rows) {
    QItemSelectionModel* selection = list.View()->selectionModel();
    selection->clearSelection();
    for (auto [s, c] : rows)
        selection->select(list.Model().IndexOf(s, c), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

bool AnyLoadWindowVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmLoadFile*>(w) && w->isVisible()) return true;
    return false;
}

// Runs a tool we did not write and gives its standard output ("" when it failed).
QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The mean difference of two pictures of one size, per channel (0 ... 255).
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHolder> holder_;
    std::unique_ptr<TEngineApi> engine_;
    std::unique_ptr<TfrmMain> main_;

    TfrmMain& Main() { return *main_; }
    TfmeTreeList& List() { return *main_->SequenceList(); }
    Tree Engine() { return EngineTree(*engine_, main_->Handles().sequenceMgr); }
    QString Path(const char* name) { return holder_->config.path() + QLatin1Char('/') + QLatin1String(name); }

private slots:
    void initTestCase() { holder_ = std::make_unique<TestHolder>(); }

    void init() {
        engine_ = std::make_unique<TEngineApi>();
        main_ = std::make_unique<TfrmMain>(*holder_->holder, *engine_, QStringList());
        main_->Start();
    }

    void cleanup() {
        PromptLog discard(1);  // "No" to saving
        main_->close();
        main_.reset();
    }

    void importTakesPicturesAndNamesSequences() {
        PromptLog prompts;
        const QString notes = Path("notes.txt");
        QFile text(notes);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a clip") > 0);
        text.close();
        holder_->holder->Ini().imageDefLen = 2500;
        Main().ImportFiles({Fixture("flv1_mp3_160x120.flv"), Fixture("still_160x120.png"), notes,
                            Fixture("mp3_audio_only.flv")},
                           false);
        holder_->holder->Ini().imageDefLen = 5000;
        QCOMPARE(ListTree(List()), (Tree{{QStringLiteral("Sequence 00"), {QStringLiteral("flv1_mp3_160x120.flv")}},
                                         {QStringLiteral("Sequence 01"), {QStringLiteral("still_160x120.png")}},
                                         {QStringLiteral("Sequence 02"), {QStringLiteral("mp3_audio_only.flv")}}}));
        QCOMPARE(ListTree(List()), Engine());
        QCOMPARE(List().FindRow(2, -1)->destination, QStringLiteral("mp3_audio_only"));
        QCOMPARE(List().FindRow(2, 0)->kind, 4);  // audio only
        QCOMPARE(List().FindRow(1, 0)->kind, 2);  // a still picture, as long as "ImageDefLen" says
        QCOMPARE(List().FindRow(1, 0)->ms, 2500);
        QVERIFY(List().FindRow(0, 0)->ms > 2900);
        QCOMPARE(List().FindRow(0, -1)->ms, List().FindRow(0, 0)->ms);
        // Only what the engine refused is named, with the engine's reason.
        QCOMPARE(prompts.texts.size(), 1);
        QVERIFY(prompts.texts[0].startsWith(Main().Lang()->Text(mainkey::kInvalidFlv)));
        QVERIFY(prompts.texts[0].contains(notes));
        QVERIFY(!AnyLoadWindowVisible());
        QVERIFY(Main().isEnabled());
        // The imported list shows what came in.
        QCOMPARE(Main().ResourceList()->GroupOfType(resgroup::kImported)->NodeCount(), 3);

        // Merged: one sequence, the engine's progress window comes and goes.
        Main().ImportFiles({Fixture("flv1_video_only_160x120.flv"), Fixture("flv1_adpcm_160x120.flv")}, true);
        QCOMPARE(ListTree(List()).last(),
                 (std::pair<QString, QStringList>{QStringLiteral("Sequence 03"),
                                                  {QStringLiteral("flv1_video_only_160x120.flv"),
                                                   QStringLiteral("flv1_adpcm_160x120.flv")}}));
        QCOMPARE(List().FindRow(3, -1)->destination, QStringLiteral("flv1_video_only_160x120"));
        QVERIFY(!AnyLoadWindowVisible());
        QVERIFY(Main().isEnabled());
        QVERIFY(Main().Action(QStringLiteral("actExportAll"))->isEnabled());
    }

    // A folder of FLV files and pictures dropped on the window is one
    // sequence; exported to MP4 it lasts as long as its clips together and
    // shows the still picture where it stands.
    void aFolderOfClipsAndPicturesExportsAsOneFile() {
        for (const char* tool : {"ffprobe", "ffmpeg"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QFAIL("ffprobe and ffmpeg are needed to check the output (make deps installs them)");
        const QString folder = Path("mixed");
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        const std::pair<const char*, const char*> files[] = {{"flv1_mp3_160x120.flv", "a.flv"},
                                                             {"flv1_adpcm_160x120.flv", "b.flv"},
                                                             {"still_160x120.png", "c.png"},
                                                             {"anim_64x48_5x100ms.gif", "d.gif"}};
        for (const auto& [fixture, name] : files)
            QVERIFY(QFile::copy(Fixture(fixture), folder + QLatin1Char('/') + QLatin1String(name)));
        TIniInfo& ini = holder_->holder->Ini();
        ini.imageDefLen = 1000;
        Main().DropFiles({folder});
        ini.imageDefLen = 5000;
        QCOMPARE(ListTree(List()), (Tree{{QStringLiteral("Sequence 00"),
                                          {QStringLiteral("a.flv"), QStringLiteral("b.flv"), QStringLiteral("c.png"),
                                           QStringLiteral("d.gif")}}}));
        QCOMPARE(List().FindRow(0, 2)->ms, 1000);
        QCOMPARE(List().FindRow(0, 3)->ms, 500);  // the animation keeps its five frames of 100 ms
        int total = 0;
        for (int c = 0; c < 4; ++c) total += List().FindRow(0, c)->ms;
        QCOMPARE(List().FindRow(0, -1)->ms, total);

        // A clip selected, then exported: the conversion window opens with
        // nothing selected and the clip panel let go.
        List().View()->selectionModel()->select(List().Model().IndexOf(0, 0),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTRY_VERIFY(Main().findChild<QPushButton*>(QStringLiteral("btnStop"))->isEnabled());
        const QString out = Path("out");
        bool selectionCleared = false;
        ModalAnswerer answer;
        answer.onDialog = [&](QWidget* w) {
            if (auto* settings = qobject_cast<TfrmOutputSetting*>(w)) {
                settings->findChild<QLineEdit*>(QStringLiteral("edtOutputPath"))->setText(out);
                settings->accept();
            } else if (auto* convert = qobject_cast<TfrmConvert*>(w)) {
                if (convert->RowCount() == 1 && !selectionCleared)
                    selectionCleared = !List().View()->selectionModel()->hasSelection() &&
                                       !Main().findChild<QPushButton*>(QStringLiteral("btnStop"))->isEnabled();
                if (convert->RunEnded()) convert->close();
            }
        };
        Main().Action(QStringLiteral("actExportAll"))->trigger();
        QVERIFY(selectionCleared);
        QCOMPARE(answer.prompts.size(), 1);  // every task finished

        const QString output = out + QStringLiteral("/mixed.mp4");
        const double seconds = RunTool(QStringLiteral("ffprobe"),
                                       {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                        QStringLiteral("format=duration"), QStringLiteral("-of"),
                                        QStringLiteral("csv=p=0"), output})
                                   .toDouble();
        QVERIFY2(std::abs(seconds - total / 1000.0) < 0.25, qPrintable(QStringLiteral("%1 s").arg(seconds)));
        // Halfway through the still picture's second, the frame is that picture.
        const double at = (List().FindRow(0, 0)->ms + List().FindRow(0, 1)->ms + 500) / 1000.0;
        const QString frameFile = Path("frame.png");
        RunTool(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                           QStringLiteral("-ss"), QString::number(at), QStringLiteral("-i"), output,
                                           QStringLiteral("-frames:v"), QStringLiteral("1"), frameFile});
        const QImage frame(frameFile), picture(Fixture("still_160x120.png"));
        QCOMPARE(frame.size(), picture.size());
        QVERIFY2(MeanDifference(frame, picture) < 12, qPrintable(QString::number(MeanDifference(frame, picture))));
    }

    void pathsTooLongAreRefusedNotCut() {
        PromptLog prompts;
        const QString tooLong = QStringLiteral("/") + QString(5000, u'x') + QStringLiteral(".flv");
        Main().ImportFiles({tooLong}, false);
        QVERIFY(List().IsEmpty());
        QCOMPARE(prompts.texts.size(), 1);
        QVERIFY(prompts.texts[0].startsWith(Main().Lang()->Text(langkey::kErrPathTooLong)));
    }

    void dropsOpenProjectsAndRejectOthers() {
        PromptLog prompts;
        // A text file named .flv goes to the engine, which reports it.
        const QString fake = Path("fake.flv");
        QFile f(fake);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("just some text, not a video");
        f.close();
        Main().DropFiles({fake});
        QVERIFY(List().IsEmpty());
        QCOMPARE(prompts.texts.size(), 1);
        QVERIFY(prompts.texts[0].contains(fake));

        // A folder brings its own FLV files as one sequence named after it.
        const QString folder = Path("holiday.clips");
        QDir().mkpath(folder + QStringLiteral("/inner"));
        QFile::copy(Fixture("flv1_mp3_160x120.flv"), folder + QStringLiteral("/b.flv"));
        QFile::copy(Fixture("mp3_audio_only.flv"), folder + QStringLiteral("/a.FLV"));
        QFile::copy(Fixture("flv1_mp3_160x120.flv"), folder + QStringLiteral("/inner/c.flv"));
        Main().DropFiles({folder});
        QCOMPARE(ListTree(List()),
                 (Tree{{QStringLiteral("Sequence 00"), {QStringLiteral("a.FLV"), QStringLiteral("b.flv")}}}));
        QCOMPARE(List().FindRow(0, -1)->destination, QStringLiteral("holiday.clips"));

        // Saved, then dropped alone: it opens without asking for a name.
        const QString project = Path("dropped.pvxp");
        QVERIFY(AnswerSaveAs(project));
        List().Clear();
        prompts.texts.clear();
        Main().DropFiles({project});
        QCOMPARE(Main().windowTitle(), QStringLiteral("dropped - Veltrano"));
        QCOMPARE(ListTree(List()).size(), 1);
        QVERIFY(prompts.texts.isEmpty());

        // With another file, the project file is just a file the engine
        // refuses; both refusals come in one message.
        Main().DropFiles({project, Path("notes.txt")});
        QCOMPARE(prompts.texts.size(), 1);
        QVERIFY(prompts.texts[0].contains(project) && prompts.texts[0].contains(Path("notes.txt")));
        QCOMPARE(ListTree(List()).size(), 1);
    }

    void cancellingTheCloseKeepsEverything() {
        Main().ImportFiles({Fixture("flv1_mp3_160x120.flv")}, false);
        QAction* close = Main().Action(QStringLiteral("actCloseProject"));
        {
            PromptLog cancel(2);
            close->trigger();
        }
        QVERIFY(Main().Handles().projectMgr && Main().Handles().project && Main().Handles().sequenceMgr);
        QCOMPARE(ListTree(List()).size(), 1);
        {
            PromptLog no(1);
            close->trigger();
        }
        QVERIFY(!Main().Handles().project && !Main().Handles().sequenceMgr);
        QVERIFY(List().IsEmpty());
        QVERIFY(!Main().Action(QStringLiteral("actClear"))->isEnabled());
        // The project manager stays, so a new project can be made.
        QVERIFY(Main().Handles().projectMgr);
        Main().Action(QStringLiteral("actNewProject"))->trigger();
        QVERIFY(Main().Handles().project && Main().Handles().sequenceMgr);
    }

    void sortingMovingAndDraggingFollowTheEngine() {
        // Sequences of 2, 1 and 3 clips, so their lengths differ.
        const QString a = Fixture("flv1_mp3_160x120.flv"), b = Fixture("mp3_audio_only.flv");
        Main().ImportFiles({a, b}, true);
        Main().ImportFiles({b}, false);
        Main().ImportFiles({a, b, a}, true);
        auto names = [&] {
            QStringList n;
            for (const auto& s : ListTree(List())) n << s.first;
            return n;
        };
        QCOMPARE(names(), (QStringList{QStringLiteral("Sequence 00"), QStringLiteral("Sequence 01"),
                                       QStringLiteral("Sequence 02")}));
        QHeaderView* header = List().View()->header();
        emit header->sectionClicked(TSeqListModel::kColLength);  // first click: longest first
        QCOMPARE(names(), (QStringList{QStringLiteral("Sequence 02"), QStringLiteral("Sequence 00"),
                                       QStringLiteral("Sequence 01")}));
        QCOMPARE(ListTree(List()), Engine());
        emit header->sectionClicked(TSeqListModel::kColLength);  // ascending means shortest first
        QCOMPARE(names(), (QStringList{QStringLiteral("Sequence 01"), QStringLiteral("Sequence 00"),
                                       QStringLiteral("Sequence 02")}));
        emit header->sectionClicked(TSeqListModel::kColName);
        QCOMPARE(names(), (QStringList{QStringLiteral("Sequence 00"), QStringLiteral("Sequence 01"),
                                       QStringLiteral("Sequence 02")}));
        QCOMPARE(ListTree(List()), Engine());

        // Move Up on the first row does nothing; Move Down moves it.
        SelectRows(List(), {{0, -1}});
        QVERIFY(!Main().Action(QStringLiteral("actMoveUp"))->isEnabled());
        Main().Action(QStringLiteral("actMoveDown"))->trigger();
        QCOMPARE(names(), (QStringList{QStringLiteral("Sequence 01"), QStringLiteral("Sequence 00"),
                                       QStringLiteral("Sequence 02")}));
        QCOMPARE(List().SelectedTarget(), std::make_pair(1, -1));  // the selection went along

        // Dragging clips 0 and 1 of the three-clip sequence after its last clip.
        emit List().rowsDropped(3, {{2, 0}, {2, 1}});
        QCOMPARE(ListTree(List())[2].second, (QStringList{QStringLiteral("flv1_mp3_160x120.flv"),
                                                        QStringLiteral("flv1_mp3_160x120.flv"),
                                                        QStringLiteral("mp3_audio_only.flv")}));
        QCOMPARE(ListTree(List()), Engine());
        // A sequence dragged before the first one.
        emit List().rowsDropped(0, {{2, -1}});
        QCOMPARE(names().first(), QStringLiteral("Sequence 02"));
        QCOMPARE(ListTree(List()), Engine());
    }

    void mergeDeleteAndRestore() {
        const QString a = Fixture("flv1_mp3_160x120.flv"), b = Fixture("mp3_audio_only.flv");
        Main().ImportFiles({a, b}, false);  // Sequence 00 {a}, Sequence 01 {b}
        List().ExpandAll();
        SelectRows(List(), {{1, 0}, {0, 0}});
        QVERIFY(Main().Action(QStringLiteral("actCutMerge"))->isEnabled());
        Main().Action(QStringLiteral("actCutMerge"))->trigger();
        // The emptied sequences go; the merge takes the clips in list order.
        QCOMPARE(ListTree(List()), (Tree{{QStringLiteral("Merge 00"),
                                          {QStringLiteral("flv1_mp3_160x120.flv"), QStringLiteral("mp3_audio_only.flv")}}}));
        QCOMPARE(List().FindRow(0, -1)->destination, QStringLiteral("Merge 00"));

        TfmeLocalResource* trash = Main().ResourceList()->GroupOfType(resgroup::kTrash);
        SelectRows(List(), {{0, 1}});
        Main().Action(QStringLiteral("actDeleteSelected"))->trigger();
        QCOMPARE(ListTree(List())[0].second, QStringList{QStringLiteral("flv1_mp3_160x120.flv")});
        QCOMPARE(trash->NodeCount(), 1);
        // A sequence and one of its own clips: the clip goes with the sequence.
        Main().ImportFiles({a, b}, true);
        SelectRows(List(), {{1, 0}, {1, -1}});
        Main().Action(QStringLiteral("actDeleteSelected"))->trigger();
        QCOMPARE(ListTree(List()).size(), 1);
        QCOMPARE(trash->NodeCount(), 2);
        QCOMPARE(trash->NodeData(1)->node.kind, 3);

        // The trashed clip dropped on empty space: a sequence of its own.
        const TResourceEntry clip = *trash->NodeData(0);
        emit List().resourceEntryDropped(-1, -1, resgroup::kTrash, 0, clip.node.path);
        QCOMPARE(ListTree(List()).size(), 2);
        QCOMPARE(ListTree(List())[1], (std::pair<QString, QStringList>{QStringLiteral("Sequence 00"),
                                                                     {QStringLiteral("mp3_audio_only.flv")}}));
        QCOMPARE(List().FindRow(1, -1)->destination, QStringLiteral("mp3_audio_only"));
        QCOMPARE(trash->NodeCount(), 1);
        // The trashed sequence dropped onto the first row goes before it.
        emit List().resourceEntryDropped(0, -1, resgroup::kTrash, 0, trash->NodeData(0)->node.path);
        QCOMPARE(ListTree(List()).size(), 3);
        QCOMPARE(ListTree(List())[0].second.size(), 2);
        QCOMPARE(trash->NodeCount(), 0);
        QCOMPARE(ListTree(List()), Engine());
    }

    void metadataEdits() {
        Main().ImportFiles({Fixture("flv1_mp3_160x120.flv")}, false);
        auto* dest = Main().findChild<QLineEdit*>(QStringLiteral("edtExportName"));
        auto* year = Main().findChild<QLineEdit*>(QStringLiteral("edtYear"));
        QVERIFY(!dest->isEnabled());
        SelectRows(List(), {{0, -1}});
        QVERIFY(dest->isEnabled());
        QCOMPARE(dest->text(), QStringLiteral("flv1_mp3_160x120"));
        auto engineProperty = [&](int property) {
            TSeqProperty p{0, property, nullptr};
            engine_->Send(Main().Handles().sequenceMgr, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&p), sizeof p);
            return QString::fromUtf8(p.text);
        };
        dest->selectAll();
        QTest::keyClicks(dest, QStringLiteral("my:film"));  // the colon is never typed
        QCOMPARE(dest->text(), QStringLiteral("myfilm"));
        QCOMPARE(engineProperty(0), QStringLiteral("myfilm"));
        QCOMPARE(List().FindRow(0, -1)->destination, QStringLiteral("myfilm"));
        // Longer than a destination may be: back to what the engine holds.
        dest->setText(QString(128, u'y'));
        emit dest->textEdited(dest->text());
        QTest::keyClicks(dest, QStringLiteral("y"));
        QCOMPARE(dest->text(), QString(128, u'y'));
        QCOMPARE(engineProperty(0), QString(128, u'y'));
        QTest::keyClicks(year, QStringLiteral("2009"));
        QCOMPARE(engineProperty(4), QStringLiteral("2009"));
        // Renaming in the list writes the edit too.
        QVERIFY(List().Model().setData(List().Model().IndexOf(0, -1, TSeqListModel::kColDestination),
                                       QStringLiteral("From the list")));
        QCOMPARE(dest->text(), QStringLiteral("From the list"));
        QCOMPARE(engineProperty(0), QStringLiteral("From the list"));
        // A clip has no metadata.
        List().ExpandAll();
        SelectRows(List(), {{0, 0}});
        QVERIFY(!dest->isEnabled());
        QVERIFY(dest->text().isEmpty());
    }

    void trimmingAClipUpdatesTheListLengths() {
        const QString a = Fixture("flv1_mp3_160x120.flv");
        Main().ImportFiles({a, a}, true);
        List().ExpandAll();
        SelectRows(List(), {{0, 1}});  // the panel edits this clip now
        engine_->Send(Main().Handles().clipEditMgr, msg::kEditTrimEnd, 0, 1000);
        QCOMPARE(List().FindRow(0, 1)->ms, 1000);
        QCOMPARE(List().FindRow(0, 1)->length, QStringLiteral("00:00:01.000"));
        QCOMPARE(List().FindRow(0, -1)->ms, List().FindRow(0, 0)->ms + 1000);  // the sequence follows
    }

    void reopenedProjectsLoadWholeAndTheirWindowCloses() {
        const QString a = Fixture("flv1_mp3_160x120.flv");
        Main().ImportFiles({a, Fixture("mp3_audio_only.flv"), a}, true);
        Main().ImportFiles({a}, false);
        Main().ImportFiles({a, a}, true);
        // Clips in the trash load with the project too, and count in its progress.
        List().ExpandAll();
        SelectRows(List(), {{0, 2}, {2, -1}});
        Main().Action(QStringLiteral("actDeleteSelected"))->trigger();
        const Tree before = ListTree(List());
        QCOMPARE(before.size(), 2);
        const QString project = Path("reopen.pvxp");
        QVERIFY(AnswerSaveAs(project));
        Main().Action(QStringLiteral("actNewProject"))->trigger();
        QVERIFY(List().IsEmpty());
        Main().DropFiles({project});
        QCOMPARE(ListTree(List()), before);
        QVERIFY(!AnyLoadWindowVisible());
        QVERIFY(Main().isEnabled());
        QCOMPARE(Main().ResourceList()->GroupOfType(resgroup::kImported)->NodeCount(), 2);
        QCOMPARE(Main().ResourceList()->GroupOfType(resgroup::kTrash)->NodeCount(), 2);
    }

    void theResourcePreviewPlaysAndStops() {
        auto* play = Main().findChild<QPushButton*>(QStringLiteral("btnResPlay"));
        auto* pause = Main().findChild<QPushButton*>(QStringLiteral("btnResPause"));
        auto* name = Main().findChild<QLabel*>(QStringLiteral("lblResName"));
        TfmeLocalResource* computer = Main().ResourceList()->GroupOfType(resgroup::kComputer);
        TResourceEntry entry;
        entry.groupType = resgroup::kComputer;
        entry.state = resstate::kFlvFile;
        entry.node.path = Fixture("flv1_mp3_160x120.flv");
        emit computer->previewRequested(entry);
        QTRY_VERIFY(pause->isVisible());
        QVERIFY(!play->isVisible());
        QCOMPARE(name->toolTip(), entry.node.path);
        Main().findChild<QPushButton*>(QStringLiteral("btnResStop"))->click();
        QTRY_VERIFY(play->isVisible());
        QVERIFY(!play->isEnabled());  // closed: nothing to play
        QVERIFY(name->text().isEmpty());

        // A missing file is a warning, not a preview.
        PromptLog prompts;
        entry.node.path = Path("gone.flv");
        emit computer->previewRequested(entry);
        QCOMPARE(prompts.texts.size(), 1);
        QVERIFY(prompts.texts[0].endsWith(entry.node.path));
    }

    void unsupportedCodecsAreNamedWithinTheTables() {
        TMyLang& lang = *Main().Lang();
        struct Case {
            int32_t video, audio;
            QString expected;  // the video and audio names shown
        };
        const Case cases[] = {
            {2, 2, QStringLiteral("video: Sorenson H.263, audio: MP3")},
            {8, 15, QStringLiteral("video: H.264 Alpha, audio: Device-specific sound")},
            {0, 16, QStringLiteral("video: none, audio: none")},  // just past either table
            {9, -1, QStringLiteral("video: none, audio: none")},
            {-1, 4, QStringLiteral("video: none, audio: none")},  // a format without a name
            {255, 1000, QStringLiteral("video: none, audio: none")},
        };
        for (const Case& c : cases) {
            int32_t detail[16] = {1, c.video, c.audio};  // a whole 64-byte description
            const QString text = UnsupportedFileText(lang, kUnsupportedFlvCode, detail);
            QVERIFY2(text.contains(c.expected), qPrintable(text));
        }
        QCOMPARE(UnsupportedFileText(lang, 10070002, nullptr), lang.Text(mainkey::kInvalidFlv));
        QVERIFY(UnsupportedFileText(lang, kUnsupportedFlvCode, nullptr).contains(QStringLiteral("video: none")));
    }

    void aTrashedClipPreviewsUntilItIsDeletedForGood() {
        Main().ImportFiles({Fixture("flv1_mp3_160x120.flv"), Fixture("mp3_audio_only.flv")}, true);
        List().ExpandAll();
        SelectRows(List(), {{0, 0}});
        Main().Action(QStringLiteral("actDeleteSelected"))->trigger();
        TfmeLocalResource* trash = Main().ResourceList()->GroupOfType(resgroup::kTrash);
        QCOMPARE(trash->NodeCount(), 1);
        auto* pause = Main().findChild<QPushButton*>(QStringLiteral("btnResPause"));
        auto* name = Main().findChild<QLabel*>(QStringLiteral("lblResName"));
        emit trash->previewRequested(trash->NodeData(0));
        QTRY_VERIFY(pause->isVisible());  // the engine plays the trashed clip itself
        QCOMPARE(name->toolTip(), Fixture("flv1_mp3_160x120.flv"));
        // Deleted for good while it plays: the preview lets go of it first.
        emit trash->deleteRequested(*trash->NodeData(0));
        QCOMPARE(trash->NodeCount(), 0);
        QVERIFY(name->text().isEmpty());
        QTRY_VERIFY(!pause->isVisible());
        QTest::qWait(200);  // the player's threads would touch the freed clip here
        // A trashed sequence has nothing to show.
        SelectRows(List(), {{0, -1}});
        Main().Action(QStringLiteral("actDeleteSelected"))->trigger();
        emit trash->previewRequested(trash->NodeData(0));
        QTest::qWait(100);
        QVERIFY(name->text().isEmpty());
    }

    void everyTextOfTheNewPartsIsInBothLanguages() {
        for (const QString& language : holder_->holder->Languages().LanguageNames()) {
            QVERIFY(holder_->holder->Languages().SelectLanguage(language));
            for (const TLangKey& key : mainkey::kAll) {
                TMyLang lang(nullptr, QLatin1String(key.unit), &holder_->holder->Languages());
                QVERIFY2(!lang.Text(key).isEmpty(), qPrintable(language + QLatin1Char(' ') + QLatin1String(key.key)));
            }
            // The frames' own controls.
            for (QWidget* frame : {static_cast<QWidget*>(Main().ResourceList()->Group(0)),
                                   static_cast<QWidget*>(Main().SequenceList())}) {
                TMyLang* lang = frame->findChild<TMyLang*>(QString(), Qt::FindDirectChildrenOnly);
                QVERIFY(lang);
                for (QObject* obj : frame->findChildren<QObject*>()) {
                    auto* action = qobject_cast<QAction*>(obj);
                    auto* button = qobject_cast<QPushButton*>(obj);
                    const QString shown = action ? action->text() : button ? button->text() : QString();
                    if (obj->objectName().isEmpty() || shown.isEmpty() || obj->property("langSkip").toBool()) continue;
                    QVERIFY2(!lang->Text(obj->objectName()).isEmpty(), qPrintable(obj->objectName()));
                }
            }
        }
        QVERIFY(holder_->holder->Languages().SelectLanguage(QStringLiteral("English")));
    }

private:
    // Saves the project under `path` through Save As, answering the window's save dialog.
    bool AnswerSaveAs(const QString& path) {
        PromptLog failures;  // a failed save must not leave its message waiting
        SaveProjectAs(Main().Action(QStringLiteral("actSaveAsProject")), path);
        return QFile::exists(path);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
