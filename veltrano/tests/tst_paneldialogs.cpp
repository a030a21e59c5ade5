// The clip panel's companions on their own: the range slider, the font, see-
// through colour and apply-to dialogs, the helpers that fill engine records,
// and the language texts of all of them.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>
#include <memory>

#include "PanelTestSupport.h"
#include "app/AppPaths.h"
#include "app/MyLang.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TFlvClipPage.h"
#include "windows/TMyFontDialog.h"
#include "windows/TMyFontDialogFrm.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmApplySelected.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfrmTranColor.h"
#include "windows/Utf8Fit.h"

namespace {
QString ShownText(QObject* obj) {
    if (auto* a = qobject_cast<QAction*>(obj)) return a->isSeparator() ? QString() : a->text();
    if (auto* m = qobject_cast<QMenu*>(obj)) return m->title();
    if (auto* b = qobject_cast<QAbstractButton*>(obj)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(obj)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(obj)) return g->title();
    if (auto* w = qobject_cast<QWidget*>(obj); w && w->isWindow()) return w->windowTitle();
    return {};
}

// Named controls with a design text that belong to this window's language
// unit (not to a frame or dialog inside it with a unit of its own).
QStringList TranslatableNames(QWidget* form, TMyLang* lang) {
    QStringList names;
    QList<QObject*> all = form->findChildren<QObject*>();
    all.prepend(form);
    for (QObject* obj : all) {
        if (obj->objectName().isEmpty() || obj->property("langSkip").toBool() || ShownText(obj).isEmpty()) continue;
        QObject* owner = obj;  // the nearest object carrying a language component
        while (owner && !owner->findChild<TMyLang*>(QString(), Qt::FindDirectChildrenOnly)) owner = owner->parent();
        if (owner && owner->findChild<TMyLang*>(QString(), Qt::FindDirectChildrenOnly) == lang) names << obj->objectName();
    }
    return names;
}

QSet<QString> Units(const QString& file) {
    QSet<QString> units;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return units;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("unit"))
            units << xml.attributes().value(QLatin1String("name")).toString();
    return units;
}
}  // namespace

class TestPanelDialogs : public QObject {
    Q_OBJECT
private:
    QTemporaryDir config_;
    std::unique_ptr<TfrmLang> holder_;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        holder_ = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                             AppPaths::LanguageFolder());
    }

    void theSliderKeepsItsMarksInOrder() {
        TfmeRangeSlider slider(&holder_->Languages());
        slider.resize(405, slider.height());
        slider.Reset();
        slider.SetMax(3000);
        slider.SetTrimEnd(2000);
        slider.SetTrimStart(500);
        struct Case {
            const char* what;
            std::function<void()> change;
            int start, end, position, max;
        };
        const Case cases[] = {
            {"a start above the end is refused", [&] { slider.SetTrimStart(2500); }, 500, 2000, 0, 3000},
            {"an end above the maximum is refused", [&] { slider.SetTrimEnd(3001); }, 500, 2000, 0, 3000},
            {"an end below the start is refused", [&] { slider.SetTrimEnd(400); }, 500, 2000, 0, 3000},
            {"a position below the start gives the start", [&] { slider.SetPosition(100); }, 500, 2000, 500, 3000},
            {"a position above the end gives the end", [&] { slider.SetPosition(2900); }, 500, 2000, 2000, 3000},
            {"a maximum not above the minimum is ignored", [&] { slider.SetMax(0); }, 500, 2000, 2000, 3000},
            {"the start may equal the end", [&] { slider.SetTrimStart(2000); }, 2000, 2000, 2000, 3000},
        };
        for (const Case& c : cases) {
            c.change();
            QVERIFY2(slider.GetTrimStart() == c.start && slider.GetTrimEnd() == c.end &&
                         slider.GetPosition() == c.position && slider.GetMax() == c.max,
                     c.what);
        }
        // A value and the centre of its mark map onto each other.
        for (int v : {0, 1, 1499, 3000}) QVERIFY(std::abs(slider.ValueAt(slider.CentreOf(v)) - v) <= 8);
        QCOMPARE(slider.CentreOf(0), 4);
        QCOMPARE(slider.CentreOf(3000), 4 + 396);
    }

    void draggingAMarkCallsBackWithinItsLimits() {
        TfmeRangeSlider slider(&holder_->Languages());
        slider.resize(405, slider.height());
        slider.show();
        slider.SetMax(1000);
        slider.SetTrimEnd(800);
        slider.SetTrimStart(200);
        slider.SetWatermarkStart(300);
        slider.SetWatermarkEnd(600);
        slider.SetMode(TfmeRangeSlider::kBoth);
        QStringList calls;
        slider.onTrimPressed = [&](int s, int e, int w) { calls << QStringLiteral("tp %1 %2 %3").arg(s).arg(e).arg(w); };
        slider.onTrimReleased = [&](int s, int e, int w) { calls << QStringLiteral("tr %1 %2 %3").arg(s).arg(e).arg(w); };
        slider.onWaterMoved = [&](int s, int e, int w) { calls << QStringLiteral("wm %1 %2 %3").arg(s).arg(e).arg(w); };
        auto* start = slider.findChild<QWidget*>(QStringLiteral("imgStart"));
        const QPoint grip(start->width() / 2, start->height() / 2);
        // Far past the end mark: the start stops at the end, the position with it.
        Drag(start, grip, grip + QPoint(300, 0));
        QCOMPARE(slider.GetTrimStart(), 800);
        QCOMPARE(slider.GetPosition(), 800);
        QCOMPARE(calls.first(), QStringLiteral("tp 200 800 1"));
        QCOMPARE(calls.last(), QStringLiteral("tr 800 800 1"));
        // The watermark end cannot go before the watermark start.
        calls.clear();
        auto* waterEnd = slider.findChild<QWidget*>(QStringLiteral("imgEnd1"));
        Drag(waterEnd, grip, grip - QPoint(400, 0));
        QCOMPARE(slider.GetWatermarkEnd(), 300);
        QCOMPARE(calls.last(), QStringLiteral("wm 300 300 2"));
        // Only one mark moves at a time.
        auto* end = slider.findChild<QWidget*>(QStringLiteral("imgEnd"));
        SendMouse(start, QEvent::MouseButtonPress, grip);
        SendMouse(end, QEvent::MouseButtonPress, grip);
        SendMouse(end, QEvent::MouseMove, grip - QPoint(100, 0));
        QCOMPARE(slider.GetTrimEnd(), 800);
        SendMouse(start, QEvent::MouseButtonRelease, grip);
        // Disabled, it takes no drag.
        slider.SetEnabled(false);
        Drag(end, grip, grip - QPoint(100, 0));
        QCOMPARE(slider.GetTrimEnd(), 800);
    }

    void theMarksNameThemselvesInTheHintLine() {
        TfmeRangeSlider slider(&holder_->Languages());
        QStringList hints;
        slider.onHint = [&](QWidget*, const QString& text) { hints << text; };
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QApplication::sendEvent(slider.findChild<QWidget*>(QStringLiteral("imgStart1")), &enter);
        QApplication::sendEvent(slider.findChild<QWidget*>(QStringLiteral("imgStart1")), &leave);
        QCOMPARE(hints, (QStringList{QStringLiteral("Watermark start point"), QString()}));
    }

    void theFontDialogChangesOnlyWhatIsTouched() {
        TMyFontDialog dialog(&holder_->Languages());
        dialog.font = QFont(QStringLiteral("DejaVu Sans"), 12);
        dialog.colour = QColor(10, 20, 30);
        dialog.alpha = 200;
        dialog.showAlpha = true;
        AnswerNextModal([](QWidget* w) {
            w->findChild<QCheckBox*>(QStringLiteral("chkStrike"))->setChecked(true);
            w->findChild<QComboBox*>(QStringLiteral("cbbFontStyle"))->setCurrentIndex(2);  // Bold
            w->findChild<QComboBox*>(QStringLiteral("cbbFontSize"))->setEditText(QStringLiteral("big"));
            QVERIFY(w->findChild<QGroupBox*>(QStringLiteral("grpAlpha"))->isVisible());
            static_cast<QDialog*>(w)->accept();
        });
        QVERIFY(dialog.Execute());
        QVERIFY(dialog.font.bold());
        QVERIFY(!dialog.font.italic());
        QVERIFY(dialog.font.strikeOut());
        QCOMPARE(dialog.font.pointSize(), 9);  // a size that is no number
        QCOMPARE(dialog.font.family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(dialog.colour, QColor(10, 20, 30));
        QCOMPARE(dialog.alpha, 200);
        // Cancel keeps everything.
        AnswerNextModal([](QWidget* w) {
            w->findChild<QCheckBox*>(QStringLiteral("chkUnderLine"))->setChecked(true);
            static_cast<QDialog*>(w)->reject();
        });
        QVERIFY(!dialog.Execute());
        QVERIFY(!dialog.font.underline());
    }

    void theSeeThroughColourDialogShowsTheWatermarkAsDrawn() {
        // A picture of two colours: the left half red, the right half blue.
        QTemporaryDir dir;
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(QColor(255, 0, 0));
        for (int y = 0; y < 20; ++y)
            for (int x = 20; x < 40; ++x) picture.setPixel(x, y, qRgb(0, 0, 255));
        const QString path = dir.filePath(QStringLiteral("two.png"));
        QVERIFY(picture.save(path));

        TfrmTranColor dialog(&holder_->Languages());
        QVERIFY(!dialog.SetPicturePath(dir.filePath(QStringLiteral("missing.png"))));
        QVERIFY(dialog.SetPicturePath(path));
        dialog.SetTransparencyEnabled(true);
        dialog.SetTolerance(0);
        dialog.SetAlpha(255);
        const QImage plain = dialog.Result();
        QCOMPARE(plain.width(), TfrmTranColor::kBoxWidth);  // a wide picture takes the box's width
        // Picking the left half makes red see-through: the checkered background shows there.
        dialog.PickAt(QPoint(5, 5));
        QCOMPARE(dialog.Color(), QColor(255, 0, 0));
        const QImage keyed = dialog.Result();
        const QPoint left(10, 10), right(keyed.width() - 10, 10);
        QVERIFY(qRed(keyed.pixel(left)) == qGreen(keyed.pixel(left)) && qGreen(keyed.pixel(left)) == qBlue(keyed.pixel(left)));
        QCOMPARE(keyed.pixel(right), plain.pixel(right));
        // Off, the colour boxes and picking do nothing.
        dialog.SetTransparencyEnabled(false);
        QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("edtR"))->isEnabled());
        QCOMPARE(dialog.Result().pixel(left), plain.pixel(left));
        // A box that holds no number, or one above 255, becomes 0.
        dialog.SetTransparencyEnabled(true);
        for (const char* typed : {"abc", "300"}) {
            dialog.findChild<QLineEdit*>(QStringLiteral("edtG"))->setText(QLatin1String(typed));
            QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("edtG"))->text(), QStringLiteral("0"));
        }
        dialog.findChild<QLineEdit*>(QStringLiteral("edtB"))->setText(QStringLiteral("77"));
        QCOMPARE(dialog.Color(), QColor(255, 0, 77));
    }

    void theChooserOffersEveryClipAndReturnsTheCheckedOnes() {
        EngineProject engine;
        {
            TfrmApplySelected empty(engine.engine, engine.seqMgr, &holder_->Languages());
            QCOMPARE(empty.Tree()->topLevelItemCount(), 0);
            empty.accept();
            QVERIFY(empty.Targets().isEmpty());
        }
        engine.Import({"flv1_mp3_160x120.flv", "flv1_adpcm_160x120.flv"}, "First");
        engine.Import({"flv1_video_only_160x120.flv"}, "Second");
        TfrmApplySelected chooser(engine.engine, engine.seqMgr, &holder_->Languages());
        QTreeWidget* tree = chooser.Tree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("First (First)"));
        QCOMPARE(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("flv1_adpcm_160x120.flv"));
        tree->topLevelItem(1)->setCheckState(0, Qt::Checked);          // a sequence checks its clips
        tree->topLevelItem(0)->child(1)->setCheckState(0, Qt::Checked);
        chooser.accept();
        QCOMPARE(chooser.Targets(), (QList<TfrmApplySelected::Target>{{0, 1}, {1, 0}}));  // tree order, clips only
    }

    // The player outlines the selected watermark after drawing the picture;
    // the black beside a letterboxed picture comes before it.
    void thePreviewDrawsMarksOverThePictureUntilTheNext() {
        TPreviewSurface surface;
        surface.resize(120, 100);
        std::vector<uint8_t> red(10 * 10 * 4);
        for (size_t i = 0; i < red.size(); i += 4) red[i + 2] = red[i + 3] = 255;  // blue, green, red, alpha
        const auto shown = [&](QPoint p) {
            QApplication::processEvents();
            return surface.grab().toImage().pixelColor(p);
        };
        surface.FillRect(Rect{100, 0, 120, 100}, 0xff000000);
        surface.PresentFrame(red.data(), 10, 10, false, Rect{0, 0, 10, 10}, Rect{0, 0, 100, 100});
        surface.FillRect(Rect{10, 10, 60, 11}, 0xff00ff00);
        QCOMPARE(shown(QPoint(30, 10)), QColor(0, 255, 0));
        QCOMPARE(shown(QPoint(30, 30)), QColor(255, 0, 0));
        QCOMPARE(shown(QPoint(110, 50)), QColor(0, 0, 0));
        surface.PresentFrame(red.data(), 10, 10, false, Rect{0, 0, 10, 10}, Rect{0, 0, 100, 100});
        QCOMPARE(shown(QPoint(30, 10)), QColor(255, 0, 0));  // the old mark went with its picture
        QCOMPARE(shown(QPoint(110, 50)), QColor(0, 0, 0));
    }

    void recordTextsAreCutBetweenCharacters() {
        struct Case {
            QString text;
            int max;
            QByteArray expected;
        };
        const Case cases[] = {{QStringLiteral("abc"), 5, "abc"},
                              {QStringLiteral("äöü"), 5, "\xC3\xA4\xC3\xB6"},  // not half of "ü"
                              {QStringLiteral("a€"), 3, "a"},                    // "€" takes three bytes
                              {QStringLiteral("a€"), 4, "a\xE2\x82\xAC"},
                              {QStringLiteral("😀x"), 3, ""},
                              {QStringLiteral("x"), 0, ""}};
        for (const Case& c : cases) QCOMPARE(Utf8Fit(c.text, c.max), c.expected);
        char field[8];
        std::memset(field, 'z', sizeof field);
        CopyUtf8Field(field, sizeof field, QStringLiteral("Grüße!!"));  // 9 bytes into 7 and the end
        QCOMPARE(QByteArray(field), QByteArray("Gr\xC3\xBC\xC3\x9F" "e"));
    }

    void sizeLabelsAndClipKinds() {
        QCOMPARE(CropSizeText(1280, 720), QStringLiteral("1280 X 720 (16.0 : 9.0)"));
        QCOMPARE(CropSizeText(720, 480), QStringLiteral("720 X 480 (4.5 : 3.0)"));
        QCOMPARE(CropSizeText(640, 480), QStringLiteral("640 X 480 (4.0 : 3.0)"));
        struct Case {
            uint8_t isFlv;
            int32_t video, audio, frames, kind;
        };
        const Case kinds[] = {{1, 2, 2, 0, 1}, {1, -1, -1, 0, 1}, {1, 2, -1, 0, 3}, {1, -1, 2, 0, 4},
                              {0, 0, 0, 1, 2},  {0, 0, 0, 5, 3}};
        for (const Case& c : kinds) {
            MediaFileInfo info{};
            info.isFlv = c.isFlv;
            info.videoCodec = c.video;
            info.audioFormat = c.audio;
            info.frameCount = c.frames;
            QCOMPARE(ClipKindOf(info), c.kind);
        }
    }

    void everyTextOfThePanelAndItsDialogsIsInEveryLanguage() {
        const QString dir = QStringLiteral(VELTRANO_LANGUAGE_SOURCE_DIR);
        for (const char* file : {"/en.xml", "/de.xml"})
            for (const TLangKey& key : panelkey::kAll) QVERIFY2(Units(dir + QLatin1String(file)).contains(QLatin1String(key.unit)), key.unit);
        EngineProject engine;
        TfmeFlvCustomize panel(engine.engine, holder_->Ini(), &holder_->Languages());
        TfrmPopupPreview popup(engine.engine, holder_->Ini(), &holder_->Languages());
        TfrmTranColor colour(&holder_->Languages());
        TMyFontDialogFrm font(&holder_->Languages());
        TfrmApplySelected chooser(engine.engine, nullptr, &holder_->Languages());
        const QList<QWidget*> forms = {&panel, &popup, &colour, &font, &chooser};
        TMyLangDispatcher& languages = holder_->Languages();
        for (const QString& language : languages.LanguageNames()) {
            QVERIFY(languages.SelectLanguage(language));
            for (QWidget* form : forms) {
                TMyLang* lang = form->findChild<TMyLang*>(QString(), Qt::FindDirectChildrenOnly);
                QVERIFY(lang);
                for (const QString& name : TranslatableNames(form, lang))
                    QVERIFY2(!lang->Text(name).isEmpty(), qPrintable(language + QStringLiteral(": ") +
                                                                     lang->LangUnitName() + QStringLiteral(" lacks ") + name));
            }
            for (const TLangKey& key : panelkey::kAll) {
                TMyLang probe(&panel, QLatin1String(key.unit), &languages);
                QVERIFY2(!probe.Text(key).isEmpty(), qPrintable(language + QStringLiteral(": ") + QLatin1String(key.key)));
            }
        }
        // The German tables reach the tabs too.
        QVERIFY(languages.SelectLanguage(QStringLiteral("Deutsch")));
        QCOMPARE(panel.Pages()->tabText(TfmeFlvCustomize::kWatermarkPage), QStringLiteral("Wasserzeichen"));
        QVERIFY(languages.SelectLanguage(QStringLiteral("English")));
        QCOMPARE(panel.Pages()->tabText(TfmeFlvCustomize::kWatermarkPage), QStringLiteral("Watermark"));
    }
};

QTEST_MAIN(TestPanelDialogs)
#include "tst_paneldialogs.moc"
