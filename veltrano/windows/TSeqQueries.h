#pragma once

// The sequence manager's answers the windows read: counts, properties,
// durations, clip information and paths. Every out parameter is set before
// the call, so a missing manager or a refused query gives the "none" value.

#include <QString>
#include <cstdint>

#include "projcore/Records.h"

class CBaseListener;
class TEngineApi;

class TSeqQueries {
public:
    TSeqQueries(TEngineApi& engine, CBaseListener* sequenceMgr) : engine_(engine), mgr_(sequenceMgr) {}

    int SequenceCount() const;
    int ClipCount(int sequence) const;
    // Properties: 0 destination name ... 7 comment, 8 sequence name.
    QString Property(int sequence, int property) const;
    void SetProperty(int sequence, int property, const QString& text) const;
    int64_t SequenceLength(int sequence) const;
    int64_t ClipLength(int sequence, int clip) const;
    QString ClipPath(int sequence, int clip) const;
    // False when the engine filled nothing.
    bool ClipInfo(int sequence, int clip, MediaFileInfo& info) const;

private:
    TEngineApi& engine_;
    CBaseListener* mgr_;
};
