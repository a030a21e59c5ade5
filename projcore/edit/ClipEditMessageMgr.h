#pragma once

#include <memory>
#include <string>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "player/PlayerMessageMgr.h"

class CFLVSequenceManager;
class CBaseClip;

// The engine side of the clip customize panel: follows the sequence list's
// selection, turns the panel's commands into changes of the selected clip's
// trim, crop, effects and watermarks, previews the clip with an embedded
// player, and connects the host to the selected clip's setting managers while
// it is selected.
class CClipEditMessageMgr : public CListenerImpl, public CBaseBrocaster {
public:
    // Throws CBaseException 10580019 without a sequence manager. cache: the
    // engine's reader cache for the preview (null: one of its own).
    CClipEditMessageMgr(CBaseListener* host, CFLVSequenceManager* sequences, CFLVCache* cache = nullptr);
    ~CClipEditMessageMgr() override;

    CBaseClip* SelectedClip() const { return clip_; }
    CPlayerMessageMgr& Preview() { return player_; }

private:
    void OnSelected(void*, int32_t, intptr_t p1, intptr_t);
    void OnDeselected(void*, int32_t, intptr_t, intptr_t);
    void OnWaterMarkSelected(void*, int32_t id, intptr_t, intptr_t p2);
    void OnWaterMark(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnEffect(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnRenderEffect(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnTrimCrop(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnQuery(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnPlayerCommand(void*, int32_t id, intptr_t p1, intptr_t p2);
    void OnSetMode(void*, int32_t id, intptr_t p1, intptr_t p2);

    void Attach();
    void Detach();
    void StopPreview();
    void ClearWaterMarkSelection();
    void Refresh();
    double FrameRate() const;
    // Each clip an apply-to command names: every clip, or by the record.
    template <class F> void ForEachTarget(const EditTarget* target, F&& f);

    CBaseListener* host_;              // not owned
    CFLVSequenceManager* sequences_;   // not owned
    CPlayerMessageMgr player_;
    CBaseClip* clip_ = nullptr;        // the selected clip, not owned
    int32_t previewMode_ = 0;
    bool watermarkSelected_ = false;
    uint32_t selectedWatermark_ = 0;
    int32_t selectedSequence_ = -1, selectedClip_ = -1;
    bool hasSelection_ = false, clipSelected_ = false;
    std::string effectName_;  // what 210581304 points at
};
