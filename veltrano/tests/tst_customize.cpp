// The clip customize panel with the real engine and a project of fixture
// clips: what the user does on each page reaches the engine, and what the
// engine reports comes back into the controls and the preview.

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QToolButton>
#include <QtTest>
#include <array>
#include <cmath>
#include <memory>

#include "PanelTestSupport.h"
#include "app/AppPaths.h"
#include "app/IniInfo.h"
#include "app/TimeFormat.h"
#include "windows/TFlvEffectPage.h"
#include "windows/TFlvWatermarkPage.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmApplySelected.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfrmTranColor.h"

namespace {
const char* const kClip = "flv1_mp3_160x120.flv";  // 25 fps, 3 s

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The largest channel difference between a picture and what was expected at each pixel.
int Mismatch(const QImage& after, const std::function<QRgb(int x, int y)>& expected) {
    int worst = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) worst = std::max(worst, Distance(after.pixel(x, y), expected(x, y)));
    return worst;
}
}  // namespace

class TestCustomize : public QObject {
    Q_OBJECT
private:
    QTemporaryDir config_;
    std::unique_ptr<TfrmLang> holder_;
    std::unique_ptr<EngineProject> engine_;
    std::unique_ptr<TfmeFlvCustomize> panel_;

    template <class T>
    T* Find(const char* name) {
        T* w = panel_->findChild<T*>(QLatin1String(name));
        if (!w) qFatal("no control %s", name);
        return w;
    }
    void Page(int page) { panel_->Pages()->setCurrentIndex(page); }
    void Type(const char* box, const QString& text) {
        auto* edit = Find<QLineEdit>(box);
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    // Selects a clip (it starts playing) and pauses on the frame at ms.
    void SelectPaused(int sequence, int clip, int ms = 1000) {
        engine_->Select(sequence, clip);
        QVERIFY(panel_->Pages()->isEnabled());
        Find<QPushButton>("btnPause")->click();
        QVERIFY(panel_->Paused());
        ShowFrameAt(ms);
    }
    void ShowFrameAt(int ms) {
        const int before = panel_->Preview()->FramesPresented();
        engine_->engine.Send(engine_->clipEdit, msg::kPlayerSeek, 0, ms);
        QTRY_VERIFY(panel_->Preview()->FramesPresented() > before);
    }
    // The picture after the next redraw an edit causes.
    QImage AfterEdit(const std::function<void()>& edit) {
        const int before = panel_->Preview()->FramesPresented();
        edit();
        [&] { QTRY_VERIFY(panel_->Preview()->FramesPresented() > before); }();
        return panel_->Preview()->CurrentFrame();
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        holder_ = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                             AppPaths::LanguageFolder());
    }

    void init() {
        engine_ = std::make_unique<EngineProject>();
        engine_->Import({kClip, "flv1_adpcm_160x120.flv", "flv1_video_only_160x120.flv"});
        engine_->Import({"mp3_audio_only.flv", "flv1_mp3_320x240.flv"}, "Sequence 02");
        panel_ = std::make_unique<TfmeFlvCustomize>(engine_->engine, holder_->Ini(), &holder_->Languages());
        panel_->Subscribe(engine_->wrapper);
        panel_->SetHandles(engine_->seqMgr, engine_->clipEdit);
        panel_->resize(440, 760);
        panel_->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
    }

    void cleanup() {
        panel_.reset();  // lets the engine go from its surfaces first
        engine_.reset();
    }

    void aSelectedClipFillsThePanelAndPlays() {
        QVERIFY(!Find<QPushButton>("btnPlay")->isEnabled());  // nothing to play yet
        engine_->Select(0, 0);
        auto* info = Find<QTreeWidget>("lvFlvInfo");
        QCOMPARE(info->topLevelItem(0)->text(1), FixturePath(kClip));
        QCOMPARE(info->topLevelItem(4)->text(1), QStringLiteral("160 * 120"));
        QCOMPARE(info->topLevelItem(5)->text(1), QStringLiteral("Sorenson H.263"));
        QCOMPARE(info->topLevelItem(9)->text(1), QStringLiteral("MP3"));
        QCOMPARE(Find<QLineEdit>("edtEndTime")->text(), panel_->DurationText());
        QVERIFY(Find<QPushButton>("btnPause")->isVisible());
        QVERIFY(!Find<QPushButton>("btnPlay")->isVisible());
        QTRY_VERIFY(panel_->Preview()->FramesPresented() > 0);
        QCOMPARE(panel_->Preview()->CurrentFrame().size(), QSize(160, 120));
        // The preview keeps the clip's shape inside its parent.
        const QSize shown = panel_->Preview()->size();
        QVERIFY(std::abs(shown.width() * 120 - shown.height() * 160) <= 160);

        // Nothing selected: the empty state.
        engine_->Select(0, -1);
        QVERIFY(!Find<QLabel>("imgPreviewMask")->isHidden());
        QVERIFY(panel_->Preview()->isHidden());
        QCOMPARE(Find<QLineEdit>("edtStartTime")->text(), QStringLiteral("00:00:00.000"));
        QVERIFY(!Find<QSpinBox>("edtL")->isEnabled());
    }

    void theClipsKindDecidesWhatCanBeEdited() {
        struct Case {
            int sequence, clip, kind;
            bool picture, volume;
        };
        const Case cases[] = {{0, 0, 1, true, true},    // video and sound
                              {0, 2, 3, true, false},   // video only: no volume
                              {1, 0, 4, false, true}};  // sound only: no picture controls
        for (const Case& c : cases) {
            engine_->Select(c.sequence, c.clip);
            QCOMPARE(panel_->ClipKind(), c.kind);
            QCOMPARE(Find<QSpinBox>("edtL")->isEnabled(), c.picture);
            QCOMPARE(Find<QPushButton>("btnAddWatermark")->isEnabled(), c.picture);
            QCOMPARE(Find<QPushButton>("btnSnap")->isEnabled(), c.picture);
            QCOMPARE(Find<QComboBox>("cbxEffect")->isEnabled(), c.picture);
            QCOMPARE(Find<QSpinBox>("spedtVolume")->isEnabled(), c.volume);
        }
        // Reset on a sound-only clip touches the volume only.
        engine_->Select(1, 0);
        Find<QSpinBox>("spedtVolume")->setValue(250);
        Find<QPushButton>("btnResetEffect")->click();
        QCOMPARE(Find<QSpinBox>("spedtVolume")->value(), 100);
    }

    void trimByTheEditsTheStepsAndTheSlider() {
        QList<EditTrim> reported;
        panel_->onTrimChanged = [&](int, const EditTrim& t, int) { reported << t; };
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kClipPage);
        const uint32_t duration = engine_->Trim().duration;
        QVERIFY(duration > 2000);

        Type("edtStartTime", QStringLiteral("00:00:01.000"));
        QCOMPARE(engine_->Trim().start, 1000u);
        QCOMPARE(panel_->Slider()->GetTrimStart(), 1000);
        QVERIFY(!reported.isEmpty());
        QCOMPARE(reported.last().start, 1000u);

        // A start at the end, and an end one millisecond past the clip, are refused with a warning.
        const struct {
            const char* box;
            QString text;
        } refused[] = {{"edtStartTime", FormatTime(true, duration)}, {"edtEndTime", FormatTime(true, duration + 1)}};
        for (const auto& r : refused) {
            bool warned = false;
            AnswerNextModal([&](QWidget* w) {
                warned = true;
                w->close();
            });
            Type(r.box, r.text);
            QVERIFY(warned);
        }
        QCOMPARE(engine_->Trim().start, 1000u);
        QCOMPARE(engine_->Trim().end, duration);
        QCOMPARE(Find<QLineEdit>("edtStartTime")->text(), QStringLiteral("00:00:01.000"));
        Type("edtEndTime", FormatTime(true, duration));  // the clip's end itself is accepted
        QCOMPARE(engine_->Trim().end, duration);

        // Frame steps: one frame of the clip's rate (about 40 ms here).
        MediaFileInfo info{};
        engine_->engine.Send(engine_->clipEdit, msg::kEditGetMediaInfo, reinterpret_cast<intptr_t>(&info), sizeof info);
        const uint32_t later = static_cast<uint32_t>(std::ceil(1000 / info.frameRate));
        const uint32_t earlier = static_cast<uint32_t>(-std::floor(-1000 / info.frameRate));
        QVERIFY(later >= 40 && later <= 41);
        Find<QToolButton>("btnStartNext")->click();
        QCOMPARE(Find<QLineEdit>("edtStartTime")->text(), FormatTime(true, 1000 + later));
        Find<QToolButton>("btnEndPrev")->click();
        QCOMPARE(engine_->Trim().end, duration - earlier);
        QCOMPARE(Find<QLineEdit>("edtEndTime")->text(), FormatTime(true, duration - earlier));

        // Dragging the end mark to the left trims the end; the position follows it.
        TfmeRangeSlider* slider = panel_->Slider();
        auto* endMark = slider->findChild<QWidget*>(QStringLiteral("imgEnd"));
        QVERIFY(endMark->isVisible());
        const QPoint grip(endMark->width() / 2, endMark->height() / 2);
        const int pixels = (slider->CentreOf(static_cast<int>(duration)) - slider->CentreOf(1800));
        Drag(endMark, grip, grip - QPoint(pixels, 0));
        const EditTrim trimmed = engine_->Trim();
        QCOMPARE(static_cast<int>(trimmed.end), slider->GetTrimEnd());
        QVERIFY2(std::abs(static_cast<int>(trimmed.end) - 1800) < 60, qPrintable(QString::number(trimmed.end)));
        QCOMPARE(slider->GetPosition(), slider->GetTrimEnd());
        QCOMPARE(Find<QLineEdit>("edtEndTime")->text(), FormatTime(true, trimmed.end));

        // The start mark cannot pass the end mark.
        auto* startMark = slider->findChild<QWidget*>(QStringLiteral("imgStart"));
        Drag(startMark, grip, grip + QPoint(slider->width(), 0));
        QVERIFY(engine_->Trim().start <= engine_->Trim().end);
        QCOMPARE(static_cast<int>(engine_->Trim().start), slider->GetTrimStart());
    }

    void cropByNumbersAndByDraggingOnThePreview() {
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kClipPage);
        Find<QSpinBox>("edtL")->setValue(20);
        QCOMPARE(engine_->Crop(), (Rect{20, 0, 0, 0}));
        QCOMPARE(Find<QLabel>("lblCropSizeValue")->text(), QStringLiteral("140 X 120 (3.5 : 3.0)"));
        Find<QPushButton>("btnResetCrop")->click();
        QCOMPARE(engine_->Crop(), (Rect{0, 0, 0, 0}));
        QCOMPARE(Find<QSpinBox>("edtL")->value(), 0);

        // On the Clip page the frame covers the whole preview: grab its left
        // edge and pull it a quarter of the way in.
        TPreviewSurface* preview = panel_->Preview();
        const int w = preview->width(), h = preview->height();
        SendMouse(preview, QEvent::MouseMove, QPoint(1, h / 2));
        QCOMPARE(preview->cursor().shape(), Qt::SizeHorCursor);
        Drag(preview, QPoint(1, h / 2), QPoint(1 + w / 4, h / 2));
        const Rect m = engine_->Crop();
        QVERIFY2(std::abs(m.left - 40) <= 1, qPrintable(QString::number(m.left)));
        QCOMPARE((Rect{0, m.top, m.right, m.bottom}), (Rect{0, 0, 0, 0}));
        QCOMPARE(Find<QSpinBox>("edtL")->value(), m.left);

        // Crop margins are only taken while the crop frame is shown.
        Page(TfmeFlvCustomize::kEffectPage);
        Rect other{0, 10, 0, 0};
        engine_->engine.Send(engine_->clipEdit, msg::kEditCropMargins, reinterpret_cast<intptr_t>(&other), sizeof other);
        QCOMPARE(engine_->Crop(), m);
    }

    // Opening the Effect page shows thumbnails of the picture playing now,
    // without waiting for a pause; a clip chosen while the page is open
    // shows its own picture in them, not the one shown before it.
    void effectThumbnailsComeFromThePlayingPicture() {
        auto* effects = Find<QComboBox>("cbxEffect");
        engine_->Select(0, 0);
        QTRY_VERIFY(panel_->Preview()->FramesPresented() > 0);
        Page(TfmeFlvCustomize::kEffectPage);
        QVERIFY(!panel_->Paused());
        QTRY_VERIFY(!effects->itemIcon(0).isNull());
        for (int i = 1; i <= TFlvEffectPage::kEffectCount; ++i)
            QVERIFY2(!effects->itemIcon(i).isNull(), TFlvEffectPage::kEffectNames[i - 1]);

        engine_->Import({"still_160x120.png"}, "Sequence 03");
        engine_->Select(2, 0);
        const QImage picture = QImage(FixturePath("still_160x120.png"))
                                   .scaled(TFlvEffectPage::kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        auto thumbnail = [&] { return effects->itemIcon(0).pixmap(TFlvEffectPage::kThumbnailSize).toImage(); };
        QTRY_VERIFY2(thumbnail().size() == picture.size() &&
                         Mismatch(thumbnail(), [&](int x, int y) { return picture.pixel(x, y); }) < 40,
                     "the plain thumbnail is not the picture clip's");
    }

    // A language chosen while the panel shows: the combo items and the
    // watermark rows' types follow it, and come back in English.
    void comboTextsAndWatermarkTypesFollowTheLanguage() {
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kWatermarkPage);
        panel_->WatermarkPage()->choosePicture = [] { return FixturePath("still_64x48.bmp"); };
        panel_->WatermarkPage()->AddMenu()->findChild<QAction*>("miAddImage")->trigger();
        auto* list = Find<QTreeWidget>("lvWatermark");
        QTRY_COMPARE(list->topLevelItemCount(), 1);
        struct Case {
            const char* language;
            QString flip, origin, type;
        };
        const Case cases[] = {
            {"Deutsch", QStringLiteral("Nicht spiegeln"), QStringLiteral("Oben links"), QStringLiteral("Bild")},
            {"English", QStringLiteral("No Flip"), QStringLiteral("Top-Left"), QStringLiteral("Image")}};
        for (const Case& c : cases) {
            QVERIFY(holder_->Languages().SelectLanguage(QLatin1String(c.language)));
            QCOMPARE(Find<QComboBox>("cbxFlip")->itemText(0), c.flip);
            QCOMPARE(Find<QComboBox>("cbxImageOrigin")->itemText(0), c.origin);
            QCOMPARE(list->topLevelItem(0)->text(1), c.type);
        }
    }

    void anEffectAndAFlipChangeThePreviewAsTheFilterSays() {
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kEffectPage);
        ShowFrameAt(1200);
        const QImage plain = panel_->Preview()->CurrentFrame();
        auto* effects = Find<QComboBox>("cbxEffect");
        for (int i = 1; i <= TFlvEffectPage::kEffectCount; ++i)
            QVERIFY2(!effects->itemIcon(i).isNull(), TFlvEffectPage::kEffectNames[i - 1]);  // thumbnails

        const QImage inverted = AfterEdit([&] { effects->setCurrentIndex(1); });  // InvertColor
        QCOMPARE(inverted.size(), plain.size());
        QCOMPARE(Mismatch(inverted, [&](int x, int y) {
                     const QRgb p = plain.pixel(x, y);
                     return qRgb(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p));
                 }),
                 0);

        const QImage flipped = AfterEdit([&] { Find<QComboBox>("cbxFlip")->setCurrentIndex(1); });  // upside down
        QCOMPARE(Mismatch(flipped, [&](int x, int y) { return inverted.pixel(x, inverted.height() - 1 - y); }), 0);

        // Back to no effect and no flip: the picture as it was.
        Find<QPushButton>("btnResetEffect")->click();
        QTRY_COMPARE(Mismatch(panel_->Preview()->CurrentFrame(), [&](int x, int y) { return plain.pixel(x, y); }), 0);
        EditEffects e{};
        engine_->engine.Send(engine_->clipEdit, msg::kEditGetEffects, reinterpret_cast<intptr_t>(&e), sizeof e);
        QCOMPARE(QString::fromUtf8(e.effectName), QString());
        QCOMPARE(e.flipIndex, 0);
    }

    void aTextWatermarkIsAddedAndMovedByDragging() {
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kWatermarkPage);
        auto* list = Find<QTreeWidget>("lvWatermark");
        for (int n = 1; n <= 3; ++n) panel_->WatermarkPage()->AddMenu()->findChild<QAction*>("miAddText")->trigger();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(2)->text(2), QStringLiteral("Title 3"));
        QCOMPARE(panel_->WatermarkPage()->SelectedRow(), 0);  // the first one added was selected
        QCOMPARE(Find<QPlainTextEdit>("mmoCaption")->toPlainText(), QStringLiteral("Title 1"));
        QVERIFY(!Find<QPushButton>("btnMoveUpWater")->isEnabled());
        QVERIFY(Find<QPushButton>("btnMoveDownWater")->isEnabled());
        Find<QPushButton>("btnDelWatermark")->click();
        QVERIFY(!Find<QPushButton>("btnDelWatermark")->isEnabled());  // nothing selected after a removal
        list->setCurrentItem(list->topLevelItem(1));
        Find<QPushButton>("btnDelWatermark")->click();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("Title 2"));
        list->setCurrentItem(list->topLevelItem(0));
        QCOMPARE(panel_->WatermarkPage()->SelectedRow(), 0);

        // The text sits in the middle of the picture: drag it right and down.
        TPreviewSurface* preview = panel_->Preview();
        const QPoint centre(preview->width() / 2, preview->height() / 2);
        SendMouse(preview, QEvent::MouseMove, centre);
        QCOMPARE(preview->cursor().shape(), Qt::SizeAllCursor);
        const QPoint by(preview->width() / 4, preview->height() / 8);
        Drag(preview, centre, centre + by);
        WaterMarkPosition p{0, 0, 0, 0, 0};
        engine_->engine.Send(engine_->clipEdit, msg::kWaterMarkGetPosition, reinterpret_cast<intptr_t>(&p), sizeof p);
        QCOMPARE(p.origin, int16_t{4});
        QVERIFY2(std::abs(p.xOffset - 40) <= 1 && std::abs(p.yOffset - 15) <= 1,
                 qPrintable(QStringLiteral("%1, %2").arg(p.xOffset).arg(p.yOffset)));
        QCOMPARE(Find<QSpinBox>("spedtTextLeft")->value(), int(p.xOffset));
        QCOMPARE(Find<QSpinBox>("spedtTextTop")->value(), int(p.yOffset));

        // Typing a caption renames the row and the watermark.
        Find<QPlainTextEdit>("mmoCaption")->setPlainText(QStringLiteral("Grüße"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("Grüße"));
        char text[64] = {};
        WaterMarkTextBuffer r{0, text, sizeof text};
        engine_->engine.Send(engine_->clipEdit, msg::kWaterMarkGetText, reinterpret_cast<intptr_t>(&r), sizeof r);
        QCOMPARE(QString::fromUtf8(text), QStringLiteral("Grüße"));
    }

    void anImageWatermarkIsSizedTimedAndMadeSeeThrough() {
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kWatermarkPage);
        TFlvWatermarkPage* page = panel_->WatermarkPage();
        page->choosePicture = [] { return FixturePath("still_64x48.bmp"); };
        page->AddMenu()->findChild<QAction*>("miAddImage")->trigger();
        auto* list = Find<QTreeWidget>("lvWatermark");
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("still_64x48.bmp"));
        QCOMPARE(Find<QLineEdit>("edtBrowse")->text(), FixturePath("still_64x48.bmp"));

        Find<QSpinBox>("edtImageWidth")->setValue(32);
        WaterMarkSize size{0, 0, 0, 0, {}};
        engine_->engine.Send(engine_->clipEdit, msg::kWaterMarkGetSize, reinterpret_cast<intptr_t>(&size), sizeof size);
        QCOMPARE(int(size.width), 32);

        // A start typed after the end is refused; one before it is taken.
        bool warned = false;
        AnswerNextModal([&](QWidget* w) {
            warned = true;
            w->close();
        });
        Type("edtWaterStartTime", QStringLiteral("01:00:00.000"));
        QVERIFY(warned);
        Type("edtWaterStartTime", QStringLiteral("00:00:00.400"));
        WaterMarkTiming timing{0, 0, 0, 0, 0};
        engine_->engine.Send(engine_->clipEdit, msg::kWaterMarkGetTiming, reinterpret_cast<intptr_t>(&timing), sizeof timing);
        QCOMPARE(timing.startTime, 400u);
        QCOMPARE(panel_->Slider()->GetWatermarkStart(), 400);

        // The see-through colour keeps the alpha chosen with it.
        AnswerNextModal([](QWidget* w) {
            auto* dialog = qobject_cast<TfrmTranColor*>(w);
            QVERIFY(dialog);
            dialog->SetTransparencyEnabled(true);
            dialog->SetColor(QColor(10, 20, 30));
            dialog->SetTolerance(12);
            dialog->SetAlpha(128);
            dialog->accept();
        });
        Find<QPushButton>("btnBrowse")->click();
        WaterMarkTransparency t{0, 0, {}, 0, {}};
        engine_->engine.Send(engine_->clipEdit, msg::kWaterMarkGetTransparency, reinterpret_cast<intptr_t>(&t), sizeof t);
        QCOMPARE((std::array<int, 6>{t.transparent[0], t.transparent[1], t.transparent[2], t.transparent[3], t.tolerance, t.alpha}),
                 (std::array<int, 6>{10, 20, 30, 0, 12, 128}));
    }

    void theCropIsAppliedToTheWholeSequence() {
        QList<QPoint> applied;
        panel_->onApplied = [&](bool all, int clip, int sequence) {
            QVERIFY(!all);
            applied << QPoint(sequence, clip);
        };
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kClipPage);
        Find<QSpinBox>("edtT")->setValue(16);
        AnswerNextModal([](QWidget* w) {
            auto* chooser = qobject_cast<TfrmApplySelected*>(w);
            QVERIFY(chooser);
            chooser->Tree()->topLevelItem(0)->setCheckState(0, Qt::Checked);  // the sequence: all its clips
            chooser->accept();
        });
        panel_->ApplyMenu()->findChild<QAction*>("miClipApplySelected")->trigger();
        QCOMPARE(applied, (QList<QPoint>{{0, 0}, {0, 1}, {0, 2}}));
        for (int clip = 1; clip < 3; ++clip) {
            engine_->Select(0, clip);
            QCOMPARE(engine_->Crop(), (Rect{0, 16, 0, 0}));
            QCOMPARE(Find<QSpinBox>("edtT")->value(), 16);
        }
        engine_->Select(1, 1);
        const Rect untouched = engine_->Crop();
        QVERIFY2(untouched == (Rect{0, 0, 0, 0}), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(untouched.left).arg(untouched.top).arg(untouched.right).arg(untouched.bottom)));  // another sequence keeps its own
    }

    void aSnapshotIsWrittenUnderAFreeNameAndShowsThePreviewsPicture() {
        QTemporaryDir snaps;
        TIniInfo& ini = holder_->Ini();
        ini.snapPath = snaps.path() + QStringLiteral("/shots/");
        ini.snapImgType = 0;
        QDir().mkpath(ini.snapPath);
        for (const char* taken : {"flv1_mp3_160x120.bmp", "flv1_mp3_160x120_0.bmp"}) {
            QFile f(ini.snapPath + QLatin1String(taken));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        SelectPaused(0, 0, 1500);
        const QString expected = ini.snapPath + QStringLiteral("flv1_mp3_160x120_1.bmp");
        QCOMPARE(panel_->NextSnapshotPath(), expected);
        const int before = panel_->Preview()->FramesPresented();
        Find<QPushButton>("btnSnap")->click();
        QTRY_VERIFY(QFileInfo(expected).size() > 0);
        QTRY_VERIFY(panel_->Preview()->FramesPresented() > before);  // the redraw that saved it
        QImage shot;
        QTRY_VERIFY(shot.load(expected) && !shot.isNull());
        const QImage shown = panel_->Preview()->CurrentFrame();
        QCOMPARE(shot.size(), shown.size());
        QCOMPARE(Mismatch(shot, [&](int x, int y) { return shown.pixel(x, y); }), 0);
    }

    void theFloatingPreviewTakesOverAndGivesBack() {
        TIniInfo& ini = holder_->Ini();
        ini.popupSizeType = 0;
        SelectPaused(0, 0);
        Page(TfmeFlvCustomize::kClipPage);
        Find<QPushButton>("btnPopup")->click();
        TfrmPopupPreview* popup = panel_->Popup();
        QVERIFY(popup && popup->isVisible());
        QCOMPARE(popup->Preview()->size(), QSize(80, 60));  // half of 160 x 120
        // The engine draws into the whole panel, not into the size it had before it was shown.
        QTRY_COMPARE(popup->Preview()->CurrentFrameRect(), QRect(0, 0, 80, 60));
        QCOMPARE(popup->windowTitle(), QStringLiteral("flv1_mp3_160x120.flv - Clip"));
        Page(TfmeFlvCustomize::kWatermarkPage);
        QCOMPARE(popup->windowTitle(), QStringLiteral("flv1_mp3_160x120.flv - Watermark"));
        QCOMPARE(popup->Mode(), 2);
        popup->PictureMenu()->findChild<QAction*>("miTwiceSize")->trigger();
        QCOMPARE(ini.popupSizeType, 2);
        QCOMPARE(popup->Preview()->size(), QSize(320, 240));
        // Frames now go to the floating window.
        const int before = popup->Preview()->FramesPresented();
        engine_->engine.Send(engine_->clipEdit, msg::kPlayerSeek, 0, 800);
        QTRY_VERIFY(popup->Preview()->FramesPresented() > before);
        QTRY_COMPARE(popup->Preview()->CurrentFrameRect(), QRect(0, 0, 320, 240));
        // A size the user drags reaches the engine, which draws into it.
        for (const QSize size : {QSize(500, 240), QSize(200, 300)}) {
            popup->resize(size);
            QCOMPARE(popup->Preview()->size(), size);
            QTRY_VERIFY2(popup->Preview()->rect().contains(popup->Preview()->CurrentFrameRect()) &&
                             (popup->Preview()->CurrentFrameRect().width() == size.width() ||
                              popup->Preview()->CurrentFrameRect().height() == size.height()),
                         qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
        }

        popup->close();
        const int embedded = panel_->Preview()->FramesPresented();
        ShowFrameAt(1000);
        QTRY_VERIFY(panel_->Preview()->FramesPresented() > embedded);
        ini.popupSizeType = 1;
    }

    // Pictures of the panel on each page for the documentation, made only
    // when VELTRANO_SCREENSHOTS names a folder (see the README).
    void screenshotsOfEachPage() {
        const QString folder = qEnvironmentVariable("VELTRANO_SCREENSHOTS");
        if (folder.isEmpty()) QSKIP("VELTRANO_SCREENSHOTS names no folder");
        QDir().mkpath(folder);
        SelectPaused(0, 0, 1200);
        Page(TfmeFlvCustomize::kClipPage);
        Type("edtStartTime", QStringLiteral("00:00:00.500"));
        Find<QSpinBox>("edtL")->setValue(12);
        Find<QSpinBox>("edtB")->setValue(8);
        Page(TfmeFlvCustomize::kWatermarkPage);
        panel_->WatermarkPage()->AddMenu()->findChild<QAction*>("miAddText")->trigger();
        const struct {
            int page;
            const char* file;
        } shots[] = {{TfmeFlvCustomize::kPreviewPage, "panel-preview.png"},
                     {TfmeFlvCustomize::kClipPage, "panel-clip.png"},
                     {TfmeFlvCustomize::kWatermarkPage, "panel-watermark.png"},
                     {TfmeFlvCustomize::kEffectPage, "panel-effect.png"}};
        for (const auto& shot : shots) {
            Page(shot.page);
            if (shot.page == TfmeFlvCustomize::kWatermarkPage) {
                auto* list = Find<QTreeWidget>("lvWatermark");
                list->setCurrentItem(list->topLevelItem(0));
            }
            if (shot.page == TfmeFlvCustomize::kEffectPage) Find<QComboBox>("cbxEffect")->setCurrentIndex(4);  // Spooky
            ShowFrameAt(1200);
            QTest::qWait(200);  // the repaint the frame scheduled
            QVERIFY(panel_->grab().save(folder + QLatin1Char('/') + QLatin1String(shot.file)));
        }
    }
};

QTEST_MAIN(TestCustomize)
#include "tst_customize.moc"
