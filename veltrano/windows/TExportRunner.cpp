#include "windows/TExportRunner.h"

#include <QFileInfo>

#include "app/EngineApi.h"
#include "app/MyLang.h"
#include "windows/ConvertLangKeys.h"
#include "windows/SystemShutdown.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmOutputSetting.h"
#include "windows/TfrmPrompt.h"

namespace {

QString Property(TEngineApi& engine, CBaseListener* sequenceMgr, int sequence, int property) {
    TSeqProperty query{sequence, property, nullptr};
    engine.Send(sequenceMgr, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&query), sizeof query);
    return query.text ? QString::fromUtf8(query.text) : QString();
}

}  // namespace

TExportRunner::TExportRunner(QWidget* owner, TEngineApi& engine, TfrmLang& holder)
    : owner_(owner), engine_(engine), holder_(holder) {}

TExportRunner::~TExportRunner() {
    if (settings_ && !settings_->parent()) delete settings_;
}

TfrmOutputSetting& TExportRunner::OutputSetting() {
    if (!settings_)
        settings_ = new TfrmOutputSetting(holder_.Ini(), holder_.DataFolder() + QStringLiteral("CustomFormats.xml"), owner_);
    return *settings_;
}

QList<int> TExportRunner::AllSequences(TEngineApi& engine, CBaseListener* sequenceMgr) {
    int32_t count = 0;
    if (sequenceMgr) engine.Send(sequenceMgr, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    QList<int> all;
    for (int i = 0; i < count; ++i) all << i;
    return all;
}

QList<TSeqPathInfo> TExportRunner::SequencePaths(TEngineApi& engine, CBaseListener* sequenceMgr,
                                                 const QList<int>& sequences) {
    QList<TSeqPathInfo> paths;
    for (int sequence : sequences) {
        TSeqPathInfo info;
        if (sequenceMgr) {
            info.sequenceName = Property(engine, sequenceMgr, sequence, 8);
            info.destName = Property(engine, sequenceMgr, sequence, 0);
            const char* clipPath = nullptr;
            TSeqClipQuery query{sequence, 0, reinterpret_cast<intptr_t>(&clipPath)};
            engine.Send(sequenceMgr, msg::kSeqGetClipPath, reinterpret_cast<intptr_t>(&query), sizeof query);
            if (clipPath) info.sourceFolder = QFileInfo(QString::fromUtf8(clipPath)).absolutePath() + QLatin1Char('/');
        }
        paths << info;
    }
    return paths;
}

bool TExportRunner::Run(const TEngineHandles& handles, TListenerWrapper& mainWrapper, const QList<int>& sequences) {
    if (!handles.project || !handles.sequenceMgr || sequences.isEmpty()) return false;
    QList<TSeqPathInfo> paths = SequencePaths(engine_, handles.sequenceMgr, sequences);
    TfrmOutputSetting& settings = OutputSetting();
    settings.SetSequences(&paths);
    const int answer = settings.exec();
    settings.SetSequences(nullptr);
    if (answer != QDialog::Accepted) return false;
    // Nothing stays selected in the engine, so the selected clip's preview
    // does not play on behind the conversion.
    TSeqSelection none{0, -1, -1};
    engine_.Send(handles.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&none), sizeof none);

    TConvertParams params;
    params.settings = settings.Record();
    params.sequenceMgr = handles.sequenceMgr;
    params.sequences = sequences;
    params.paths = paths;
    TfrmConvert convert(params, engine_, handles.project, mainWrapper, holder_.Ini(), holder_.DataFolder(), owner_);
    convert.SetShutdown([this, projectMgr = handles.projectMgr] { ShutDown(projectMgr); });
    convert.exec();
    return true;
}

void TExportRunner::ShutDown(CBaseListener* projectMgr) {
    TSystemShutdown::Hooks hooks;
    TfrmLang& holder = holder_;
    hooks.saveSettings = [&holder] { holder.SaveSettings(); };
    // The runner lives as long as the main window; the window may be gone
    // by the time the system answers.
    QPointer<QWidget> owner(owner_);
    hooks.reopenProject = [this, owner, projectMgr](const QString& path) {
        if (!owner) return;
        if (onReopenProject) onReopenProject(path);
        else engine_.Send(projectMgr, msg::kProjectNew);
    };
    hooks.reportFailure = [owner, &holder](const QString& why) {
        if (!owner) return;
        TMyLang lang(nullptr, QLatin1String(convkey::kErrShutdown.unit), &holder.Languages());
        ShowPrompt(lang.Text(convkey::kErrShutdown) + QStringLiteral("\n\n") + why, 0, kIconError, 2, owner);
    };
    hooks.run = shutdownRunner;
    TSystemShutdown(engine_, projectMgr, std::move(hooks))();
}
