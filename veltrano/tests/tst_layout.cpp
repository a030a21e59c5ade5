// Every window at the sizes people use, in every language: the demo project
// open in the main window at 1280 x 800 and 1920 x 1080, the clip panel on
// each of its pages, Output Settings, Preferences and the conversion window.
// A button, label or tab narrower than it asks for, or a text cut short,
// fails. With VELTRANO_SCREENSHOTS naming a folder, each state is saved
// there as a picture too.

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "MainTestSupport.h"
#include "ModalAnswerer.h"
#include "app/MyLang.h"
#include "windows/TSeqTreeView.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmOutputSetting.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfrmPreference.h"

namespace {

// What is too narrow in a window: "name: width < wanted" lines.
QStringList Clipped(QWidget* window) {
    QStringList faults;
    auto note = [&faults](QWidget* w, const QString& what, int width, int wanted) {
        faults << QStringLiteral("%1 %2 \"%3\": %4 < %5")
                      .arg(QLatin1String(w->metaObject()->className()), w->objectName(), what)
                      .arg(width)
                      .arg(wanted);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->window() != window) continue;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (button->width() < button->sizeHint().width()) note(w, button->text(), button->width(), button->sizeHint().width());
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || label->wordWrap() || label->textFormat() == Qt::RichText) continue;
            const int wanted = label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin() +
                               label->contentsMargins().left() + label->contentsMargins().right();
            if (label->contentsRect().width() + label->contentsMargins().left() + label->contentsMargins().right() < wanted)
                note(w, label->text(), label->width(), wanted);
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            const int space = tabs->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, tabs);
            for (int i = 0; i < tabs->count(); ++i) {
                const int wanted = tabs->fontMetrics().horizontalAdvance(tabs->tabText(i).remove(QLatin1Char('&'))) + space;
                if (tabs->tabRect(i).width() < wanted || !tabs->rect().contains(tabs->tabRect(i)))
                    note(w, tabs->tabText(i), tabs->tabRect(i).width(), wanted);
            }
        }
    }
    return faults;
}

void Shoot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("VELTRANO_SCREENSHOTS");
    if (folder.isEmpty()) return;
    QDir().mkpath(folder);
    QTest::qWait(300);  // the preview's redraw after a page change
    window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace

class TestLayout : public QObject {
    Q_OBJECT
    std::unique_ptr<TestHolder> holder_;
    std::unique_ptr<TEngineApi> engine_;
    std::unique_ptr<TfrmMain> main_;
    QString demo_;

    void Check(QWidget* window, const QString& state) {
        QCoreApplication::processEvents();
        const QStringList faults = Clipped(window);
        Shoot(window, state);
        QVERIFY2(faults.isEmpty(), qPrintable(state + QStringLiteral(":\n  ") + faults.join(QStringLiteral("\n  "))));
    }

private slots:
    void initTestCase() {
        holder_ = std::make_unique<TestHolder>();
        demo_ = holder_->config.path() + QStringLiteral("/demo/demo.pvxp");
        QDir().mkpath(QFileInfo(demo_).path());
        QCOMPARE(QProcess::execute(QStringLiteral(VELTRANO_DEMO_TOOL), {demo_, QStringLiteral(VELTRANO_FIXTURES_DIR)}), 0);
        holder_->holder->Ini().lastMaxWindow = false;
        engine_ = std::make_unique<TEngineApi>();
        main_ = std::make_unique<TfrmMain>(*holder_->holder, *engine_, QStringList());
        main_->Start();
        main_->DropFiles({demo_});
        QCOMPARE(main_->windowTitle(), QStringLiteral("demo - Veltrano"));
    }

    void cleanupTestCase() {
        holder_->holder->Languages().SelectLanguage(QStringLiteral("English"));
        PromptLog discard(1);
        main_->close();
        main_.reset();
    }

    void windowsAtCommonSizes_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QSize>("size");
        for (const char* language : {"English", "Deutsch"})
            for (const QSize size : {QSize(1280, 800), QSize(1920, 1080)})
                QTest::addRow("%s %dx%d", language, size.width(), size.height())
                    << QString::fromLatin1(language) << size;
    }

    void windowsAtCommonSizes() {
        QFETCH(QString, language);
        QFETCH(QSize, size);
        QVERIFY(holder_->holder->Languages().SelectLanguage(language));
        const QString tag = (language == QLatin1String("English") ? QStringLiteral("en") : QStringLiteral("de")) +
                            QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
        TfrmMain& main = *main_;
        main.showNormal();
        main.resize(size);
        QTRY_COMPARE(main.size(), size);
        // A clip selected, so the panel shows what it edits.
        TfmeTreeList* list = main.SequenceList();
        list->ExpandAll();
        list->View()->selectionModel()->select(list->Model().IndexOf(1, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        auto* panel = main.findChild<TfmeFlvCustomize*>(QStringLiteral("fmeClip"));
        QVERIFY(panel);
        // Paused on a picture, so that pictures of the window show one.
        QTRY_VERIFY(panel->Preview()->FramesPresented() > 0);
        if (!panel->Paused()) main.findChild<QPushButton*>(QStringLiteral("btnPause"))->click();
        const char* pages[] = {"preview", "clip", "watermark", "effect"};
        for (int page = 0; page < 4; ++page) {
            panel->Pages()->setCurrentIndex(page);
            Check(&main, QStringLiteral("main-%1-%2").arg(tag, QLatin1String(pages[page])));
        }
        panel->Pages()->setCurrentIndex(0);
        if (size != QSize(1280, 800)) return;  // the dialogs size themselves

        TfrmPreference preferences(holder_->holder->Ini(), &main);
        preferences.show();
        Check(&preferences, QStringLiteral("preferences-") + tag);
        preferences.close();

        const QString profiles = holder_->holder->DataFolder() + QStringLiteral("CustomFormats.xml");
        TfrmOutputSetting settings(holder_->holder->Ini(), profiles, &main);
        settings.Prepare();
        settings.show();
        Check(&settings, QStringLiteral("output-settings-") + tag);
        settings.close();

        TListenerWrapper host;
        TConvertParams params;
        params.sequenceMgr = main.Handles().sequenceMgr;
        TfrmConvert convert(params, *engine_, main.Handles().project, host, holder_->holder->Ini(),
                            holder_->holder->DataFolder(), &main);
        convert.show();
        Check(&convert, QStringLiteral("convert-") + tag);
        convert.close();
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
