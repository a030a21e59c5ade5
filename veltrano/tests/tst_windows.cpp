// The main window's life with the real engine, and the language files
// against the windows that use them.

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>
#include <QtTest>
#include <memory>

#include "app/AppPaths.h"
#include "app/EngineApi.h"
#include "app/LangKeys.h"
#include "app/MyLang.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmLoadFile.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPreference.h"
#include "windows/TfrmPrompt.h"

namespace {

// The real engine, with a record of what the windows asked of it.
class RecordingEngine : public TEngineApi {
public:
    void Send(CBaseListener* target, int32_t id, intptr_t p1, intptr_t p2) override {
        sent << id;
        TEngineApi::Send(target, id, p1, p2);
    }
    void DeleteProjectMgr() override {
        ++deletes;
        TEngineApi::DeleteProjectMgr();
    }
    QList<int32_t> sent;
    int deletes = 0;
};

// The text a control shows by design, if it is one the language files must hold.
QString ShownText(QObject* obj) {
    if (auto* a = qobject_cast<QAction*>(obj)) return a->isSeparator() ? QString() : a->text();
    if (auto* m = qobject_cast<QMenu*>(obj)) return m->title();
    if (auto* b = qobject_cast<QAbstractButton*>(obj)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(obj)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(obj)) return g->title();
    if (auto* w = qobject_cast<QWidget*>(obj); w && w->isWindow()) return w->windowTitle();
    return {};
}

// Whether obj lies in a frame of the form that translates itself with a
// language unit of its own.
bool InOwnFrame(QObject* obj, QWidget* form) {
    for (QObject* p = obj; p && p != form; p = p->parent())
        for (QObject* child : p->children())
            if (qobject_cast<TMyLang*>(child)) return true;
    return false;
}

// Every named control with a design text, under its window, leaving out the
// texts marked as not translated and the frames that translate themselves.
QStringList TranslatableNames(QWidget* form) {
    QStringList names;
    QList<QObject*> all = form->findChildren<QObject*>();
    all.prepend(form);
    for (QObject* obj : all) {
        if (obj->objectName().isEmpty() || obj->property("langSkip").toBool() || InOwnFrame(obj, form)) continue;
        if (!ShownText(obj).isEmpty()) names << obj->objectName();
    }
    return names;
}

// unit -> item -> attributes, read straight from a language file.
using Table = QMap<QString, QMap<QString, QSet<QString>>>;
Table ReadTable(const QString& file) {
    Table table;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return table;
    QXmlStreamReader xml(&f);
    QString unit;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("unit")) unit = xml.attributes().value(QLatin1String("name")).toString();
        if (xml.name() == QLatin1String("item")) {
            QSet<QString>& attrs = table[unit][xml.attributes().value(QLatin1String("name")).toString()];
            for (const auto& a : xml.attributes())
                if (a.name() != QLatin1String("name") && !a.value().isEmpty()) attrs << a.name().toString();
        }
    }
    return xml.hasError() ? Table() : table;
}

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
private:
    QTemporaryDir config_;
    std::unique_ptr<TfrmLang> holder_;

    QString DataFolder() const { return config_.path() + QStringLiteral("/Tarvolen/Veltrano/"); }

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", config_.path().toUtf8());
        holder_ = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                             AppPaths::LanguageFolder());
        QVERIFY2(holder_->LanguageError().isEmpty(), qPrintable(holder_->LanguageError()));
        QCOMPARE(holder_->Languages().CurrentLanguageName(), QStringLiteral("English"));
    }

    void bothLanguagesHoldTheSameCompleteTables() {
        const QString dir = QStringLiteral(VELTRANO_LANGUAGE_SOURCE_DIR);
        const Table en = ReadTable(dir + QStringLiteral("/en.xml"));
        const Table de = ReadTable(dir + QStringLiteral("/de.xml"));
        QVERIFY(!en.isEmpty());
        QCOMPARE(de, en);  // same units, items and attributes
        for (const TLangKey& key : langkey::kAll) {
            QVERIFY2(en.value(QLatin1String(key.unit)).value(QLatin1String(key.key)).contains(QStringLiteral("Caption")),
                     key.key);
        }
    }

    void everyTranslatableTextHasAnItemInEveryLanguage() {
        TEngineApi engine;
        TfrmMain main(*holder_, engine, {});
        TfrmPrompt prompt(nullptr, QStringLiteral("text"), 5, kIconWarning, 0);
        TfrmLoadFile load;
        TfrmPreference preference(holder_->Ini());
        struct Form {
            QWidget* widget;
            TMyLang* lang;
        };
        const Form forms[] = {{&main, main.Lang()},
                              {&prompt, prompt.findChild<TMyLang*>()},
                              {&load, load.findChild<TMyLang*>()},
                              {&preference, preference.findChild<TMyLang*>()}};
        TMyLangDispatcher& languages = holder_->Languages();
        for (const QString& language : languages.LanguageNames()) {
            QVERIFY(languages.SelectLanguage(language));
            for (const Form& form : forms) {
                QVERIFY(form.lang);
                for (const QString& name : TranslatableNames(form.widget)) {
                    QVERIFY2(!form.lang->Text(name).isEmpty(),
                             qPrintable(language + QStringLiteral(": ") + form.lang->LangUnitName() +
                                        QStringLiteral(" lacks ") + name));
                }
            }
        }
        QVERIFY(languages.SelectLanguage(QStringLiteral("english")));  // any case
    }

    void theLanguagesMenuRetitlesOpenWindows() {
        TEngineApi engine;
        TfrmMain main(*holder_, engine, {});
        TfrmLoadFile load;
        TfrmPrompt prompt(nullptr, QStringLiteral("Keep?"), 1, kIconQuestion, 1);
        auto* newAction = main.findChild<QAction*>(QStringLiteral("actNewProject"));
        auto* fileMenu = main.findChild<QMenu*>(QStringLiteral("mnuFile"));
        QCOMPARE(newAction->text(), QStringLiteral("New"));

        QAction* german = nullptr;
        for (QAction* a : main.LanguagesMenu()->actions())
            if (a->text() == QStringLiteral("Deutsch")) german = a;
        QVERIFY(german);
        german->trigger();
        QCOMPARE(holder_->Languages().CurrentLanguageName(), QStringLiteral("Deutsch"));
        QCOMPARE(newAction->text(), QStringLiteral("Neu"));
        QCOMPARE(fileMenu->title(), QStringLiteral("&Datei"));
        QCOMPARE(main.findChild<QLabel*>(QStringLiteral("lblYear"))->text(), QStringLiteral("Jahr:"));
        QCOMPARE(load.windowTitle(), QStringLiteral("Wird geladen"));
        QCOMPARE(load.findChild<QPushButton*>(QStringLiteral("btnCancel"))->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(prompt.SlotButton(2)->text(), QStringLiteral("Abbrechen"));
        for (QAction* a : main.LanguagesMenu()->actions()) QCOMPARE(a->isChecked(), a->text() == QStringLiteral("Deutsch"));

        // A window made after the switch starts in the current language.
        TfrmLoadFile later;
        QCOMPARE(later.windowTitle(), QStringLiteral("Wird geladen"));

        QVERIFY(holder_->Languages().SelectLanguage(QStringLiteral("English")));
        QCOMPARE(newAction->text(), QStringLiteral("New"));
        QCOMPARE(prompt.SlotButton(1)->text(), QStringLiteral("OK"));
    }

    void promptButtonsAndResults() {
        struct Case {
            int set;
            QList<int> results;  // left to right, filled from the right slot
        };
        const Case cases[] = {{0, {1}}, {1, {1, 2}}, {2, {6, 7}}, {3, {6, 7, 2}}, {4, {4, 2}}, {5, {3, 4, 5}}};
        for (const Case& c : cases) {
            for (int i = 0; i < c.results.size(); ++i) {
                TfrmPrompt prompt(nullptr, QStringLiteral("?"), c.set, kIconInformation, 2);
                const int slot = 3 - static_cast<int>(c.results.size()) + i;
                QVERIFY(prompt.SlotButton(slot));
                prompt.open();
                prompt.SlotButton(slot)->click();
                QCOMPARE(prompt.result(), c.results[i]);
            }
            // Escape or the close button give the last button's result.
            TfrmPrompt prompt(nullptr, QStringLiteral("?"), c.set, kIconNone, 2);
            prompt.open();
            prompt.reject();
            QCOMPARE(prompt.result(), c.results.last());
        }
    }

    void preferencesCopyOnOkOnly() {
        TIniInfo ini(config_.filePath(QStringLiteral("prefs.ini")), QStringLiteral("/docs/"));
        ini.SetProcessNum(7);  // more than the dialog offers
        {
            TfrmPreference dialog(ini);
            auto* spin = dialog.findChild<QSpinBox*>(QStringLiteral("edtProcessNum"));
            QCOMPARE(spin->maximum(), 4);
            QCOMPARE(spin->value(), 4);
            spin->setValue(3);
            dialog.findChild<QRadioButton*>(QStringLiteral("rbStretch"))->setChecked(true);
            dialog.findChild<QComboBox*>(QStringLiteral("cbxFileExist"))->setCurrentIndex(2);
            dialog.findChild<QComboBox*>(QStringLiteral("cmbSnapImgType"))->setCurrentIndex(1);
            dialog.findChild<QLineEdit*>(QStringLiteral("edtDisplaySnap"))->setText(QStringLiteral("/snaps"));
            dialog.reject();
        }
        QCOMPARE(ini.ProcessNum(), 7);
        QVERIFY(ini.videoScale);
        {
            TfrmPreference dialog(ini);
            dialog.findChild<QSpinBox*>(QStringLiteral("edtProcessNum"))->setValue(3);
            dialog.findChild<QRadioButton*>(QStringLiteral("rbStretch"))->setChecked(true);
            dialog.findChild<QComboBox*>(QStringLiteral("cbxFileExist"))->setCurrentIndex(2);
            dialog.findChild<QComboBox*>(QStringLiteral("cmbSnapImgType"))->setCurrentIndex(1);
            dialog.findChild<QLineEdit*>(QStringLiteral("edtDisplaySnap"))->setText(QStringLiteral("/snaps"));
            dialog.accept();
        }
        QCOMPARE(ini.ProcessNum(), 3);
        QVERIFY(!ini.videoScale);
        QCOMPARE(ini.dealFileExist, 2);
        QCOMPARE(ini.snapImgType, 1);
        QCOMPARE(ini.snapPath, QStringLiteral("/snaps/"));
    }

    void progressWindowShortensLongTexts() {
        TfrmLoadFile load;
        load.show();
        const QString longText = QStringLiteral("Loading ") + QString(400, u'x');
        load.SetText(longText);
        QVERIFY(load.Text().endsWith(QStringLiteral("...")));
        QVERIFY(load.Text().size() < longText.size());
        load.SetPercent(40);
        load.SetPercent(-1);
        QCOMPARE(load.Percent(), 40);
        load.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        QVERIFY(!load.isVisible());  // the loop sees the user stopped it
    }

    void aProjectNamedOnTheCommandLineOpens() {
        // A project file made by the engine for a host that answers by itself.
        struct Host : CBaseListener {
            QByteArray path;
            void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
                if (id == msg::kAskSavePath) qstrncpy(reinterpret_cast<char*>(p1), path.constData(), size_t(p2));
            }
        } host;
        host.path = QFile::encodeName(config_.path() + QStringLiteral("/My Holiday.pvxp"));
        CBaseListener* manager = GetProjectMgr(&host);
        QVERIFY(manager);
        DirectSendMessage(manager, msg::kProjectNew, 0, 0);
        DirectSendMessage(manager, msg::kProjectSave, 0, 0);
        DeleteProjectMgr();
        QVERIFY(QFileInfo::exists(QFile::decodeName(host.path)));

        RecordingEngine engine;
        TfrmMain main(*holder_, engine, {QFile::decodeName(host.path)});
        main.Start();
        // The start timer opens it without asking for a name.
        QTRY_COMPARE(main.windowTitle(), QStringLiteral("My Holiday - Veltrano"));
        QVERIFY(engine.sent.contains(msg::kProjectOpen));
        QVERIFY(main.Handles().project && main.Handles().sequenceMgr);
        QVERIFY(main.close());
    }

    void cancellingTheSaveQuestionKeepsTheWindow() {
        RecordingEngine engine;
        TfrmMain main(*holder_, engine, {});
        main.Start();
        // An imported file leaves the project with unsaved changes.
        const QByteArray file = VELTRANO_FIXTURES_DIR "/flv1_mp3_160x120.flv";
        const char* paths[] = {file.constData()};
        TImportedFiles import{"Sequence 01", -1, paths, 1, "flv1_mp3_160x120", 5000};
        engine.Send(main.Handles().sequenceMgr, msg::kSeqImport, reinterpret_cast<intptr_t>(&import), sizeof import);

        // Answers the question (Yes, No, Cancel) with the button in `slot`.
        auto answerWith = [](int slot) {
            QTimer::singleShot(0, [slot] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* prompt = qobject_cast<TfrmPrompt*>(w); prompt && prompt->isVisible())
                        prompt->SlotButton(slot)->click();
            });
        };
        answerWith(2);
        QVERIFY(!main.close());
        QVERIFY(main.isVisible());
        QCOMPARE(engine.deletes, 0);
        QVERIFY(main.Handles().project && main.Handles().sequenceMgr);
        int32_t count = -1;  // the engine and the wrappers still answer
        engine.Send(main.Handles().sequenceMgr, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
        QCOMPARE(count, 1);

        answerWith(1);  // No: close without saving
        QVERIFY(main.close());
        QCOMPARE(engine.deletes, 1);
    }

    void aWindowDestroyedWithoutClosingLetsTheEngineGo() {
        // As when a signal ends the event loop: no close, yet the engine
        // must not outlive the wrappers it calls back into.
        RecordingEngine engine;
        {
            TfrmMain main(*holder_, engine, {});
            main.Start();
            QVERIFY(main.Handles().project);
        }
        QCOMPARE(engine.deletes, 1);
    }

    void resourcePreviewDrawsAndItsEndArrivesOnTheWindowThread() {
        RecordingEngine engine;
        TfrmMain main(*holder_, engine, {});
        main.Start();
        QVERIFY(main.Handles().resourcePlayer);
        QSignalSpy ended(&main, &TfrmMain::resourcePreviewEnded);
        const QByteArray file = VELTRANO_FIXTURES_DIR "/flv1_mp3_160x120.flv";
        PlayerOpenRequest open{file.constData(), nullptr, 0, 0};
        engine.Send(main.Handles().resourcePlayer, msg::kPlayerOpen, reinterpret_cast<intptr_t>(&open), sizeof open);
        engine.Send(main.Handles().resourcePlayer, msg::kPlayerPlay, 0, 0);
        // The end is raised on the player's own thread and handled here.
        QVERIFY(ended.wait(20000));
        QVERIFY(main.ResourcePreview()->FramesPresented() > 0);
        QVERIFY(main.close());
    }

    void hintsFollowTheMouse() {
        TEngineApi engine;
        TfrmMain main(*holder_, engine, {});
        auto* hint = main.findChild<QLabel*>(QStringLiteral("lblMainHint"));
        QWidget* newButton = main.findChild<QWidget*>(QStringLiteral("btnNew"));
        QEvent enter(QEvent::Enter), leave(QEvent::Leave);
        QApplication::sendEvent(newButton, &enter);
        QCOMPARE(hint->text(), QStringLiteral("Create a new project"));
        QApplication::sendEvent(newButton, &leave);
        QVERIFY(hint->text().isEmpty());
    }

    void mainWindowStartsWithAProjectAndClosesCleanly() {
        RecordingEngine engine;
        auto main = std::make_unique<TfrmMain>(*holder_, engine, QStringList());
        main->Start();
        QVERIFY(main->isVisible());
        QVERIFY(engine.sent.contains(msg::kProjectNew));
        const TEngineHandles& h = main->Handles();
        QVERIFY(h.projectMgr && h.project && h.sequenceMgr && h.trashMgr && h.importedMgr && h.clipEditMgr &&
                h.resourcePlayer && h.conversionMgr);
        QCOMPARE(main->windowTitle(), QStringLiteral("Veltrano"));
        // The profile file was brought up to date on the way.
        QVERIFY(QFileInfo::exists(DataFolder() + QStringLiteral("CustomFormats.xml")));
        QCOMPARE(holder_->Ini().profileVersion, 5);

        // The engine closing the project takes every handle of it along.
        int32_t closed = 0;
        engine.Send(h.projectMgr, msg::kProjectClose, reinterpret_cast<intptr_t>(&closed), 0);
        QCOMPARE(closed, 1);
        QVERIFY(h.projectMgr);
        QVERIFY(!h.project && !h.sequenceMgr && !h.trashMgr && !h.importedMgr && !h.clipEditMgr &&
                !h.resourcePlayer && !h.conversionMgr);
        main->findChild<QAction*>(QStringLiteral("actNewProject"))->trigger();
        QVERIFY(h.project && h.sequenceMgr);

        engine.sent.clear();
        QVERIFY(main->close());
        QCOMPARE(engine.sent.value(0), msg::kProjectClose);
        QCOMPARE(engine.deletes, 1);
        QVERIFY(!main->Handles().projectMgr);
        main.reset();
        QCOMPARE(engine.deletes, 1);  // not a second time on destruction

        // The settings are written when their holder goes.
        holder_->Ini().SetProcessNum(6);
        holder_.reset();
        QSettings ini(DataFolder() + QStringLiteral("Defsetting.ini"), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("System/ProcessNum")).toInt(), 6);
        QCOMPARE(ini.value(QStringLiteral("System/ProfileVersion")).toInt(), 5);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
