// Shared helpers, settings and the profile file refresh.

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

#include "app/CrashHandler.h"
#include "app/FileChecks.h"
#include "app/IniInfo.h"
#include "app/EngineApi.h"
#include "app/ProfileRefresh.h"
#include "app/ShellRecords.h"
#include "app/TimeFormat.h"
#include "app/TmpFile.h"

class TestHelpers : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void formatTime_data() {
        QTest::addColumn<bool>("ms");
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << true << qint64(-5) << "00:00:00.000";
        QTest::newRow("zero, no ms") << false << qint64(0) << "00:00:00";
        QTest::newRow("ms") << true << qint64(1005) << "00:00:01.005";
        QTest::newRow("all fields") << true << qint64(3723004) << "01:02:03.004";
        QTest::newRow("no ms drops them") << false << qint64(59999) << "00:00:59";
        QTest::newRow("100 hours") << true << qint64(360000000) << "100:00:00.000";
    }
    void formatTime() {
        QFETCH(bool, ms);
        QFETCH(qint64, time);
        QFETCH(QString, text);
        QCOMPARE(FormatTime(ms, time), text);
    }

    void parseTime_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("fraction of a second") << "00:00:01.5" << qint64(1500);
        QTest::newRow("two digits of fraction") << "00:00:01.05" << qint64(1050);
        QTest::newRow("finer than ms is dropped") << "0:0:2.1239" << qint64(2123);
        QTest::newRow("minutes and seconds") << "1:30" << qint64(90000);
        QTest::newRow("seconds only") << "90" << qint64(90000);
        QTest::newRow("full") << "01:02:03.004" << qint64(3723004);
        QTest::newRow("round trip of 100 hours") << "100:00:00.000" << qint64(360000000);
        QTest::newRow("no digits") << "abc" << qint64(0);
        QTest::newRow("a bad part counts 0") << "1:x:5" << qint64(3605000);
        QTest::newRow("signs are not numbers") << "-1" << qint64(0);
        QTest::newRow("too many parts") << "1:2:3:4" << qint64(0);
    }
    void parseTime() {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(ParseTime(text), ms);
    }

    void formatDiskSize_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0.00 B";
        QTest::newRow("1 KiB is still bytes") << qint64(1024) << "1024.00 B";
        QTest::newRow("just above 1 KiB") << qint64(1025) << "1.00 KB";
        QTest::newRow("1 MiB is still KB") << qint64(1048576) << "1024.00 KB";
        QTest::newRow("1.5 MiB") << qint64(1572864) << "1.50 MB";
        QTest::newRow("1 GiB is still MB") << qint64(1073741824) << "1024.00 MB";
        QTest::newRow("3 GiB") << qint64(3LL << 30) << "3.00 GB";
    }
    void formatDiskSize() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatDiskSize(bytes), text);
    }

    void isValidFileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("valid");
        QTest::newRow("absolute") << "/home/me/project.pvxp" << true;
        QTest::newRow("characters other systems forbid") << "/tmp/a:b*c?.pvxp" << true;
        QTest::newRow("relative") << "project.pvxp" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("folder") << "/tmp/" << false;
        QTest::newRow("empty name") << "/tmp//a" << false;
        QTest::newRow("dot dot") << "/tmp/.." << false;
        QTest::newRow("control character") << "/tmp/a\nb" << false;
        QTest::newRow("name too long") << "/tmp/" + QString(256, u'a') << false;
        QTest::newRow("path too long") << QString("/a").repeated(2048) << false;
    }
    void isValidFileName() {
        QFETCH(QString, path);
        QFETCH(bool, valid);
        QCOMPARE(IsValidFileName(path), valid);
    }

    void flvSignature() {
        Write("good.bin", QByteArray("FLV\x01\x05", 5));
        Write("short.bin", "FL");
        Write("other.bin", "RIFF");
        QVERIFY(IsFlvSignature(Path("good.bin")));
        QVERIFY(!IsFlvSignature(Path("short.bin")));
        QVERIFY(!IsFlvSignature(Path("other.bin")));
        QVERIFY(!IsFlvSignature(Path("missing.bin")));
    }

    void fitAspect_data() {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("num");
        QTest::addColumn<int>("den");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("already 16:9") << 160 << 90 << 16 << 9 << QRect(0, 0, 160, 90);
        QTest::newRow("too wide for 4:3") << 200 << 90 << 4 << 3 << QRect(40, 0, 120, 90);
        QTest::newRow("too tall for 16:9") << 160 << 200 << 16 << 9 << QRect(0, 55, 160, 90);
        QTest::newRow("never below one pixel") << 1 << 1000 << 1000 << 1 << QRect(0, 499, 1, 1);
        QTest::newRow("no aspect: unchanged") << 100 << 50 << 0 << 0 << QRect(0, 0, 100, 50);
        QTest::newRow("large sizes do not overflow") << 40000 << 30000 << 65535 << 65535 << QRect(5000, 0, 30000, 30000);
    }
    void fitAspect() {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, num);
        QFETCH(int, den);
        QFETCH(QRect, fitted);
        int x = -1, y = -1;
        FitAspect(x, y, w, h, num, den);
        QCOMPARE(QRect(x, y, w, h), fitted);
    }

    void tmpFile() {
        QString name;
        {
            TTmpFile tmp(dir_.path(), QStringLiteral("txt"));
            name = tmp.FileName();
            QVERIFY(name.startsWith(dir_.path() + QStringLiteral("/tmp")));
            QVERIFY(name.endsWith(QStringLiteral(".txt")));
            QVERIFY(!QFile::exists(name));  // only the name is reserved
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(!QFile::exists(name));  // the file of that name goes with the object
        TTmpFile unusable(Path("no/such/folder"));
        QVERIFY(unusable.FileName().isEmpty());
    }

    void crashesLeaveAReportAndExitCode255_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("reported");
        QTest::newRow("segmentation fault") << 0 << "SIGSEGV";
        QTest::newRow("uncaught exception") << 1 << "uncaught exception";
        QTest::newRow("abort") << 2 << "SIGABRT";
    }
    void crashesLeaveAReportAndExitCode255() {
        QFETCH(int, how);
        QFETCH(QString, reported);
        QTemporaryDir folder;
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            InstallCrashHandler(folder.path() + QLatin1Char('/'));
            if (how == 0) std::raise(SIGSEGV);
            if (how == 1) std::terminate();
            if (how == 2) std::abort();
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 255);
        QFile report(folder.filePath(QStringLiteral("crash-%1.txt").arg(child)));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(report.readAll());
        QVERIFY2(text.contains(reported), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Stack:")));
    }

    void importRecord() {
        const QString tooLong = QStringLiteral("/") + QString(5000, u'a');
        TImportRecord import(QStringLiteral("Sequence 01"), -1,
                             {tooLong, QStringLiteral("/films/Sommer ä.flv"), QStringLiteral("/films/b.flv")}, {},
                             5000);
        const TImportedFiles& r = import.Record();
        QCOMPARE(QString::fromUtf8(r.seqName), QStringLiteral("Sequence 01"));
        QCOMPARE(r.insertPos, -1);
        QCOMPARE(r.count, 2);  // the long path is refused, not cut
        QCOMPARE(import.Paths().Refused(), QStringList{tooLong});
        QCOMPARE(QString::fromUtf8(r.paths[0]), QStringLiteral("/films/Sommer ä.flv"));
        QCOMPARE(QString::fromUtf8(r.paths[1]), QStringLiteral("/films/b.flv"));
        QCOMPARE(QString::fromUtf8(r.destName), QStringLiteral("Sommer ä"));  // the first file's name
        QCOMPARE(r.imageLength, 5000);
        TImportRecord folder(QStringLiteral("Sequence 02"), 3, {QStringLiteral("/f/x.flv")}, QStringLiteral("f"), 1);
        QCOMPARE(QString::fromUtf8(folder.Record().destName), QStringLiteral("f"));
    }

    void addFilesAppendsAtTheClipCount() {
        // Answers the clip count itself and records what it was sent.
        struct Engine : TEngineApi {
            void Send(CBaseListener*, int32_t id, intptr_t p1, intptr_t) override {
                sent << id;
                if (id == msg::kSeqGetClipCount) {
                    asked = *reinterpret_cast<int32_t*>(p1);
                    *reinterpret_cast<int32_t*>(p1) = 4;
                }
                if (id == msg::kSeqAddFiles) added = *reinterpret_cast<TAddFilesToSeq*>(p1);
            }
            QList<int32_t> sent;
            int32_t asked = -1;
            TAddFilesToSeq added{};
        } engine;
        struct : CBaseListener {
            void OnMessage(void*, int32_t, intptr_t, intptr_t) override {}
        } sequenceManager;
        CBaseListener* manager = &sequenceManager;
        TPathList paths({QStringLiteral("/a.flv")});
        SendAddFiles(engine, manager, 2, -1, paths);
        QCOMPARE(engine.sent, (QList<int32_t>{msg::kSeqGetClipCount, msg::kSeqAddFiles}));
        QCOMPARE(engine.asked, 2);
        QCOMPARE(engine.added.sequence, 2);
        QCOMPARE(engine.added.position, 4);
        QCOMPARE(engine.added.count, 1);
        engine.sent.clear();
        SendAddFiles(engine, manager, 2, 1, paths);  // a given position is kept
        QCOMPARE(engine.sent, QList<int32_t>{msg::kSeqAddFiles});
        QCOMPARE(engine.added.position, 1);
        engine.sent.clear();
        SendAddFiles(engine, nullptr, 2, 1, paths);  // no manager: nothing happens
        SendAddFiles(engine, manager, 2, 1, TPathList({QString()}));
        QVERIFY(engine.sent.isEmpty());
    }

    void clipKind_data() {
        QTest::addColumn<bool>("flv");
        QTest::addColumn<int>("video");
        QTest::addColumn<int>("audio");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("kind");
        QTest::newRow("flv with both") << true << 2 << 2 << 0 << 1;
        QTest::newRow("flv video only") << true << 2 << -1 << 0 << 3;
        QTest::newRow("flv audio only") << true << -1 << 2 << 0 << 4;
        QTest::newRow("flv with neither") << true << -1 << -1 << 0 << 0;
        QTest::newRow("still picture") << false << 0 << 0 << 1 << 2;
        QTest::newRow("animation") << false << 0 << 0 << 12 << 3;
    }
    void clipKind() {
        QFETCH(bool, flv);
        QFETCH(int, video);
        QFETCH(int, audio);
        QFETCH(int, frames);
        QFETCH(int, kind);
        MediaFileInfo info{};
        info.isFlv = flv;
        info.videoCodec = video;
        info.audioFormat = audio;
        info.frameCount = frames;
        QCOMPARE(ClipKind(info), kind);
    }

    void settingsDefaultsAndRoundTrip() {
        const QString ini = Path("round.ini");
        {
            TIniInfo info(ini, QStringLiteral("/docs/"));
            QCOMPARE(info.activeLange, QStringLiteral("English"));
            QCOMPARE(info.ProcessNum(), 2);
            QCOMPARE(info.outputFolder, QStringLiteral("/docs/Tarvolen/Veltrano"));
            QCOMPARE(info.snapPath, info.outputFolder);
            QCOMPARE(info.imageDefLen, 5000);
            QCOMPARE(info.popupSizeType, 1);
            QVERIFY(info.autoUpdate && info.videoScale && info.lastMaxWindow && info.isShowConvertImg);
            QCOMPARE(info.profileVersion, 1);
            QCOMPARE(info.lastProfileFormatId, -1);
            QVERIFY(!QFile::exists(ini));  // nothing is written before the end
            info.SetProcessNum(7);
            info.outputFolder = QStringLiteral("/out/ä folder");
            info.lastMaxWindow = false;
            info.dealFileExist = 2;
            info.lastProfileName = QStringLiteral("MP4, 640x480");
            info.lastProfileFormatId = 42;
            QVERIFY(info.Save());  // as before a shut-down, which may fail and let the program go on
            info.profileVersion = 3;
        }
        TIniInfo again(ini, QStringLiteral("/docs/"));
        QCOMPARE(again.ProcessNum(), 7);
        QCOMPARE(again.outputFolder, QStringLiteral("/out/ä folder"));
        QCOMPARE(again.lastMaxWindow, false);
        QCOMPARE(again.dealFileExist, 2);
        QCOMPARE(again.lastProfileName, QStringLiteral("MP4, 640x480"));
        QCOMPARE(again.lastProfileFormatId, 42);
        QCOMPARE(again.profileVersion, 3);
        QCOMPARE(again.snapPath, QStringLiteral("/docs/Tarvolen/Veltrano"));
        QSettings raw(ini, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Snap/SnapImgType")).toInt(), 0);
        QCOMPARE(raw.value(QStringLiteral("System/ActiveLange")).toString(), QStringLiteral("English"));
    }

    void processNumRange_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("read");
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("eleven") << "11" << 10;
        QTest::newRow("negative") << "-3" << 1;
        QTest::newRow("in range") << "4" << 4;
        QTest::newRow("not a number") << "many" << 2;
    }
    void processNumRange() {
        QFETCH(QString, stored);
        QFETCH(int, read);
        const QString ini = Path("range.ini");
        QFile::remove(ini);
        Write("range.ini", "[System]\nProcessNum=" + stored.toUtf8() + "\nDealFileExist=9\nAutoUpdate=maybe\n");
        TIniInfo info(ini, QStringLiteral("/docs/"));
        QCOMPARE(info.ProcessNum(), read);
        QCOMPARE(info.dealFileExist, 2);    // other ranged keys are brought in too
        QCOMPARE(info.autoUpdate, true);    // an unreadable flag keeps its default
        info.SetProcessNum(0);
        info.SetProcessNum(11);
        QCOMPARE(info.ProcessNum(), read);  // the setter ignores values outside 1 to 10
        info.SetProcessNum(10);
        QCOMPARE(info.ProcessNum(), 10);
    }

    void profileRefresh() {
        const QByteArray shipped =
            "<NewDataSet><ExportFormats Language=\"English\">"
            "<ExportCategory Caption=\"Custom\"/>"
            "<ExportCategory Caption=\"AVI\"><ExportFormat FormatID=\"7\" Caption=\"AVI new\"/></ExportCategory>"
            "</ExportFormats></NewDataSet>";
        const QByteArray users =
            "<NewDataSet><ExportFormats Language=\"English\">"
            "<ExportCategory Caption=\"Custom\"><ExportFormat FormatID=\"900\" Caption=\"Mine\"/></ExportCategory>"
            "<ExportCategory Caption=\"AVI\"><ExportFormat FormatID=\"7\" Caption=\"AVI old\"/></ExportCategory>"
            "</ExportFormats></NewDataSet>";
        Write("shipped.xml", shipped);
        auto read = [this](const char* name) {
            QFile f(Path(QLatin1String(name)));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };

        // No user file yet: the shipped one is copied.
        int version = 5;
        QVERIFY(RefreshProfileFile(Path("shipped.xml"), Path("user.xml"), version).isEmpty());
        QVERIFY(read("user.xml").contains("AVI new"));

        // The current version with a file: left alone.
        Write("user.xml", users);
        QVERIFY(RefreshProfileFile(Path("shipped.xml"), Path("user.xml"), version).isEmpty());
        QCOMPARE(read("user.xml"), users);

        // An old (or missing) version refreshes the built-in profiles and
        // keeps the user's own.
        version = 1;
        QVERIFY(RefreshProfileFile(Path("shipped.xml"), Path("user.xml"), version).isEmpty());
        QCOMPARE(version, 5);
        const QByteArray merged = read("user.xml");
        QVERIFY(merged.contains("Mine"));
        QVERIFY(merged.contains("AVI new"));
        QVERIFY(!merged.contains("AVI old"));
        QVERIFY(merged.indexOf("Mine") < merged.indexOf("AVI new"));  // still the first category

        // An unreadable user file is kept aside, then replaced.
        Write("user.xml", "<NewDataSet><broken");
        version = 2;
        QVERIFY(RefreshProfileFile(Path("shipped.xml"), Path("user.xml"), version).isEmpty());
        QVERIFY(read("user.xml").contains("AVI new"));
        QCOMPARE(read("user.xml.bak"), QByteArray("<NewDataSet><broken"));

        // No shipped file: an error naming the target, the user's file untouched.
        Write("user.xml", users);
        version = 1;
        const QString error = RefreshProfileFile(Path("absent.xml"), Path("user.xml"), version);
        QVERIFY(error.startsWith(Path("user.xml") + QStringLiteral("\n\n")));
        QCOMPARE(read("user.xml"), users);
        QCOMPARE(version, 5);
    }
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
