#include "windows/TSeqQueries.h"

#include "app/EngineApi.h"

int TSeqQueries::SequenceCount() const {
    int32_t count = 0;
    if (mgr_) engine_.Send(mgr_, msg::kSeqGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    return count;
}

int TSeqQueries::ClipCount(int sequence) const {
    int32_t value = sequence;  // in: the sequence, out: its clip count
    if (!mgr_ || sequence < 0) return 0;
    engine_.Send(mgr_, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&value), sizeof value);
    return value < 0 ? 0 : value;
}

QString TSeqQueries::Property(int sequence, int property) const {
    TSeqProperty query{sequence, property, nullptr};
    if (mgr_) engine_.Send(mgr_, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&query), sizeof query);
    return QString::fromUtf8(query.text ? query.text : "");
}

void TSeqQueries::SetProperty(int sequence, int property, const QString& text) const {
    const QByteArray utf8 = text.toUtf8();
    TSeqProperty change{sequence, property, utf8.constData()};
    if (mgr_) engine_.Send(mgr_, msg::kSeqSetProperty, reinterpret_cast<intptr_t>(&change), sizeof change);
}

int64_t TSeqQueries::SequenceLength(int sequence) const {
    int32_t value = sequence;
    if (!mgr_ || sequence < 0) return 0;
    engine_.Send(mgr_, msg::kSeqGetPlayLength, reinterpret_cast<intptr_t>(&value), sizeof value);
    return value < 0 ? 0 : value;
}

int64_t TSeqQueries::ClipLength(int sequence, int clip) const {
    int32_t value = sequence;
    if (!mgr_ || sequence < 0 || clip < 0) return 0;
    engine_.Send(mgr_, msg::kSeqGetClipPlayLength, reinterpret_cast<intptr_t>(&value), clip);
    return value < 0 ? 0 : value;
}

QString TSeqQueries::ClipPath(int sequence, int clip) const {
    const char* path = nullptr;
    TSeqClipQuery query{sequence, clip, reinterpret_cast<intptr_t>(&path)};
    if (mgr_) engine_.Send(mgr_, msg::kSeqGetClipPath, reinterpret_cast<intptr_t>(&query), sizeof query);
    return QString::fromUtf8(path ? path : "");
}

bool TSeqQueries::ClipInfo(int sequence, int clip, MediaFileInfo& info) const {
    info = MediaFileInfo{};
    TSeqClipQuery query{sequence, clip, reinterpret_cast<intptr_t>(&info)};
    if (mgr_) engine_.Send(mgr_, msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&query), sizeof query);
    return info.duration != 0 || info.frameCount != 0 || info.videoCodec != 0 || info.audioFormat != 0;
}
