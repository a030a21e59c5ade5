// The listener wrapper and the single-instance rule.

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <thread>

#include "app/ListenerWrapper.h"
#include "app/SingleInstance.h"
#include "app/WindowMessages.h"

namespace {

// Records calls as "<tag>:<id>".
struct Recorder {
    QStringList* log;
    QString tag;
    void A(void*, uint32_t id, intptr_t, intptr_t) { *log << tag + QStringLiteral("a:") + QString::number(id); }
    void B(void*, uint32_t id, intptr_t, intptr_t) { *log << tag + QStringLiteral("b:") + QString::number(id); }
    void C(void*, uint32_t id, intptr_t, intptr_t) { *log << tag + QStringLiteral("c:") + QString::number(id); }
};

struct Progress {
    int32_t task, done, total;
};

// A window that receives a notification raised on an engine thread.
class ProgressWindow : public QObject, public TWindowMessageReceiver {
public:
    void OnProgress(void*, uint32_t, intptr_t p1, intptr_t) {
        PostWindowMessage(this, wm::kTaskProgress, reinterpret_cast<const void*>(p1), sizeof(Progress));
    }
    void OnWindowMessage(int message, const QByteArray& data) override {
        this->message = message;
        this->data = data;
        thread = QThread::currentThread();
    }
    int message = 0;
    QByteArray data;
    QThread* thread = nullptr;
};

}  // namespace

class TestBridge : public QObject {
    Q_OBJECT
private slots:
    void handlersRunInOrderAndDuplicatesAreRefused() {
        QStringList log;
        Recorder one{&log, QStringLiteral("1")}, two{&log, QStringLiteral("2")};
        TListenerWrapper w;
        QVERIFY(w.AddHandler(500, BindHandler<&Recorder::B>(&one)));
        QVERIFY(w.AddHandler(500, BindHandler<&Recorder::A>(&one)));
        QVERIFY(w.AddHandler(500, BindHandler<&Recorder::C>(&one)));
        // The same method again, even on another object, is refused.
        QVERIFY(!w.AddHandler(500, BindHandler<&Recorder::A>(&two)));
        QVERIFY(!w.AddHandler(500, BindHandler<&Recorder::A>(&one)));
        // 500 + 128 shares the bucket and is still told apart.
        QVERIFY(w.AddHandler(628, BindHandler<&Recorder::A>(&two)));

        w.GetListener()->OnMessage(nullptr, 500, 0, 0);
        QCOMPARE(log, QStringList({"1b:500", "1a:500", "1c:500"}));
        log.clear();
        w.GetListener()->OnMessage(nullptr, 628, 0, 0);
        w.GetListener()->OnMessage(nullptr, 756, 0, 0);  // nobody subscribed: ignored
        QCOMPARE(log, QStringList({"2a:628"}));

        log.clear();
        QVERIFY(w.RemoveHandler(500, BindHandler<&Recorder::A>(&two)));  // the code decides, not the object
        QVERIFY(!w.RemoveHandler(500, BindHandler<&Recorder::A>(&one)));
        QVERIFY(!w.RemoveHandler(999, BindHandler<&Recorder::A>(&one)));
        w.GetListener()->OnMessage(nullptr, 500, 0, 0);
        QCOMPARE(log, QStringList({"1b:500", "1c:500"}));
        // An emptied entry takes handlers again.
        QVERIFY(w.RemoveHandler(628, BindHandler<&Recorder::A>(&two)));
        QVERIFY(w.AddHandler(628, BindHandler<&Recorder::B>(&two)));
    }

    void aHandlerMayChangeTheTableWhileItRuns() {
        struct SelfRemover {
            TListenerWrapper* w;
            int calls = 0;
            void Once(void*, uint32_t id, intptr_t, intptr_t) {
                ++calls;
                w->RemoveHandler(id, BindHandler<&SelfRemover::Once>(this));
                w->AddHandler(id + 1, BindHandler<&SelfRemover::Once>(this));
            }
        };
        TListenerWrapper w;
        SelfRemover r{&w};
        QVERIFY(w.AddHandler(10, BindHandler<&SelfRemover::Once>(&r)));
        w.GetListener()->OnMessage(nullptr, 10, 0, 0);
        w.GetListener()->OnMessage(nullptr, 10, 0, 0);
        QCOMPARE(r.calls, 1);
        w.GetListener()->OnMessage(nullptr, 11, 0, 0);
        QCOMPARE(r.calls, 2);
    }

    void engineThreadNotificationArrivesOnTheWindowThreadIntact() {
        TListenerWrapper w;
        ProgressWindow window;
        QVERIFY(w.AddHandler(110581303, BindHandler<&ProgressWindow::OnProgress>(&window)));
        std::thread engine([&] {
            Progress p{3, 40, 100};
            w.GetListener()->OnMessage(nullptr, 110581303, reinterpret_cast<intptr_t>(&p), sizeof p);
            p = {-1, -1, -1};  // the sender's record is gone after the call
        });
        engine.join();
        QCOMPARE(window.message, 0);  // nothing ran on the engine's thread
        QTRY_COMPARE(window.message, wm::kTaskProgress);
        QCOMPARE(window.thread, QThread::currentThread());
        QCOMPARE(window.data.size(), qsizetype(sizeof(Progress)));
        Progress got;
        std::memcpy(&got, window.data.constData(), sizeof got);
        QCOMPARE(got.task, 3);
        QCOMPARE(got.done, 40);
        QCOMPARE(got.total, 100);
    }

    void removalWaitsForADispatchOnAnotherThread() {
        struct Slow {
            std::atomic<bool> entered{false}, finished{false};
            void Run(void*, uint32_t, intptr_t, intptr_t) {
                entered = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                finished = true;
            }
        };
        TListenerWrapper w;
        Slow slow;
        QVERIFY(w.AddHandler(42, BindHandler<&Slow::Run>(&slow)));
        std::thread engine([&] { w.GetListener()->OnMessage(nullptr, 42, 0, 0); });
        while (!slow.entered) std::this_thread::yield();
        QVERIFY(w.RemoveHandler(42, BindHandler<&Slow::Run>(&slow)));
        // When removal returns the handler's object may go: it is no longer running.
        QVERIFY(slow.finished);
        engine.join();
    }

    void concurrentDispatchAndRegistration() {
        QStringList unused;
        Recorder r{&unused, QString()};
        struct Counter {
            std::atomic<int> n{0};
            void Count(void*, uint32_t, intptr_t, intptr_t) { ++n; }
        } counter;
        TListenerWrapper w;
        QVERIFY(w.AddHandler(7, BindHandler<&Counter::Count>(&counter)));
        std::atomic<bool> stop{false};
        std::thread engine([&] {
            while (!stop) w.GetListener()->OnMessage(nullptr, 7, 0, 0);
        });
        while (counter.n == 0) std::this_thread::yield();
        const int before = counter.n;
        // Long enough that both threads really overlap, however busy the machine.
        for (int i = 0; i < 2000 || counter.n < before + 200; ++i) {
            // Other identifiers of the same bucket grow and shrink its array.
            const uint32_t id = 7 + 128 * static_cast<uint32_t>(1 + i % 5);
            w.AddHandler(id, BindHandler<&Recorder::A>(&r));
            w.RemoveHandler(id, BindHandler<&Recorder::A>(&r));
        }
        stop = true;
        engine.join();
    }

    void secondStartHandsItsFilesToTheFirst() {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        TSingleInstance first(QStringLiteral("AppVeltrano"));
        QVERIFY(first.Start({}));
        QVERIFY(first.ServerName().startsWith(runtime.path()));
        QSignalSpy spy(&first, &TSingleInstance::activated);

        // The real program, started a second time the way its desktop entry
        // says for several chosen files, forwards them all (made absolute)
        // and ends at once. %F is every file; %f would be one per start.
        const QStringList chosen = {QStringLiteral("/projects/holiday.pvxp"), QStringLiteral("/media/a b.flv"),
                                    QStringLiteral("relative.flv")};
        QFile entry(QStringLiteral(VELTRANO_LANGUAGE_SOURCE_DIR "/../desktop/veltrano.desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList exec;
        for (const QString& line : QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("Exec="))) exec = line.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QCOMPARE(exec.value(0), QStringLiteral("veltrano"));
        QStringList arguments;
        for (const QString& word : exec.mid(1)) {
            if (word == QStringLiteral("%F")) arguments << chosen;
            else if (word == QStringLiteral("%f")) arguments << chosen.first();
            else arguments << word;
        }
        QProcess second;
        second.setWorkingDirectory(runtime.path());
        second.start(QCoreApplication::applicationDirPath() + QStringLiteral("/veltrano"), arguments);
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.first().first().toStringList(),
                 (QStringList{QStringLiteral("/projects/holiday.pvxp"), QStringLiteral("/media/a b.flv"),
                              runtime.filePath(QStringLiteral("relative.flv"))}));
        // It may have ended while the signal was awaited: waitForFinished is
        // then false at once.
        QVERIFY(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // It made no data folder: nothing ran past the instance check.
        QVERIFY(!QFileInfo::exists(config.path() + QStringLiteral("/Tarvolen")));

        // Without paths the first only comes forward.
        TSingleInstance third(QStringLiteral("AppVeltrano"));
        QVERIFY(!third.Start({}));
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.last().first().toStringList(), QStringList());
    }
};

QTEST_MAIN(TestBridge)
#include "tst_bridge.moc"
