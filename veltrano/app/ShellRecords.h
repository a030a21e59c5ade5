#pragma once

// Records the windows fill for the sequence manager, with the storage their
// pointers point into, and the small records that stay inside the shell.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "projcore/Records.h"

class CBaseListener;
class TEngineApi;

// UTF-8 copies of paths for a record. A path that does not fit a path
// buffer is refused (listed by Refused()), never cut: a cut path names
// another file.
class TPathList {
public:
    explicit TPathList(const QStringList& paths);
    TPathList(const TPathList&) = delete;
    TPathList& operator=(const TPathList&) = delete;

    const char* const* Data() const { return pointers_.data(); }
    int32_t Count() const { return static_cast<int32_t>(pointers_.size()); }
    const QStringList& Refused() const { return refused_; }
    const QStringList& Accepted() const { return accepted_; }

private:
    std::vector<QByteArray> utf8_;
    std::vector<const char*> pointers_;
    QStringList accepted_, refused_;
};

// 210170101: the files become one new sequence. destName empty: the first
// accepted file's name without folder and extension.
class TImportRecord {
public:
    TImportRecord(const QString& seqName, int32_t insertPos, const QStringList& paths, const QString& destName,
                  int32_t imageLength);
    TImportRecord(const TImportRecord&) = delete;
    TImportRecord& operator=(const TImportRecord&) = delete;

    const TImportedFiles& Record() const { return record_; }
    const TPathList& Paths() const { return paths_; }

private:
    TPathList paths_;
    QByteArray seqName_, destName_;
    TImportedFiles record_{};
};

// 210170119: adds files to an existing sequence; position -1 first asks the
// sequence's clip count (210170113) and appends there. Nothing is sent
// without a sequence manager or without an accepted path.
void SendAddFiles(TEngineApi& engine, CBaseListener* sequenceMgr, int32_t sequence, int32_t position,
                  const TPathList& paths);

// The kind of a clip for icons and panel enabling: an FLV clip with video
// and audio 1, video only 3, audio only 4; a still picture 2, an animation 3;
// 0 for an FLV file with neither.
int ClipKind(const MediaFileInfo& info);

// One sequence to export.
struct TSeqPathInfo {
    QString sequenceName;  // property 8
    QString destName;      // property 0
    QString sourceFolder;  // the folder of the first clip's file
};

// One entry of the imported or trash list. Kind 0 and 1 are imported files,
// 2 and 3 trashed clips and sequences (3 cannot be previewed).
struct TResourceNode {
    QString path;
    void* value = nullptr;  // the engine's value, passed back unchanged
    int32_t kind = 0;
    uint32_t id = 0;
    bool operator==(const TResourceNode&) const = default;
};
