#include "edit/TrimMgr.h"

#include <algorithm>
#include <cmath>

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"
#include "projcore/MessageIds.h"

void CTrimMgr::AnnounceStart() { Notify(msg::kNotifyTrimStart, reinterpret_cast<intptr_t>(&start_), 0); }
void CTrimMgr::AnnounceEnd() { Notify(msg::kNotifyTrimEnd, reinterpret_cast<intptr_t>(&end_), 0); }

bool CTrimMgr::SetStart(uint32_t ms) {
    if (ms > end_ || (duration_ != 0 && ms >= duration_)) return false;
    start_ = ms;
    modified_ = true;
    AnnounceStart();
    return true;
}

bool CTrimMgr::SetEnd(uint32_t ms) {
    if (ms < start_) return false;
    end_ = duration_ != 0 ? std::min(ms, duration_) : ms;
    modified_ = true;
    AnnounceEnd();
    return true;
}

void CTrimMgr::SetDuration(uint32_t ms) {
    if (ms == duration_) return;
    duration_ = ms;
    if (ms != 0) {
        end_ = ms;  // the trim end is reset to the full length
        // A start the new length no longer holds would break Start < Duration.
        if (start_ >= ms) {
            start_ = 0;
            AnnounceStart();
        }
    }
    modified_ = true;
    Notify(msg::kNotifyTrimDuration, reinterpret_cast<intptr_t>(&duration_), 0);
}

void CTrimMgr::CopyTrimFrom(const CTrimMgr& source) {
    if (&source == this) return;
    if (source.end_ == source.duration_ && source.start_ == 0) {
        SetEnd(duration_);
        SetStart(0);
        return;
    }
    SetEnd(std::min(source.end_, duration_));
    if (source.start_ > duration_) {
        start_ = 0;
        modified_ = true;
        AnnounceStart();
    } else if (!(source.start_ > end_ || (duration_ != 0 && source.start_ >= duration_))) {
        start_ = source.start_;
        modified_ = true;
        AnnounceStart();
    }
}

uint32_t CTrimMgr::StepTime(uint32_t ms, bool forward, double frameRate) {
    if (!(frameRate > 0)) return 0;
    const double step = forward ? std::ceil(1000.0 / frameRate) : std::floor(-1000.0 / frameRate);
    const double moved = static_cast<double>(ms) + step;
    if (moved < 0) return 0;
    return moved >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(moved);
}

bool CTrimMgr::StepStart(bool forward, double frameRate) {
    const uint32_t next = StepTime(start_, forward, frameRate);
    if (forward && duration_ != 0 && next > duration_) return false;
    return SetStart(next);
}

bool CTrimMgr::StepEnd(bool forward, double frameRate) { return SetEnd(StepTime(end_, forward, frameRate)); }

bool CTrimMgr::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    const bool ok = stream->BeginGroup("TrimMgr") && stream->PutUInt("Duration", duration_) &&
                    stream->PutUInt("Start", start_) && stream->PutUInt("End", end_) && stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialTrimOrCrop, "error:Serial TrimMgr");
    return true;
}

bool CTrimMgr::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("TrimMgr")) throw CBaseException(errcode::kDeserialTrim, "error:Serial TrimMgr");
    uint32_t duration = 0, start = 0, end = 0;
    const bool ok = stream->GetUInt("Duration", duration) && stream->GetUInt("Start", start) &&
                    stream->GetUInt("End", end);
    stream->CloseGroup();
    if (!ok) throw CBaseException(errcode::kDeserialTrim, "error:Serial TrimMgr");
    duration_ = duration;
    start_ = start;
    end_ = end;
    Normalise();
    modified_ = false;
    return true;
}

void CTrimMgr::FitDuration(uint32_t ms) {
    if (ms == 0 || ms == duration_) return;
    duration_ = ms;
    Normalise();
}

void CTrimMgr::Normalise() {
    if (duration_ != 0 && end_ > duration_) end_ = duration_;
    // An end before the start (an edited or damaged file) falls back to the
    // whole clip rather than to an empty range.
    if (end_ < start_) end_ = duration_ != 0 ? duration_ : start_;
    if (duration_ != 0 && start_ >= duration_) start_ = 0;
}
