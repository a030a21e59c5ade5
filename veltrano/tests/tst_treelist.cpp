// The sequence list on its own: rows, names, destinations, selection,
// dragging rules and header clicks.

#include <QHeaderView>
#include <QSignalSpy>
#include <QtTest>

#include "MainTestSupport.h"
#include "windows/SequenceNames.h"
#include "windows/TSeqTreeView.h"
#include "windows/TfmeTreeList.h"

namespace {
// seq 0: an FLV clip and a picture; seq 1: two FLV clips; seq 2: empty.
void Fill(TfmeTreeList& list) {
    list.AddSequenceRow(QStringLiteral("Sequence 00"), QStringLiteral("00:00:10.000"), 10000, -1, QStringLiteral("a"));
    list.AddSequenceRow(QStringLiteral("Sequence 01"), QStringLiteral("00:00:04.000"), 4000, -1, QStringLiteral("b"));
    list.AddSequenceRow(QStringLiteral("Merge 05"), QStringLiteral("00:00:00.000"), 0, -1, QStringLiteral("c"));
    list.AddClipRow(false, QStringLiteral("one.flv"), -1, 0, 1, QStringLiteral("00:00:05.000"), 5000);
    list.AddClipRow(true, QStringLiteral("two.png"), -1, 0, 2, QStringLiteral("00:00:05.000"), 5000);
    list.AddClipRow(false, QStringLiteral("three.flv"), -1, 1, 3, QStringLiteral("00:00:02.000"), 2000);
    list.AddClipRow(false, QStringLiteral("four.flv"), 0, 1, 4, QStringLiteral("00:00:02.000"), 2000);
}

void SelectRows(TfmeTreeList& list, const QList<std::pair<int, int>>& rows) {
    QItemSelectionModel* selection = list.View()->selectionModel();
    selection->clearSelection();
    for (auto [s, c] : rows)
        selection->select(list.Model().IndexOf(s, c), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
}  // namespace

class TestTreeList : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHolder> holder_;

private slots:
    void initTestCase() { holder_ = std::make_unique<TestHolder>(); }

    void nextNamesAreUniqueAmongEveryName() {
        struct Case {
            QStringList taken;
            QString expected;
        };
        const Case cases[] = {
            {{}, QStringLiteral("Sequence 00")},
            {{QStringLiteral("Sequence 00"), QStringLiteral("Sequence 03")}, QStringLiteral("Sequence 04")},
            {{QStringLiteral("Sequence")}, QStringLiteral("Sequence 00")},
            {{QStringLiteral("Sequence 99")}, QStringLiteral("Sequence 100")},
            // The last row is not the highest: the next name must still be free.
            {{QStringLiteral("Sequence 07"), QStringLiteral("Sequence 02")}, QStringLiteral("Sequence 08")},
            {{QStringLiteral("sequence 05"), QStringLiteral("Other 09")}, QStringLiteral("Sequence 00")},
        };
        for (const Case& c : cases) QCOMPARE(NextFreeName(QStringLiteral("Sequence"), c.taken), c.expected);

        // The list looks at names and destinations alike.
        TfmeTreeList list;
        Fill(list);
        list.Model().SetDestination(1, QStringLiteral("Merge 11"));
        QCOMPARE(list.NextName(QStringLiteral("Merge")), QStringLiteral("Merge 12"));
        QCOMPARE(list.NextName(QStringLiteral("Sequence")), QStringLiteral("Sequence 02"));
    }

    void destinationsAreCheckedAndKeptAsTyped() {
        struct Case {
            QString text;
            bool accepted;
        };
        const Case cases[] = {
            {QString(128, u'x'), true},  {QString(129, u'x'), false},      {QStringLiteral("a:b"), false},
            {QStringLiteral("it's"), false}, {QStringLiteral("   "), false}, {QStringLiteral("  my film  "), true},
        };
        for (const Case& c : cases) {
            TfmeTreeList list;
            Fill(list);
            QSignalSpy changed(&list, &TfmeTreeList::destinationChanged);
            const QModelIndex cell = list.Model().IndexOf(1, -1, TSeqListModel::kColDestination);
            QCOMPARE(list.Model().setData(cell, c.text), c.accepted);
            QCOMPARE(list.FindRow(1, -1)->destination, c.accepted ? c.text : QStringLiteral("b"));
            QCOMPARE(changed.size(), c.accepted ? 1 : 0);
            if (c.accepted) QCOMPARE(changed[0][0].toInt(), 1);
        }
        // Clips have no destination to edit.
        TfmeTreeList list;
        Fill(list);
        QVERIFY(!(list.Model().flags(list.Model().IndexOf(0, 0, TSeqListModel::kColDestination)) & Qt::ItemIsEditable));
    }

    void rowsGoWhereTheyAreAsked() {
        TfmeTreeList list;
        Fill(list);
        list.AddSequenceRow(QStringLiteral("first"), QString(), 0, 0, QString());
        list.AddSequenceRow(QStringLiteral("far"), QString(), 0, 99, QString());
        QCOMPARE(list.FindRow(0, -1)->name, QStringLiteral("first"));
        QCOMPARE(list.FindRow(4, -1)->name, QStringLiteral("far"));
        // Clip 0 of sequence 2 (was 1) is the one inserted before the other.
        QCOMPARE(list.FindRow(2, 0)->name, QStringLiteral("four.flv"));
        QCOMPARE(list.FindRow(2, 1)->name, QStringLiteral("three.flv"));
        QVERIFY(!list.FindRow(2, 2));
        QVERIFY(!list.FindRow(-1, -1));
        QVERIFY(list.DeleteRow(1, -1));
        QCOMPARE(list.FindRow(1, 0)->name, QStringLiteral("four.flv"));
        QVERIFY(!list.DeleteRow(7, -1));
    }

    void selectionFlagsPairsAndTargets() {
        TfmeTreeList list;
        Fill(list);
        list.ExpandAll();
        QCOMPARE(list.SelectionFlags(), int(TfmeTreeList::kNone));
        SelectRows(list, {{0, 1}});
        QCOMPARE(list.SelectionFlags(), TfmeTreeList::kOne | TfmeTreeList::kPicture);
        QCOMPARE(list.SelectedTarget(), std::make_pair(0, 1));
        QCOMPARE(list.SelectedSequence(), -1);
        SelectRows(list, {{1, 1}, {0, -1}, {0, 0}});
        QCOMPARE(list.SelectionFlags(), TfmeTreeList::kSeveral | TfmeTreeList::kFlvClip | TfmeTreeList::kSequenceRow);
        QCOMPARE(list.SelectedTarget(), std::make_pair(-1, -1));
        // List order, whatever the order of selecting.
        const QList<TSeqClipArr> pairs = list.SelectedPairs();
        QCOMPARE(pairs.size(), 3);
        QCOMPARE(std::make_pair(pairs[0].sequence, pairs[0].clip), std::make_pair(0, -1));
        QCOMPARE(std::make_pair(pairs[1].sequence, pairs[1].clip), std::make_pair(0, 0));
        QCOMPARE(std::make_pair(pairs[2].sequence, pairs[2].clip), std::make_pair(1, 1));
        QCOMPARE(list.SelectedPairs(TfmeTreeList::kClipsOnly).size(), 2);
        QVERIFY(!list.AllSequences(true));  // a clip among them
        SelectRows(list, {{2, -1}, {0, -1}});
        QCOMPARE(*list.AllSequences(true), (QList<int>{0, 2}));
        QCOMPARE(*list.AllSequences(false), (QList<int>{0, 1, 2}));
        // Inverting takes every row the other way, clips of collapsed sequences too.
        list.CollapseAll();
        SelectRows(list, {{0, -1}, {0, 1}, {1, 0}});
        list.InvertSelection();
        QList<std::pair<int, int>> inverted;
        for (const TSeqClipArr& p : list.SelectedPairs()) inverted.append({p.sequence, p.clip});
        QCOMPARE(inverted, (QList<std::pair<int, int>>{{0, 0}, {1, -1}, {1, 1}, {2, -1}}));
    }

    void neighboursForMoving() {
        TfmeTreeList list;
        Fill(list);
        list.ExpandAll();
        SelectRows(list, {{0, -1}});
        QVERIFY(!list.MoveNeighbour(true));  // the first row has nothing above
        auto down = list.MoveNeighbour(false);
        QVERIFY(down);
        QCOMPARE(down->parent, -1);
        QCOMPARE(down->neighbour, 1);
        SelectRows(list, {{1, 1}});
        auto up = list.MoveNeighbour(true);
        QVERIFY(up);
        QCOMPARE(up->parent, 1);
        QCOMPARE(up->neighbour, 0);
        QVERIFY(!list.MoveNeighbour(false));
        SelectRows(list, {{1, 1}, {1, 0}});
        QVERIFY(!list.MoveNeighbour(true));  // only for one row
    }

    void dragRules() {
        TfmeTreeList list;
        TSeqTreeView& view = *list.View();
        using L = TfmeTreeList;
        QVERIFY(!TSeqTreeView::CanStartDrag(L::kSeveral | L::kFlvClip | L::kPicture));
        QVERIFY(!TSeqTreeView::CanStartDrag(L::kSeveral | L::kFlvClip | L::kSequenceRow));
        QVERIFY(!TSeqTreeView::CanStartDrag(L::kNone));
        QVERIFY(TSeqTreeView::CanStartDrag(L::kSeveral | L::kPicture));
        QVERIFY(TSeqTreeView::CanStartDrag(L::kOne | L::kSequenceRow));
        const QList<TSeqClipArr> clipsOf0 = {{0, 0}, {0, 1}};
        const QList<TSeqClipArr> sequences = {{0, -1}, {2, -1}};
        QVERIFY(!view.CanDropRows(clipsOf0, 1, 0));  // onto another sequence's clip
        QVERIFY(view.CanDropRows(clipsOf0, 0, 1));
        QVERIFY(!view.CanDropRows(clipsOf0, 0, -1));  // clips onto a sequence row
        QVERIFY(view.CanDropRows(sequences, 1, -1));
        QVERIFY(!view.CanDropRows(sequences, 1, 0));
    }

    void headerClicksAskTheEngineToSort() {
        TfmeTreeList list;
        Fill(list);
        QSignalSpy sort(&list, &TfmeTreeList::sortRequested);
        QHeaderView* header = list.View()->header();
        auto click = [&](int column) { emit header->sectionClicked(column); };
        click(TSeqListModel::kColLength);  // a new length column starts descending
        click(TSeqListModel::kColLength);
        click(TSeqListModel::kColName);    // names start ascending
        click(TSeqListModel::kColMediaType);
        QCOMPARE(sort.size(), 4);
        const QList<std::pair<int, bool>> expected = {
            {TSeqListModel::kColLength, false}, {TSeqListModel::kColLength, true},
            {TSeqListModel::kColName, true},    {TSeqListModel::kColMediaType, false}};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(std::make_pair(sort[i][0].toInt(), sort[i][1].toBool()), expected[i]);
        QCOMPARE(header->sortIndicatorSection(), int(TSeqListModel::kColMediaType));
    }

    void columnsAndMediaTypesAreTranslated() {
        TfmeTreeList list;
        Fill(list);
        QCOMPARE(list.Model().headerData(3, Qt::Horizontal).toString(), QStringLiteral("Destination"));
        QCOMPARE(list.Model().data(list.Model().IndexOf(1, 0, 1)).toString(), QStringLiteral("Audio"));
        QVERIFY(holder_->holder->Languages().SelectLanguage(QStringLiteral("Deutsch")));
        QCOMPARE(list.Model().headerData(3, Qt::Horizontal).toString(), QStringLiteral("Ziel"));
        QCOMPARE(list.Model().data(list.Model().IndexOf(0, 1, 1)).toString(), QStringLiteral("Standbild"));
        QVERIFY(holder_->holder->Languages().SelectLanguage(QStringLiteral("English")));
    }
};

QTEST_MAIN(TestTreeList)
#include "tst_treelist.moc"
