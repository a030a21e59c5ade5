// The output settings dialog and its helpers: what a chosen profile shows,
// the record OK builds, the user's own profiles, the chooser tree and the
// per-sequence folders.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>

#include "LanguageCheck.h"
#include "ModalAnswerer.h"
#include "app/AppPaths.h"
#include "app/IniInfo.h"
#include "profiles/ProfileDocument.h"
#include "../../profiles/tests/CommaLocale.h"
#include "windows/ConvertLangKeys.h"
#include "windows/TfrmAddProfile.h"
#include "windows/TfrmFormat.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmOutputPath.h"
#include "windows/TfrmOutputSetting.h"

namespace {

// One category per shape the dialog treats differently; categories 4 to 13
// are the portable devices' ones.
QByteArray ProfileFile() {
    QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<NewDataSet><ExportFormats Language="English">
<ExportCategory Caption="Custom"/>
<ExportCategory Caption="AVI">
  <ExportFormat FormatID="11" Caption="AVI 4:3" FileFormat="avi" FileExt="avi" DefSize="640x480" DefBtr="800"
                DefBtrTor="2000" DefFPS="29.97" VideoCodec="13" FourCC="XVID" AudioCodec="86017"
                DefSampleRate="44100" DefABtr="128000" DefChannel="2" AudioOnly="0" DAR="4/3">
    <SupportedSizes AllowOrg="1" AllowCustom="1"><SupportedSize>320x240</SupportedSize><SupportedSize>640x480</SupportedSize></SupportedSizes>
    <SupportedFPSS AllowOrg="1" AllowCustom="1"><SupportedFPS>25</SupportedFPS><SupportedFPS>29.97</SupportedFPS></SupportedFPSS>
    <SupportedSampleRates><SupportedSample>22050</SupportedSample><SupportedSample>44100</SupportedSample></SupportedSampleRates>
    <SupportedAudioBitRates><SupportedAudioBitRate>96000</SupportedAudioBitRate><SupportedAudioBitRate>128000</SupportedAudioBitRate></SupportedAudioBitRates>
    <SupportedChannels><SupportedChannel Caption="mono"/><SupportedChannel Caption="stereo"/></SupportedChannels>
  </ExportFormat>
  <ExportFormat FormatID="12" Caption="Wide" FileFormat="mp4" FileExt="mp4" DefSize="640x360" DefBtr="1200"
                DefFPS="25" VideoCodec="28" AudioCodec="86018" DAR="16/9">
    <SupportedSizes AllowOrg="0" AllowCustom="1"><SupportedSize>640x360</SupportedSize></SupportedSizes>
    <SupportedFPSS AllowOrg="0" AllowCustom="0"><SupportedFPS>25</SupportedFPS></SupportedFPSS>
  </ExportFormat>
  <ExportFormat FormatID="13" Caption="Plain" FileFormat="avi" FileExt="avi" DefSize="320x240" DefBtr="500"
                DefFPS="25" VideoCodec="13" AudioCodec="86017" DAR="">
    <SupportedSizes AllowOrg="0" AllowCustom="1"><SupportedSize>320x240</SupportedSize></SupportedSizes>
    <SupportedFPSS AllowOrg="0" AllowCustom="0"><SupportedFPS>25</SupportedFPS></SupportedFPSS>
  </ExportFormat>
</ExportCategory>
<ExportCategory Caption="Pictures">
  <ExportFormat FormatID="21" Caption="PNG" FileFormat="png" FileExt="png" DefSize="160x120" DefBtr="1000"
                VideoCodec="61" AudioCodec="-1" AudioOnly="0">
    <SupportedSizes AllowOrg="0" AllowCustom="0"><SupportedSize>80x60</SupportedSize><SupportedSize>160x120</SupportedSize></SupportedSizes>
  </ExportFormat>
</ExportCategory>
<ExportCategory Caption="Audio">
  <ExportFormat FormatID="31" Caption="Sound" FileFormat="wav" FileExt="wav" VideoCodec="13" AudioCodec="0"
                DefSampleRate="44100" DefABtr="64000" DefChannel="1" AudioOnly="1">
    <SupportedSampleRates><SupportedSample>22050</SupportedSample><SupportedSample>44100</SupportedSample></SupportedSampleRates>
    <SupportedAudioBitRates><SupportedAudioBitRate>64000</SupportedAudioBitRate></SupportedAudioBitRates>
    <SupportedChannels><SupportedChannel Caption="Stereo"/></SupportedChannels>
  </ExportFormat>
</ExportCategory>
)";
    for (int c = 4; c <= 13; ++c)
        xml += QStringLiteral("<ExportCategory Caption=\"Device %1\"><ExportFormat FormatID=\"%2\" Caption=\"Device %1\" "
                              "FileFormat=\"mp4\" FileExt=\"mp4\" VideoCodec=\"28\" AudioCodec=\"86018\"/></ExportCategory>\n")
                   .arg(c)
                   .arg(400 + c)
                   .toUtf8();
    xml += R"(<ExportCategory Caption="Join">
  <ExportFormat FormatID="1402" Caption="FLV join" FileFormat="flvbind" FileExt="flv" VideoCodec="22" AudioCodec="86017"/>
</ExportCategory>
<ExportCategory Caption="Copy">
  <ExportFormat FormatID="1901" Caption="MP4 copy" FileFormat="mp4remux" FileExt="mp4" VideoCodec="28" AudioCodec="86018"/>
</ExportCategory>
</ExportFormats></NewDataSet>)";
    return xml;
}

constexpr int kAvi = 1, kPictures = 2, kAudio = 3, kJoin = 14, kCopy = 15;

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

}  // namespace

class TestOutputSetting : public QObject {
    Q_OBJECT
private:
    QTemporaryDir config_;
    std::unique_ptr<TfrmLang> holder_;
    std::unique_ptr<TIniInfo> ini_;
    QString profiles_;

    TIniInfo& Ini() { return *ini_; }

    std::unique_ptr<TfrmOutputSetting> Dialog() {
        auto dialog = std::make_unique<TfrmOutputSetting>(Ini(), profiles_);
        dialog->Prepare();
        return dialog;
    }
    template <class W>
    static W* Find(QObject* dialog, const char* name) {
        W* w = dialog->findChild<W*>(QLatin1String(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    static void Pick(QObject* dialog, const char* box, const QString& text) {
        QComboBox* b = Find<QComboBox>(dialog, box);
        const int at = b->findText(text);
        if (at < 0) qFatal("%s has no %s", box, qPrintable(text));
        b->setCurrentIndex(at);
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        holder_ = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                             AppPaths::LanguageFolder());
        QVERIFY2(holder_->LanguageError().isEmpty(), qPrintable(holder_->LanguageError()));
        profiles_ = AppPaths::DataFolder() + QStringLiteral("CustomFormats.xml");
    }

    void init() {
        QFile file(profiles_);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(ProfileFile());
        file.close();
        // Each test starts from the defaults: the last one's settings file goes.
        ini_.reset();
        QFile::remove(config_.filePath(QStringLiteral("test.ini")));
        ini_ = std::make_unique<TIniInfo>(config_.filePath(QStringLiteral("test.ini")), config_.path() + QLatin1Char('/'));
        Ini().outputFolder = config_.filePath(QStringLiteral("out")) + QLatin1Char('/');
    }

    void theChooserGroupsDevicesAndOffersOnlyProfiles() {
        auto dialog = Dialog();
        // Nothing remembered: the first profile of the first built-in category.
        QCOMPARE(dialog->CurrentCategory(), kAvi);
        QCOMPARE(dialog->CurrentCaption(), QStringLiteral("AVI 4:3"));

        QTreeWidget* tree = dialog->Chooser()->Tree();
        QStringList top;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) top << tree->topLevelItem(i)->text(0);
        QCOMPARE(top, (QStringList{"Custom", "AVI", "Pictures", "Audio", "Portable devices", "Join", "Copy"}));
        QTreeWidgetItem* group = tree->topLevelItem(4);
        QCOMPARE(group->childCount(), 10);
        QCOMPARE(group->child(0)->text(0), QStringLiteral("Device 4"));
        QCOMPARE(group->child(9)->text(0), QStringLiteral("Device 13"));

        // Down in the format box opens the tree; a branch cannot be chosen, a
        // profile can (Enter), and choosing hides the tree.
        QTest::keyClick(Find<QComboBox>(dialog.get(), "cbxFormat"), Qt::Key_Down);
        QVERIFY(dialog->Chooser()->isVisible());
        tree->setCurrentItem(group);
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(dialog->Chooser()->isVisible());
        QCOMPARE(dialog->CurrentCategory(), kAvi);
        tree->setCurrentItem(group->child(3)->child(0));
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(!dialog->Chooser()->isVisible());
        QCOMPARE(dialog->CurrentCategory(), 7);
        QCOMPARE(Find<QComboBox>(dialog.get(), "cbxFormat")->currentText(), QStringLiteral("Device 7"));
        QVERIFY(!Find<QPushButton>(dialog.get(), "btnDelProfile")->isEnabled());  // built in

        // A built-in profile is found again by name and number, not by name alone.
        Ini().lastProfileName = QStringLiteral("Device 9");
        Ini().lastProfileFormatId = 409;
        QCOMPARE(Dialog()->CurrentCategory(), 9);
        Ini().lastProfileFormatId = 1;
        QCOMPARE(Dialog()->CurrentCategory(), kAvi);
    }

    void choosingAProfileFillsTheControls() {
        struct Case {
            const char* name;
            int category, index;
            QStringList sizes;
            QString size;
            QStringList rates;
            QString rate;
            bool bitRateEnabled;
            bool video, videoEnabled, audio, audioEnabled;
            QStringList sampleRates, channels;
            QString channel;
        };
        const Case cases[] = {
            {"original and custom around the list", kAvi, 0, {"Original", "320x240", "640x480", "Custom"}, "640x480",
             {"Original", "25", "29.97", "Custom"}, "29.97", true, true, true, true, true, {"22050", "44100"},
             {"Mono", "Stereo"}, "Stereo"},
            {"no frame rates: the bit rate is not the user's", kPictures, 0, {"80x60", "160x120"}, "160x120", {}, "",
             false, true, true, false, false, {}, {}, ""},
            {"audio only", kAudio, 0, {}, "", {}, "", false, false, false, true, true, {"22050", "44100"}, {"Stereo"},
             "Stereo"},
        };
        auto dialog = Dialog();
        for (const Case& c : cases) {
            QVERIFY(dialog->ChooseFormat(c.category, c.index));
            const QString at = QString::fromLatin1(c.name);
            auto* sizes = Find<QComboBox>(dialog.get(), "cbxVideoSize");
            auto* rates = Find<QComboBox>(dialog.get(), "cbxFrameRate");
            if (c.video) {
                QCOMPARE(Items(sizes), c.sizes);
                QCOMPARE(sizes->currentText(), c.size);
                QCOMPARE(Items(rates), c.rates);
                QCOMPARE(rates->currentText(), c.rate);
                QCOMPARE(rates->isEnabled(), !c.rates.isEmpty());
                QVERIFY2(!Find<QSpinBox>(dialog.get(), "edtWidth")->isEnabled(), qPrintable(at));
            }
            QCOMPARE(Find<QLineEdit>(dialog.get(), "edtVideoBitrate")->isEnabled(), c.bitRateEnabled);
            QCOMPARE(Find<QCheckBox>(dialog.get(), "chkIncludeVideo")->isChecked(), c.video);
            QCOMPARE(Find<QCheckBox>(dialog.get(), "chkIncludeVideo")->isEnabled(), c.videoEnabled);
            QCOMPARE(Find<QGroupBox>(dialog.get(), "grpVideo")->isEnabled(), c.videoEnabled);
            QCOMPARE(Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->isChecked(), c.audio);
            QCOMPARE(Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->isEnabled(), c.audioEnabled);
            QCOMPARE(Find<QGroupBox>(dialog.get(), "grpAudio")->isEnabled(), c.audioEnabled);
            QCOMPARE(Items(Find<QComboBox>(dialog.get(), "cbxSampleRate")), c.sampleRates);
            QCOMPARE(Items(Find<QComboBox>(dialog.get(), "cbxChannels")), c.channels);
            QCOMPARE(Find<QComboBox>(dialog.get(), "cbxChannels")->currentText(), c.channel);
        }

        // "Include video" switches its group; for a join of FLV files both
        // streams stay and nothing can be adjusted.
        QVERIFY(dialog->ChooseFormat(kAvi, 0));
        Find<QCheckBox>(dialog.get(), "chkIncludeVideo")->click();
        QVERIFY(!Find<QGroupBox>(dialog.get(), "grpVideo")->isEnabled());
        QVERIFY(dialog->ChooseFormat(kJoin, 0));
        for (const char* include : {"chkIncludeVideo", "chkIncludeAudio"}) {
            QVERIFY(Find<QCheckBox>(dialog.get(), include)->isChecked());
            QVERIFY(!Find<QCheckBox>(dialog.get(), include)->isEnabled());
        }
        QVERIFY(!Find<QGroupBox>(dialog.get(), "grpVideo")->isEnabled());
        QVERIFY(!Find<QGroupBox>(dialog.get(), "grpAudio")->isEnabled());
        // The trim-start choice is there only for outputs copied into another container.
        for (const auto& [category, offered] : {std::pair{kAvi, false}, std::pair{kJoin, false}, std::pair{kCopy, true}}) {
            QVERIFY(dialog->ChooseFormat(category, 0));
            QCOMPARE(Find<QComboBox>(dialog.get(), "cbxCutMode")->isVisibleTo(dialog.get()), offered);
        }
        QVERIFY(!Find<QGroupBox>(dialog.get(), "grpVideo")->isEnabled());
    }

    // The shipped profiles for today's players reach the record as the
    // engine needs them: Opus offered at 48 kHz only, HEVC tagged hvc1, and
    // the GIF with no sound and its own size and rate.
    void theShippedNewerOutputsBuildTheirRecords() {
        QFile::remove(profiles_);
        QVERIFY(QFile::copy(AppPaths::BuiltInProfileFile(), profiles_));
        profiles::TXMLNewDataSetType shipped;
        QVERIFY(shipped.LoadFile(profiles_.toStdString()));
        struct Case {
            const char* caption;
            const char* format;
            const char* ext;
            int32_t video, audio;
            QStringList sampleRates;
            int32_t width, height;
            double fps;
            uint32_t fourCC;
        };
        const uint32_t hvc1 = 'h' | ('v' << 8) | ('c' << 16) | (uint32_t('1') << 24);
        const Case cases[] = {
            {"WebM video (VP9 + Opus)", "webm", "webm", 167, 86076, {"48000"}, -1, -1, 0, 0},
            {"WebM video (AV1 + Opus)", "webm", "webm", 226, 86076, {"48000"}, -1, -1, 0, 0},
            {"MP4 video (HEVC + AAC)", "mp4", "mp4", 173, 86018, {"22050", "32000", "44100", "48000"}, -1, -1, 0, hvc1},
            {"MP4 video (AV1 + Opus)", "mp4", "mp4", 226, 86076, {"48000"}, -1, -1, 0, 0},
            {"MKV video (H.264 + AAC)", "matroska", "mkv", 28, 86018, {"22050", "32000", "44100", "48000"}, -1, -1, 0, 0},
            {"Animated GIF", "gif", "gif", 100, -1, {}, 320, 240, 10, 0},
        };
        auto dialog = Dialog();
        const profiles::TXMLExportFormatsType formats = shipped.ExportFormats();
        for (const Case& c : cases) {
            int category = -1, index = -1;
            for (int k = 0; k < formats.Count() && category < 0; ++k)
                for (int i = 0; i < formats.Item(k).Count(); ++i)
                    if (formats.Item(k).Item(i).Caption() == c.caption) category = k, index = i;
            QVERIFY2(category > 0, c.caption);
            QVERIFY2(dialog->ChooseFormat(category, index), c.caption);
            QCOMPARE(Items(Find<QComboBox>(dialog.get(), "cbxSampleRate")), c.sampleRates);
            QCOMPARE(Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->isChecked(), c.audio != -1);
            dialog->accept();
            QVERIFY2(dialog->result() == QDialog::Accepted, c.caption);
            const OutputSettings& r = dialog->Record();
            QCOMPARE(QByteArray(r.fileFormat), QByteArray(c.format));
            QCOMPARE(QByteArray(r.fileExt), QByteArray(c.ext));
            QCOMPARE(r.videoCodec, c.video);
            QCOMPARE(r.audioCodec, c.audio);
            if (c.audio != -1) QCOMPARE(r.sampleRate, c.sampleRates.contains("44100") ? 44100 : 48000);
            QCOMPARE(r.width, c.width);
            QCOMPARE(r.height, c.height);
            QCOMPARE(r.frameRate, c.fps);
            QCOMPARE(r.fourCC, c.fourCC);
        }
    }

    void customSizeFollowsTheAspectRatio() {
        auto dialog = Dialog();
        auto* width = Find<QSpinBox>(dialog.get(), "edtWidth");
        auto* height = Find<QSpinBox>(dialog.get(), "edtHeight");
        struct Case {
            int index;
            int width, height;  // shown once "Custom" is chosen
            int typedWidth, linkedHeight;
        };
        // In this order: "Plain" leaves 620 x 480 in the edits, so "AVI 4:3"
        // must still reach 640 x 480 when neither edit changes value.
        const Case cases[] = {{2, 620, 480, 800, 480}, {0, 640, 480, 800, 600}, {1, 853, 480, 960, 540}};
        for (const Case& c : cases) {
            QVERIFY(dialog->ChooseFormat(kAvi, c.index));
            Pick(dialog.get(), "cbxVideoSize", QStringLiteral("Custom"));
            QVERIFY(width->isEnabled() && height->isEnabled());
            QCOMPARE(width->value(), c.width);
            QCOMPARE(height->value(), c.height);
            width->setValue(c.typedWidth);
            QCOMPARE(height->value(), c.linkedHeight);
        }
        Pick(dialog.get(), "cbxVideoSize", QStringLiteral("640x360"));
        QVERIFY(!width->isEnabled() && !height->isEnabled());

        // A custom frame rate starts at 25 and is given back to a listed entry.
        QVERIFY(dialog->ChooseFormat(kAvi, 0));
        Pick(dialog.get(), "cbxFrameRate", QStringLiteral("Custom"));
        QCOMPARE(Find<QLineEdit>(dialog.get(), "edtFrameRate")->text(), QStringLiteral("25"));
        QVERIFY(Find<QLineEdit>(dialog.get(), "edtFrameRate")->isEnabled());
        Pick(dialog.get(), "cbxFrameRate", QStringLiteral("25"));
        QVERIFY(!Find<QLineEdit>(dialog.get(), "edtFrameRate")->isEnabled());
    }

    void aCommaLocaleStillListsAndReadsDotRates() {
        CommaLocale comma;
        if (!comma.Active()) QSKIP("no locale with a decimal comma could be made (package \"locales\")");
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        auto dialog = Dialog();
        QVERIFY(Items(Find<QComboBox>(dialog.get(), "cbxFrameRate")).contains(QStringLiteral("29.97")));
        QCOMPARE(Find<QComboBox>(dialog.get(), "cbxFrameRate")->currentText(), QStringLiteral("29.97"));
        dialog->accept();
        QCOMPARE(dialog->Record().frameRate, 29.97);
        // A rate typed the local way is read as well.
        Pick(dialog.get(), "cbxFrameRate", QStringLiteral("Custom"));
        Find<QLineEdit>(dialog.get(), "edtFrameRate")->setText(QStringLiteral("12,5"));
        dialog->accept();
        QCOMPARE(dialog->Record().frameRate, 12.5);
        QLocale::setDefault(before);
    }

    void okBuildsTheRecordByteForByte() {
        struct Case {
            const char* name;
            int before;  // a category OK'd first, or -1
            int category;
            std::function<void(QObject*)> choose;
            std::function<void(OutputSettings&)> expect;  // from a zeroed record with no codecs
        };
        const auto avi = [](OutputSettings& r) {
            std::strcpy(r.fileFormat, "avi");
            std::strcpy(r.fileExt, "avi");
            r.audioCodec = 86017;
            r.sampleRate = 44100;
            r.audioBitRate = 128000;
            r.channels = 2;
            r.videoCodec = 13;
            r.width = 640;
            r.height = 480;
            r.videoBitRate = 800000;
            r.bitRateTolerance = 2000000;
            r.frameRate = 29.97;
            r.aspectRatio = 4.0 / 3.0;
            r.fourCC = 'X' | 'V' << 8 | 'I' << 16 | 'D' << 24;
            r.scaling = 2;  // letterbox
        };
        const Case cases[] = {
            {"defaults", -1, kAvi, [](QObject*) {}, avi},
            {"original size and rate, mono, stretched", -1, kAvi,
             [this](QObject* d) {
                 Pick(d, "cbxVideoSize", QStringLiteral("Original"));
                 Pick(d, "cbxFrameRate", QStringLiteral("Original"));
                 Pick(d, "cbxChannels", QStringLiteral("Mono"));
                 Ini().videoScale = false;
             },
             [avi](OutputSettings& r) {
                 avi(r);
                 r.width = r.height = -1;
                 r.frameRate = 0;
                 r.channels = 1;
                 r.scaling = 0;
             }},
            {"custom size and a rate that is not a number", -1, kAvi,
             [](QObject* d) {
                 Pick(d, "cbxVideoSize", QStringLiteral("Custom"));
                 Find<QSpinBox>(d, "edtWidth")->setValue(400);
                 Pick(d, "cbxFrameRate", QStringLiteral("Custom"));
                 Find<QLineEdit>(d, "edtFrameRate")->setText(QStringLiteral("fast"));
             },
             [avi](OutputSettings& r) {
                 avi(r);
                 r.width = 400;
                 r.height = 300;
                 r.frameRate = 30;
             }},
            {"audio left out keeps the audio fields", -1, kAvi,
             [](QObject* d) { Find<QCheckBox>(d, "chkIncludeAudio")->click(); },
             [avi](OutputSettings& r) {
                 avi(r);
                 r.audioCodec = -1;
                 r.sampleRate = r.audioBitRate = r.channels = 0;
             }},
            {"pictures: no sound, no rate list", -1, kPictures, [](QObject*) {},
             [](OutputSettings& r) {
                 std::strcpy(r.fileFormat, "png");
                 std::strcpy(r.fileExt, "png");
                 r.videoCodec = 61;
                 r.width = 160;
                 r.height = 120;
                 r.videoBitRate = 1000000;
                 r.scaling = 2;
             }},
            {"audio codec 0 gets its sound fields", -1, kAudio, [](QObject*) {},
             [](OutputSettings& r) {
                 std::strcpy(r.fileFormat, "wav");
                 std::strcpy(r.fileExt, "wav");
                 r.audioCodec = 0;
                 r.sampleRate = 44100;
                 r.audioBitRate = 64000;
                 r.channels = 2;  // the only entry says stereo
             }},
            {"a copy into MP4 changes the texts, the codecs and the cut mode", kAvi, kCopy,
             [](QObject* d) { Find<QComboBox>(d, "cbxCutMode")->setCurrentIndex(1); },
             [avi](OutputSettings& r) {
                 avi(r);
                 std::memset(r.fileFormat, 0, sizeof r.fileFormat);
                 std::memset(r.fileExt, 0, sizeof r.fileExt);
                 std::strcpy(r.fileFormat, "mp4remux");
                 std::strcpy(r.fileExt, "mp4");
                 r.videoCodec = 28;
                 r.audioCodec = 86018;
                 r.cutMode = 1;
             }},
            {"a join changes only the texts and the codecs", kAvi, kJoin, [](QObject*) {},
             [avi](OutputSettings& r) {
                 avi(r);
                 std::memset(r.fileFormat, 0, sizeof r.fileFormat);
                 std::memset(r.fileExt, 0, sizeof r.fileExt);
                 std::strcpy(r.fileFormat, "flvbind");
                 std::strcpy(r.fileExt, "flv");
                 r.videoCodec = 22;
                 r.audioCodec = 86017;
             }},
        };
        for (const Case& c : cases) {
            Ini().videoScale = true;
            auto dialog = Dialog();
            if (c.before >= 0) {
                QVERIFY(dialog->ChooseFormat(c.before, 0));
                dialog->accept();
            }
            QVERIFY(dialog->ChooseFormat(c.category, 0));
            c.choose(dialog.get());
            dialog->accept();
            QVERIFY2(dialog->result() == QDialog::Accepted, c.name);
            OutputSettings expected{};
            expected.audioCodec = expected.videoCodec = -1;
            c.expect(expected);
            const OutputSettings& built = dialog->Record();
            QVERIFY2(std::memcmp(&built, &expected, sizeof expected) == 0, c.name);
        }
        // OK remembers the profile and the folder, which it made.
        QCOMPARE(Ini().lastProfileName, QStringLiteral("FLV join"));
        QCOMPARE(Ini().lastProfileFormatId, 1402);
        QCOMPARE(Ini().outputFolder, config_.filePath(QStringLiteral("out")) + QLatin1Char('/'));
        QVERIFY(QFileInfo(config_.filePath(QStringLiteral("out"))).isDir());
        QCOMPARE(Dialog()->CurrentCategory(), kJoin);
    }

    void okRefusesWhatCannotBeConverted() {
        struct Case {
            const char* name;
            int category;
            std::function<void(QObject*)> spoil;
            const char* says;
        };
        const Case cases[] = {
            {"no folder", kAvi, [](QObject* d) { Find<QLineEdit>(d, "edtOutputPath")->setText(QStringLiteral("  ")); },
             "cannot be used"},
            {"a relative folder", kAvi,
             [](QObject* d) { Find<QLineEdit>(d, "edtOutputPath")->setText(QStringLiteral("out/here")); },
             "cannot be used"},
            {"a file where the folder should be", kAvi,
             [this](QObject* d) { Find<QLineEdit>(d, "edtOutputPath")->setText(profiles_); }, "cannot be used"},
            {"neither stream", kAvi,
             [](QObject* d) {
                 Find<QCheckBox>(d, "chkIncludeVideo")->click();
                 Find<QCheckBox>(d, "chkIncludeAudio")->click();
             },
             "video or audio"},
            {"audio only without its audio", kAudio,
             [](QObject* d) { Find<QCheckBox>(d, "chkIncludeAudio")->click(); }, "video or audio"},
        };
        ModalAnswerer answer;
        for (const Case& c : cases) {
            auto dialog = Dialog();
            QVERIFY(dialog->ChooseFormat(c.category, 0));
            dialog->open();  // opening refreshes the folder from the settings
            c.spoil(dialog.get());
            answer.prompts.clear();
            dialog->accept();
            QVERIFY2(dialog->isVisible(), c.name);  // still open
            QCOMPARE(answer.prompts.size(), 1);
            QVERIFY2(answer.prompts[0].contains(QLatin1String(c.says)), qPrintable(answer.prompts[0]));
            QCOMPARE(dialog->Record().videoCodec, -1);  // nothing was built
        }
        QVERIFY(Ini().lastProfileName.isEmpty());
    }

    void userProfilesAreAddedReloadedAndDeleted() {
        ModalAnswerer answer(2);
        int attempts = 0;
        answer.onDialog = [&attempts](QWidget* w) {
            auto* add = qobject_cast<TfrmAddProfile*>(w);
            if (!add) return;
            // First a blank name, which is refused, then a real one.
            add->findChild<QLineEdit*>(QStringLiteral("edtProfile"))
                ->setText(attempts++ == 0 ? QStringLiteral("   ") : QStringLiteral("  Mine  "));
            add->findChild<QPushButton*>(QStringLiteral("btnOk"))->click();
        };
        {
            auto dialog = Dialog();
            Pick(dialog.get(), "cbxVideoSize", QStringLiteral("Custom"));
            Find<QSpinBox>(dialog.get(), "edtWidth")->setValue(800);
            Pick(dialog.get(), "cbxFrameRate", QStringLiteral("Custom"));
            Find<QLineEdit>(dialog.get(), "edtFrameRate")->setText(QStringLiteral("12.5"));
            // Bit rates read in kbit/s; the profile keeps bits per second.
            QCOMPARE(Find<QComboBox>(dialog.get(), "cbxABitrate")->currentText(), QStringLiteral("128 kbit/s"));
            Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->click();
            Find<QPushButton>(dialog.get(), "btnAddProfile")->click();
            QCOMPARE(attempts, 2);
            QCOMPARE(answer.prompts, QStringList{QStringLiteral("Please enter a name for the profile.")});
            QCOMPARE(dialog->CurrentCategory(), 0);
            QCOMPARE(dialog->CurrentCaption(), QStringLiteral("Mine"));
            QVERIFY(Find<QPushButton>(dialog.get(), "btnDelProfile")->isEnabled());
        }
        // What was saved: the choices as the profile's defaults, the custom
        // values added to its lists, no sound.
        profiles::TXMLNewDataSetType saved;
        QVERIFY(saved.LoadFile(profiles_.toStdString()));
        const profiles::TXMLExportFormatType mine = saved.ExportFormats().Item(0).Item(0);
        QCOMPARE(QString::fromStdString(mine.Caption()), QStringLiteral("Mine"));
        QCOMPARE(QString::fromStdString(mine.DefSize()), QStringLiteral("800x600"));
        QCOMPARE(QString::fromStdString(mine.SupportedSizes().Item(2)), QStringLiteral("800x600"));
        QCOMPARE(mine.DefFPS(), 12.5);
        QCOMPARE(mine.SupportedFPSS().Item(2), 12.5);
        QCOMPARE(mine.FormatID(), 11);
        QCOMPARE(mine.DefABtr(), 128000);
        QVERIFY(!mine.SupportedSampleRates());
        QCOMPARE(saved.ExportFormats().Item(1).Count(), 3);  // the built-in ones stay

        // Read back by a dialog that remembers it, it shows what was saved.
        Ini().lastProfileName = QStringLiteral("Mine");
        auto dialog = Dialog();
        QCOMPARE(dialog->CurrentCategory(), 0);
        QCOMPARE(Find<QComboBox>(dialog.get(), "cbxVideoSize")->currentText(), QStringLiteral("800x600"));
        QCOMPARE(Find<QComboBox>(dialog.get(), "cbxFrameRate")->currentText(), QStringLiteral("12.5"));
        QVERIFY(!Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->isChecked());
        QVERIFY(!Find<QCheckBox>(dialog.get(), "chkIncludeAudio")->isEnabled());
        QCOMPARE(dialog->Chooser()->Tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("Mine"));

        // Deleting the last one leaves the default profile chosen.
        Find<QPushButton>(dialog.get(), "btnDelProfile")->click();
        QCOMPARE(dialog->CurrentCategory(), kAvi);
        QCOMPARE(dialog->CurrentIndex(), 0);
        QVERIFY(!Find<QPushButton>(dialog.get(), "btnDelProfile")->isEnabled());
        QCOMPARE(dialog->Chooser()->Tree()->topLevelItem(0)->childCount(), 0);
        QVERIFY(saved.LoadFile(profiles_.toStdString()));
        QCOMPARE(saved.ExportFormats().Item(0).Count(), 0);
    }

    void aProfileFileThatCannotBeReadIsReported() {
        QFile file(profiles_);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<NewDataSet><ExportFormats>");
        file.close();
        ModalAnswerer answer;
        auto dialog = Dialog();
        QCOMPARE(answer.prompts.size(), 1);
        QVERIFY(answer.prompts[0].startsWith(profiles_ + QStringLiteral("\n\n")));
        QCOMPARE(dialog->Chooser()->Tree()->topLevelItemCount(), 0);
        QVERIFY(!Find<QPushButton>(dialog.get(), "btnOk")->isEnabled());
    }

    void theFolderTypeSwitchesThePathControls() {
        Ini().outputFolderType = 1;
        auto dialog = Dialog();
        QVERIFY(!Find<QLineEdit>(dialog.get(), "edtOutputPath")->isEnabled());
        QVERIFY(!Find<QPushButton>(dialog.get(), "btnBrowse")->isEnabled());
        QVERIFY(Find<QPushButton>(dialog.get(), "btnEditPath")->isEnabled());
        Find<QComboBox>(dialog.get(), "cbxOutputFolderType")->setCurrentIndex(0);
        QVERIFY(Find<QLineEdit>(dialog.get(), "edtOutputPath")->isEnabled());
        QVERIFY(!Find<QPushButton>(dialog.get(), "btnEditPath")->isEnabled());
        // With outputs beside their sources the path is left alone.
        Find<QComboBox>(dialog.get(), "cbxOutputFolderType")->setCurrentIndex(1);
        Find<QLineEdit>(dialog.get(), "edtOutputPath")->clear();
        dialog->accept();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(Ini().outputFolderType, 1);
        QCOMPARE(Ini().outputFolder, config_.filePath(QStringLiteral("out")) + QLatin1Char('/'));
    }

    void everyTextIsInEveryLanguage() {
        QList<TSeqPathInfo> none;
        auto settings = Dialog();
        TfrmAddProfile add(QStringLiteral("x"));
        TfrmOutputPath paths(none);
        for (QWidget* form : std::initializer_list<QWidget*>{settings.get(), &add, &paths})
            QCOMPARE(MissingLanguageItems(form, holder_->Languages()), QStringList());
        // The texts looked up by key, in both languages.
        for (const QString& language : holder_->Languages().LanguageNames()) {
            QVERIFY(holder_->Languages().SelectLanguage(language));
            for (const TLangKey& key : convkey::kAll) {
                TMyLang unit(&add, QLatin1String(key.unit), &holder_->Languages());
                QVERIFY2(!unit.Text(key).isEmpty(), qPrintable(language + QLatin1Char(':') + QLatin1String(key.key)));
            }
            for (const TLangKey& key : convkey::kCodeTexts) {
                TMyLang unit(&add, QLatin1String(key.unit), &holder_->Languages());
                QVERIFY2(unit.Text(key).contains(QStringLiteral("%s")), key.key);
            }
        }
        QVERIFY(holder_->Languages().SelectLanguage(QStringLiteral("English")));
    }

    void theOutputDirectoryDialogWritesFoldersBackOnOk() {
        QList<TSeqPathInfo> rows{{QStringLiteral("Sequence 01"), QStringLiteral("first"), QStringLiteral("/a/")},
                                 {QStringLiteral("Sequence 02"), QStringLiteral("second"), QStringLiteral("/b/")}};
        ModalAnswerer answer;
        {
            TfrmOutputPath dialog(rows);
            auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lvPath"));
            auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("edtPath"));
            QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("first"));
            QCOMPARE(edit->text(), QStringLiteral("/a/"));  // the first row is selected
            list->setCurrentItem(list->topLevelItem(1));
            QCOMPARE(edit->text(), QStringLiteral("/b/"));
            edit->setText(QStringLiteral("/videos/out"));
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("/videos/out/"));
            edit->setText(QStringLiteral("relative/out"));
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(answer.prompts.size(), 1);
            QVERIFY(answer.prompts[0].endsWith(QStringLiteral("\n\nrelative/out")));
            QCOMPARE(edit->selectedText(), QStringLiteral("relative/out"));
            QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("/videos/out/"));
            dialog.reject();
        }
        QCOMPARE(rows[1].sourceFolder, QStringLiteral("/b/"));  // Cancel writes nothing back
        {
            TfrmOutputPath dialog(rows);
            auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("lvPath"));
            list->setCurrentItem(list->topLevelItem(1));
            // A folder typed but not confirmed with Enter still counts on OK.
            dialog.findChild<QLineEdit*>(QStringLiteral("edtPath"))->setText(QStringLiteral("/videos/out"));
            dialog.accept();
        }
        QCOMPARE(rows[0].sourceFolder, QStringLiteral("/a/"));
        QCOMPARE(rows[1].sourceFolder, QStringLiteral("/videos/out/"));
    }
};

QTEST_MAIN(TestOutputSetting)
#include "tst_outputsetting.moc"
