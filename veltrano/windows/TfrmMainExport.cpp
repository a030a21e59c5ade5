// Export: the chosen sequences go through the output settings dialog to the
// conversion window.

#include <QFileInfo>

#include "app/EngineApi.h"
#include "windows/TExportRunner.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmMain.h"

void TfrmMain::ExportSequences(bool selectedOnly) {
    if (!handles_.sequenceMgr || !mainWrapper_) return;
    const std::optional<QList<int>> sequences = fmeLoadedList_->AllSequences(selectedOnly);
    if (!sequences || sequences->isEmpty()) return;
    // Nothing else plays while the sequences convert.
    if (fmeClip_->Popup() && fmeClip_->Popup()->isVisible()) fmeClip_->Popup()->close();
    StopResourcePreview();
    if (!exportRunner_) {
        exportRunner_ = std::make_unique<TExportRunner>(this, engine_, holder_);
        exportRunner_->onReopenProject = [this](const QString& path) {
            if (!path.isEmpty() && QFileInfo(path).isFile()) OpenPendingProject(path);
            else Send(handles_.projectMgr, msg::kProjectNew);
        };
    }
    exportRunner_->Run(handles_, *mainWrapper_, *sequences);
}
