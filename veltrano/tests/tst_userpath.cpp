// A user's whole path through the program, through its windows: import
// three files (the picture is refused), rename a destination, set metadata,
// merge two sequences, move a clip, delete one to the trash and restore it,
// save, close, reopen to the same tree, and export one sequence to MP4,
// checked with ffprobe.

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QtTest>

#include "MainTestSupport.h"
#include "ModalAnswerer.h"
#include "windows/ResourceDrag.h"
#include "windows/TSeqTreeView.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmOutputSetting.h"

namespace {

// Sequence name, destination and clip file names, as the list shows them.
struct Row {
    QString name, destination;
    QStringList clips;
    bool operator==(const Row&) const = default;
};

QList<Row> Rows(const TfmeTreeList& list) {
    QList<Row> rows;
    const TSeqListModel& m = list.Model();
    for (int s = 0; s < m.SequenceCount(); ++s) {
        Row row{m.Row(s, -1)->name, m.Row(s, -1)->destination, {}};
        for (int c = 0; c < m.ClipCount(s); ++c) row.clips << m.Row(s, c)->name;
        rows << row;
    }
    return rows;
}

// Clicks the cell's centre in the list's viewport.
void ClickCell(TfmeTreeList& list, int sequence, int clip, int column, Qt::KeyboardModifiers mods = {}) {
    TSeqTreeView* view = list.View();
    const QModelIndex index = list.Model().IndexOf(sequence, clip, column);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, rect.center());
}

QString Probe(const QString& file, const QString& entries) {
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                              entries, QStringLiteral("-of"), QStringLiteral("csv=p=0"), file});
    if (!ffprobe.waitForFinished(30000)) return {};
    return QString::fromUtf8(ffprobe.readAllStandardOutput()).trimmed();
}

}  // namespace

class TestUserPath : public QObject {
    Q_OBJECT

private slots:
    void aWholeSession() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QFAIL("ffprobe is needed to check the exported file (make deps installs it)");
        TestHolder holder;
        const QString work = holder.config.path() + QStringLiteral("/");
        // The files the user picks: two clips and a picture, in a folder of their own.
        const QString media = work + QStringLiteral("media/");
        QDir().mkpath(media);
        for (const char* f : {"flv1_mp3_160x120.flv", "mp3_audio_only.flv", "still_160x120.png"})
            QVERIFY(QFile::copy(Fixture(f), media + QLatin1String(f)));

        TEngineApi engine;
        auto main = std::make_unique<TfrmMain>(*holder.holder, engine, QStringList());
        main->Start();
        TfmeTreeList& list = *main->SequenceList();
        ModalAnswerer answer;
        auto act = [&](const char* name) { main->Action(QLatin1String(name))->trigger(); };

        // Import: one sequence per FLV file; a file that is no clip is refused with a warning.
        {
            QFile notes(media + QStringLiteral("notes.txt"));
            QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("no clip") > 0);
        }
        answer.onDialog = [&](QWidget* w) {
            ChooseFiles(w, media, {QStringLiteral("flv1_mp3_160x120.flv"), QStringLiteral("mp3_audio_only.flv"),
                                   QStringLiteral("notes.txt")});
        };
        act("actImportFile");
        QCOMPARE(Rows(list), (QList<Row>{
                                 {QStringLiteral("Sequence 00"), QStringLiteral("flv1_mp3_160x120"), {QStringLiteral("flv1_mp3_160x120.flv")}},
                                 {QStringLiteral("Sequence 01"), QStringLiteral("mp3_audio_only"), {QStringLiteral("mp3_audio_only.flv")}},
                             }));
        QCOMPARE(answer.prompts.size(), 1);
        QVERIFY(answer.prompts[0].contains(QStringLiteral("notes.txt")));

        // Rename the first sequence's destination in the list itself.
        list.ExpandAll();
        ClickCell(list, 0, -1, TSeqListModel::kColName);
        ClickCell(list, 0, -1, TSeqListModel::kColDestination);
        auto* editor = list.View()->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Holiday"));
        QTest::keyClick(editor, Qt::Key_Return);  // the delegate commits on the next turn
        QTRY_COMPARE(list.FindRow(0, -1)->destination, QStringLiteral("Holiday"));
        auto* dest = main->findChild<QLineEdit*>(QStringLiteral("edtExportName"));
        QCOMPARE(dest->text(), QStringLiteral("Holiday"));

        // Metadata of the second sequence.
        ClickCell(list, 1, -1, TSeqListModel::kColName);
        QTest::keyClicks(main->findChild<QLineEdit*>(QStringLiteral("edtTitle")), QStringLiteral("Beach"));
        QTest::keyClicks(main->findChild<QLineEdit*>(QStringLiteral("edtYear")), QStringLiteral("2009"));

        // Merge the two sequences: their clips, moved into a new one.
        ClickCell(list, 0, 0, TSeqListModel::kColName);
        ClickCell(list, 1, 0, TSeqListModel::kColName, Qt::ControlModifier);
        act("actCutMerge");
        QCOMPARE(Rows(list), (QList<Row>{{QStringLiteral("Merge 00"), QStringLiteral("Merge 00"),
                                          {QStringLiteral("flv1_mp3_160x120.flv"), QStringLiteral("mp3_audio_only.flv")}}}));
        // A second sequence to export later, with the metadata set on it.
        answer.onDialog = [&](QWidget* w) { ChooseFiles(w, media, {QStringLiteral("flv1_mp3_160x120.flv")}); };
        act("actImportFile");
        ClickCell(list, 1, -1, TSeqListModel::kColName);
        QTest::keyClicks(main->findChild<QLineEdit*>(QStringLiteral("edtTitle")), QStringLiteral("Beach"));
        QTest::keyClicks(main->findChild<QLineEdit*>(QStringLiteral("edtYear")), QStringLiteral("2009"));

        // Move the second clip before the first: the drop the list reports at the
        // end of a drag (the offscreen platform runs no real drag; the list's
        // own drag rules are tested with the list).
        emit list.rowsDropped(0, {{0, 1}});
        QCOMPARE(Rows(list)[0].clips, (QStringList{QStringLiteral("mp3_audio_only.flv"), QStringLiteral("flv1_mp3_160x120.flv")}));

        // Delete one to the trash and drag it back onto its sequence.
        list.ExpandAll();
        ClickCell(list, 0, 1, TSeqListModel::kColName);
        act("actDeleteSelected");
        QCOMPARE(Rows(list)[0].clips, QStringList{QStringLiteral("mp3_audio_only.flv")});
        TfmeLocalResource* trash = main->ResourceList()->GroupOfType(resgroup::kTrash);
        QCOMPARE(trash->NodeCount(), 1);
        {
            std::unique_ptr<QMimeData> mime(resdrag::Encode({resgroup::kTrash, 0, resstate::kFlvFile, trash->NodeData(0)->node.path}));
            QWidget* viewport = list.View()->viewport();
            const QPoint onSequence = list.View()->visualRect(list.Model().IndexOf(0, -1)).center();
            QDragEnterEvent enter(onSequence, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            QDropEvent drop(QPointF(onSequence), Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &drop);
        }
        QCOMPARE(trash->NodeCount(), 0);
        QCOMPARE(Rows(list)[0].clips, (QStringList{QStringLiteral("mp3_audio_only.flv"), QStringLiteral("flv1_mp3_160x120.flv")}));

        // Save, close, reopen: the same tree and metadata.
        const QList<Row> saved = Rows(list);
        const QString project = work + QStringLiteral("session.pvxp");
        answer.onDialog = [&](QWidget* w) { ChooseFiles(w, work, {QStringLiteral("session.pvxp")}); };
        act("actSaveProject");
        QVERIFY(QFile::exists(project));
        QCOMPARE(main->windowTitle(), QStringLiteral("session - Veltrano"));
        act("actCloseProject");
        QVERIFY(list.IsEmpty());
        QVERIFY(!main->Handles().project);
        act("actOpenProject");
        QCOMPARE(Rows(list), saved);
        ClickCell(list, 1, -1, TSeqListModel::kColName);
        QCOMPARE(main->findChild<QLineEdit*>(QStringLiteral("edtTitle"))->text(), QStringLiteral("Beach"));
        QCOMPARE(main->findChild<QLineEdit*>(QStringLiteral("edtYear"))->text(), QStringLiteral("2009"));

        // Export the selected sequence to MP4.
        const QString out = work + QStringLiteral("out");
        bool converted = false;
        answer.onDialog = [&](QWidget* w) {
            if (auto* settings = qobject_cast<TfrmOutputSetting*>(w)) {
                QVERIFY(settings->CurrentCaption().contains(QStringLiteral("MP4"), Qt::CaseInsensitive));
                settings->findChild<QLineEdit*>(QStringLiteral("edtOutputPath"))->setText(out);
                settings->accept();
            } else if (auto* convert = qobject_cast<TfrmConvert*>(w); convert && convert->RunEnded()) {
                converted = convert->RowCount() == 1 && convert->RowIconOf(0) == TfrmConvert::kFinished;
                convert->close();
            }
        };
        act("actExportSelected");
        QVERIFY(converted);
        const QString mp4 = out + QStringLiteral("/flv1_mp3_160x120.mp4");
        QVERIFY2(QFile::exists(mp4), qPrintable(QDir(out).entryList().join(QLatin1Char(' '))));
        QCOMPARE(Probe(mp4, QStringLiteral("stream=codec_type")).split(QLatin1Char('\n')),
                 (QStringList{QStringLiteral("video"), QStringLiteral("audio")}));
        const double seconds = Probe(mp4, QStringLiteral("format=duration")).toDouble();
        QVERIFY2(seconds > 2.5 && seconds < 3.6, qPrintable(QString::number(seconds)));
        QCOMPARE(Probe(mp4, QStringLiteral("format_tags=title")), QStringLiteral("Beach"));

        PromptLog no(1);
        QVERIFY(main->close());
    }
};

QTEST_MAIN(TestUserPath)
#include "tst_userpath.moc"
