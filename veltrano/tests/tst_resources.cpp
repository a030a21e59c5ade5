// The resource browser on its own: reading folders and caches on the
// worker, the downloads history, the engine lists' nodes, the groups and the
// context menu's rules.

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "MainTestSupport.h"
#include "windows/ResourceDrag.h"
#include "windows/ResourcePlaces.h"
#include "windows/TResourceScan.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

const QByteArray kFlvHead("FLV\x01\x05\0\0\0\x09", 9);

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& caption) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == caption) return parent->child(i);
    return nullptr;
}

QStringList Captions(QTreeWidgetItem* parent) {
    QStringList captions;
    for (int i = 0; i < parent->childCount(); ++i) captions << parent->child(i)->text(0);
    return captions;
}

QStringList TopCaptions(QTreeWidget* tree) {
    QStringList captions;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) captions << tree->topLevelItem(i)->text(0);
    return captions;
}

bool HasMarker(QTreeWidgetItem* item) {
    return item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

}  // namespace

class TestResources : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHolder> holder_;
    QString home_;

private slots:
    void initTestCase() {
        holder_ = std::make_unique<TestHolder>();
        home_ = holder_->config.path() + QStringLiteral("/");
    }

    void computerFoldersAreReadWhenOpened() {
        // Home: a folder with a dot in its name, one with only an empty
        // sub-folder, FLV files by name in any case, and things not listed.
        Write(home_ + QStringLiteral("clips.2024/a.flv"), kFlvHead);
        QDir().mkpath(home_ + QStringLiteral("only-sub/empty"));
        Write(home_ + QStringLiteral("b.FLV"), kFlvHead);
        Write(home_ + QStringLiteral("c.flv.txt"), kFlvHead);
        QDir().mkpath(home_ + QStringLiteral(".hidden"));

        TfmeLocalResource group(resgroup::kComputer);
        group.FillComputer();
        QTreeWidget* tree = group.Tree();
        QTreeWidgetItem* home = nullptr;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0) == QStringLiteral("Home")) home = tree->topLevelItem(i);
        QVERIFY(home);
        QVERIFY(TopCaptions(tree).contains(QStringLiteral("/")));  // the file system's root is offered

        auto open = [&](QTreeWidgetItem* item) {
            tree->expandItem(item);
            QTRY_VERIFY(!group.IsScanning());
        };
        open(home);
        QVERIFY(Captions(home).contains(QStringLiteral("clips.2024")));
        QVERIFY(Captions(home).contains(QStringLiteral("b.FLV")));
        QVERIFY(!Captions(home).contains(QStringLiteral("c.flv.txt")));
        QVERIFY(!Captions(home).contains(QStringLiteral(".hidden")));
        QTreeWidgetItem* onlySub = Child(home, QStringLiteral("only-sub"));
        QVERIFY(onlySub && HasMarker(onlySub));
        open(onlySub);
        QCOMPARE(Captions(onlySub), QStringList{QStringLiteral("empty")});
        QVERIFY(!HasMarker(onlySub->child(0)));
        QTreeWidgetItem* dotted = Child(home, QStringLiteral("clips.2024"));
        QVERIFY(HasMarker(dotted));
        open(dotted);
        QCOMPARE(Captions(dotted), QStringList{QStringLiteral("a.flv")});
        const std::optional<TResourceEntry> file = group.SelectedData();
        QVERIFY(!file);
        tree->setCurrentItem(dotted->child(0));
        QCOMPARE(group.SelectedData()->node.path, home_ + QStringLiteral("clips.2024/a.flv"));
        QCOMPARE(group.SelectedData()->state, resstate::kFlvFile);

        // Closing forgets the children, so the next opening reads again.
        tree->collapseItem(dotted);
        QCOMPARE(dotted->childCount(), 0);
        QVERIFY(HasMarker(dotted));
        Write(home_ + QStringLiteral("clips.2024/new.flv"), kFlvHead);
        open(dotted);
        QCOMPARE(dotted->childCount(), 2);
    }

    void cacheEntriesAreFoundByTheirFirstBytes() {
        const QString cache = home_ + QStringLiteral("cache-test/");
        Write(cache + QStringLiteral("entries/0A1B2C"), kFlvHead + QByteArray(100, 'x'));
        Write(cache + QStringLiteral("entries/0A1B2D"), QByteArray("<html>"));
        Write(cache + QStringLiteral("deep/er/f_000007"), kFlvHead);
        Write(cache + QStringLiteral("named.flv"), QByteArray("not a video"));
        TfmeLocalResource group(resgroup::kBrowserCache);
        QSignalSpy finished(&group, &TfmeLocalResource::scanFinished);
        group.FillBrowserCache({cache});
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished[0][0].toBool(), false);
        QStringList found = TopCaptions(group.Tree());
        found.sort();
        QCOMPARE(found, (QStringList{QStringLiteral("0A1B2C"), QStringLiteral("f_000007")}));
    }

    void aSearchStopsWhenAsked() {
        TResourceScan scan;
        QSignalSpy finished(&scan, &TResourceScan::finished);
        QElapsedTimer clock;
        clock.start();
        scan.Search({QStringLiteral("/usr")}, TResourceScan::Match::Signature, 7);
        QTest::qWait(50);
        scan.Stop();
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished[0][0].toULongLong(), 7ULL);
        QVERIFY(finished[0][1].toBool());  // ended by the stop, not by the end of /usr
        // The worker takes the next request at once.
        scan.ListFolder(home_, 8);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished[1][1].toBool(), false);
    }

    void theDownloadsHistoryListsExistingFilesInOrder() {
        const QString a = home_ + QStringLiteral("dl/a.flv"), b = home_ + QStringLiteral("dl/b.flv");
        Write(a, kFlvHead);
        Write(b, kFlvHead);
        const QString history = home_ + QStringLiteral("history.xml");
        Write(history, QStringLiteral("<All><DownloadInfos_History>"
                                      "<year><month><day><Info><filename>%1</filename></Info>"
                                      "<Info><filename>/gone/away.flv</filename></Info></day></month></year>"
                                      "<year><month><day><Info><url>x</url><filename>%2</filename></Info>"
                                      "</day></month></year></DownloadInfos_History></All>")
                           .arg(b, a)
                           .toUtf8());
        QCOMPARE(resplaces::ReadDownloadHistory(history), (QStringList{b, a}));
        const QString broken = home_ + QStringLiteral("broken.xml");
        Write(broken, QStringLiteral("<All><DownloadInfos_History><year><Info><filename>%1").arg(a).toUtf8());
        QVERIFY(resplaces::ReadDownloadHistory(broken).isEmpty());
        QVERIFY(resplaces::ReadDownloadHistory(home_ + QStringLiteral("none.xml")).isEmpty());

        TfmeLocalResource group(resgroup::kDownloads);
        group.FillDownloads(history);
        QCOMPARE(TopCaptions(group.Tree()), (QStringList{QStringLiteral("b.flv"), QStringLiteral("a.flv")}));
    }

    void engineEntriesFollowTheirPositions() {
        TfmeLocalResource trash(resgroup::kTrash);
        int objects[3];
        trash.AddResource(QStringLiteral("/v/one.flv"), &objects[0], 2, 0);
        trash.AddResource(QStringLiteral("Holiday"), &objects[1], 3, 1);
        trash.AddResource(QStringLiteral("/v/three.flv"), &objects[2], 2, 2);
        QCOMPARE(TopCaptions(trash.Tree()),
                 (QStringList{QStringLiteral("one.flv"), QStringLiteral("Holiday"), QStringLiteral("three.flv")}));
        QCOMPARE(trash.NodeData(1)->state, resstate::kFolder);
        QCOMPARE(trash.NodeData(1)->node.kind, 3);
        QVERIFY(trash.DeleteNode(2));  // 110020106 with index 2: the third node
        QCOMPARE(trash.NodeCount(), 2);
        QVERIFY(trash.DeleteNode(0));
        // The engine renumbers its entries; the identifier follows.
        const TResourceEntry left = *trash.NodeData(0);
        QCOMPARE(left.node.path, QStringLiteral("Holiday"));
        QCOMPARE(left.node.value, static_cast<void*>(&objects[1]));
        QCOMPARE(left.node.id, 0u);
        QVERIFY(!trash.NodeData(1));

        // A trashed entry is no file for other programs; an imported one is.
        TResourceDrag back;
        std::unique_ptr<QMimeData> mime(resdrag::Encode({resgroup::kTrash, 0, resstate::kFlvFile, QStringLiteral("/v/one.flv")}));
        QVERIFY(!mime->hasUrls());
        QVERIFY(resdrag::Decode(mime.get(), back));
        QCOMPARE(back.groupType, int(resgroup::kTrash));
        QCOMPARE(back.data, QStringLiteral("/v/one.flv"));
        mime.reset(resdrag::Encode({resgroup::kImported, 3, resstate::kFlvFile, QStringLiteral("/v/one.flv")}));
        QCOMPARE(mime->urls().value(0).toLocalFile(), QStringLiteral("/v/one.flv"));
    }

    void menuRulesByGroup() {
        struct Case {
            int type;
            bool refreshVisible, refreshEnabled, deleteVisible, browseVisible;
        };
        const Case cases[] = {{resgroup::kComputer, true, true, false, true},
                              {resgroup::kBrowserCache, true, true, false, true},
                              {resgroup::kImported, true, true, true, true},
                              {resgroup::kTrash, true, false, true, false}};
        for (const Case& c : cases) {
            TfmeLocalResource group(c.type);
            auto item = [&](const char* name) { return group.Menu()->findChild<QAction*>(QLatin1String(name)); };
            QCOMPARE(item("miRefresh")->isVisible(), c.refreshVisible);
            QCOMPARE(item("miRefresh")->isEnabled(), c.refreshEnabled);
            QCOMPARE(item("miDelete")->isVisible(), c.deleteVisible);
            QCOMPARE(item("miClear")->isVisible(), c.deleteVisible);
            QCOMPARE(item("miBrowse")->isVisible(), c.browseVisible);
            if (c.type < resgroup::kImported) continue;
            // Clear needs nodes, Delete a selected one.
            group.UpdateMenu();
            QVERIFY(!item("miClear")->isEnabled());
            group.AddResource(QStringLiteral("/v/x.flv"), nullptr, 0, 0);
            group.UpdateMenu();
            QVERIFY(item("miClear")->isEnabled());
            QVERIFY(!item("miDelete")->isEnabled());
            group.Tree()->setCurrentItem(group.Tree()->topLevelItem(0));
            group.UpdateMenu();
            QVERIFY(item("miDelete")->isEnabled());
        }
    }

    void oneGroupOpenAndCachesReadOnce() {
        const QString cache = home_ + QStringLiteral("cache-once/");
        Write(cache + QStringLiteral("e1"), kFlvHead);
        TfmeResourceList list;
        list.SetPlaces({cache}, home_ + QStringLiteral("no-history.xml"));
        for (int type : {resgroup::kComputer, resgroup::kDownloads, resgroup::kBrowserCache})
            list.AddGroup(type, "str_pc", "hint_group_pc", QIcon());
        TfmeLocalResource* caches = list.Group(2);
        list.Expand(2);
        QCOMPARE(list.ExpandedGroup(), 2);
        QTRY_COMPARE(caches->NodeCount(), 1);
        QVERIFY(caches->isVisibleTo(&list));
        QVERIFY(!list.Group(0)->isVisibleTo(&list));
        Write(cache + QStringLiteral("e2"), kFlvHead);
        list.Expand(0);
        list.Expand(2);
        list.Expand(2);  // opening the open group does nothing
        QTest::qWait(100);
        QCOMPARE(caches->NodeCount(), 1);  // not read again without Refresh
        caches->Menu()->findChild<QAction*>(QStringLiteral("miRefresh"))->trigger();
        QTRY_COMPARE(caches->NodeCount(), 2);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
