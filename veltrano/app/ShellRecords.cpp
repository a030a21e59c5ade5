#include "app/ShellRecords.h"

#include <QFileInfo>

#include "app/EngineApi.h"

TPathList::TPathList(const QStringList& paths) {
    for (const QString& path : paths) {
        QByteArray utf8 = path.toUtf8();
        if (utf8.isEmpty() || utf8.size() >= kPathBufferSize) {
            refused_ << path;
            continue;
        }
        accepted_ << path;
        utf8_.push_back(std::move(utf8));
    }
    // Pointers are taken once the vector has stopped growing.
    for (const QByteArray& p : utf8_) pointers_.push_back(p.constData());
}

TImportRecord::TImportRecord(const QString& seqName, int32_t insertPos, const QStringList& paths,
                             const QString& destName, int32_t imageLength)
    : paths_(paths), seqName_(seqName.toUtf8()) {
    const QString dest = !destName.isEmpty() || paths_.Accepted().isEmpty()
                             ? destName
                             : QFileInfo(paths_.Accepted().first()).completeBaseName();
    destName_ = dest.toUtf8();
    record_ = {seqName_.constData(), insertPos, paths_.Data(), paths_.Count(), destName_.constData(), imageLength};
}

void SendAddFiles(TEngineApi& engine, CBaseListener* sequenceMgr, int32_t sequence, int32_t position,
                  const TPathList& paths) {
    if (!sequenceMgr || paths.Count() == 0) return;
    if (position < 0) {
        int32_t count = sequence;  // in: the sequence, out: its clip count
        engine.Send(sequenceMgr, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&count), sizeof count);
        position = count < 0 ? -1 : count;
    }
    TAddFilesToSeq record{sequence, position, paths.Data(), paths.Count()};
    engine.Send(sequenceMgr, msg::kSeqAddFiles, reinterpret_cast<intptr_t>(&record), sizeof record);
}

int ClipKind(const MediaFileInfo& info) {
    if (!info.isFlv) return info.frameCount == 1 ? 2 : 3;
    const bool video = info.videoCodec != -1, audio = info.audioFormat != -1;
    if (video && audio) return 1;
    if (video) return 3;
    if (audio) return 4;
    return 0;
}
