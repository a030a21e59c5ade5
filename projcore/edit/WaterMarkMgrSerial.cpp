// The watermark list's saved form: the group "WaterMarkMgr" holding the array
// "WaterMarks" with items "WaterMark0", "WaterMark1", ...
#include <mutex>
#include <string>

#include "bus/BaseException.h"
#include "edit/WaterMarkMgr.h"
#include "edit/WaterMarkMgrInternal.h"
#include "model/BaseSerialStream.h"

namespace {

using Guard = std::lock_guard<CXMutex>;

std::string ItemName(size_t i) { return "WaterMark" + std::to_string(i); }

}  // namespace

bool CWaterMarkMgr::Serial(CBaseSerialStream* s) {
    if (!s) return false;
    Guard g(lock_);
    if (!s->BeginGroup("WaterMarkMgr")) throw CBaseException(errcode::kSerialWaterMarkMgr, "errSerialWaterMarkMgr");
    const auto fail = [] { return CBaseException(errcode::kSerialWaterMarks, "errSerialWaterMarks"); };
    if (!s->BeginArray("WaterMarks")) throw fail();
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!s->BeginArrayItem(ItemName(i).c_str())) throw fail();
        items_[i].mark->Serial(s);  // its own failure (10580005) goes on unchanged
        if (!s->EndArrayItem()) throw fail();
    }
    if (!s->EndArray()) throw fail();
    if (!s->EndGroup()) throw CBaseException(errcode::kSerialWaterMarkMgr, "errSerialWaterMarkMgr");
    return true;
}

bool CWaterMarkMgr::Deserial(CBaseSerialStream* s) {
    if (!s) return false;
    if (!s->OpenGroup("WaterMarkMgr"))
        throw CBaseException(errcode::kDeserialWaterMarkMgr, "errDeserialWaterMarkMgr");
    const auto fail = [] { return CBaseException(errcode::kDeserialWaterMarks, "errDeserialWaterMarks"); };
    // Read everything first: a file that fails half-way leaves the list as it was.
    std::vector<std::unique_ptr<CWaterMark>> marks;
    uint32_t count = 0;
    if (!s->OpenArray("WaterMarks", count)) {
        s->CloseGroup();
        throw fail();
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!s->OpenArrayItem(ItemName(i).c_str())) {
            s->CloseArray();
            s->CloseGroup();
            throw fail();
        }
        auto m = std::make_unique<CWaterMark>();
        try {
            m->Deserial(s);
        } catch (...) {
            s->CloseArrayItem();
            s->CloseArray();
            s->CloseGroup();
            throw;  // 10580006, as the watermark raised it
        }
        s->CloseArrayItem();
        marks.push_back(std::move(m));
    }
    s->CloseArray();
    s->CloseGroup();

    Outbox out;
    {
        Guard g(lock_);
        RemoveAllLocked(out);
        for (auto& m : marks) {
            FitTimes(*m);
            items_.push_back(Item{std::move(m), CCropRect(displayRect_)});
            RegisterOverlay(items_.size() - 1, false);
            RefreshRect(items_.back());
        }
        KeepSlotsInStep();
        for (Item& it : items_) it.mark->MarkSaved();
        modified_ = false;
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::IsModified() {
    Guard g(lock_);
    if (modified_) return true;
    for (const Item& it : items_)
        if (it.mark->IsModified()) return true;
    return false;
}

void CWaterMarkMgr::MarkSaved() {
    Guard g(lock_);
    modified_ = false;
    for (Item& it : items_) it.mark->MarkSaved();
}
