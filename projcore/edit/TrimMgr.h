#pragma once

#include <cstdint>

#include "bus/BaseBrocaster.h"
#include "model/BaseSerial.h"

// Which part of a clip's time line is used, in milliseconds: Start is the
// first used millisecond, End the exclusive end, Duration the clip's full
// length (0 while unknown). Start <= End always; with a known Duration,
// Start < Duration and End <= Duration.
class CTrimMgr : public CBaseSerial, public CBaseBrocaster {
public:
    bool SetStart(uint32_t ms);
    bool SetEnd(uint32_t ms);
    void SetDuration(uint32_t ms);
    // The clip's real length, learned after a trim was loaded from a file:
    // the loaded trim is kept where it fits and cut where it runs past (a
    // project edited by hand may claim any length).
    void FitDuration(uint32_t ms);
    // Takes another clip's trim, fitted into this clip's duration.
    void CopyTrimFrom(const CTrimMgr& source);
    // One frame forward or back at `frameRate` frames per second.
    bool StepStart(bool forward, double frameRate);
    bool StepEnd(bool forward, double frameRate);

    uint32_t Start() const { return start_; }
    uint32_t End() const { return end_; }
    uint32_t Duration() const { return duration_; }
    uint32_t PlayLength() const { return end_ - start_; }

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override { modified_ = false; }

    // The time `ms` moved by one frame; never below 0, and 0 for a frame rate <= 0.
    static uint32_t StepTime(uint32_t ms, bool forward, double frameRate);

private:
    void AnnounceStart();
    void AnnounceEnd();
    // Brings a loaded trim back inside the invariants.
    void Normalise();

    uint32_t duration_ = 0;
    uint32_t start_ = 0;
    uint32_t end_ = 0;
    bool modified_ = false;
};
