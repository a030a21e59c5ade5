// The job's "no re-encoding" outputs (MP4, MOV, MKV): the clips' packets
// copied by CRemux into the job's temporary file.
#include <filesystem>

#include "convert/Pvx.h"
#include "convert/Remux.h"
#include "model/BaseClip.h"
#include "model/FLVSequence.h"
#include "edit/TrimMgr.h"

void CPvx::RunRemux() {
    const TRemuxContainer* container = RemuxContainerOf(settings_);
    if (!container || !sequence_) {
        Finish(kNoStreams, "nothing to copy into " + outputPath_);
        return;
    }
    std::vector<TRemuxClip> clips;
    for (size_t i = 0; i < sequence_->GetClipCount(); ++i) {
        CBaseClip* clip = sequence_->Clip(i);
        if (!clip->IsFlv()) {
            Finish(kNotCopyable, clip->FilePath() + " is a picture: only FLV clips can be copied without re-encoding");
            return;
        }
        const CTrimMgr& trim = clip->Trim();
        const std::string title = std::filesystem::path(clip->FilePath()).stem().string();
        clips.push_back({clip->FilePath(), title, trim.Start(), trim.End(),
                         trim.Duration() > 0 && trim.End() >= trim.Duration()});
    }
    using P = CFLVSequence;
    const std::vector<std::pair<std::string, std::string>> tags = {
        {"title", sequence_->GetProperty(P::kTitle)},   {"artist", sequence_->GetProperty(P::kAuthor)},
        {"album", sequence_->GetProperty(P::kAlbum)},   {"date", sequence_->GetProperty(P::kYear)},
        {"comment", sequence_->GetProperty(P::kComment)}, {"track", sequence_->GetProperty(P::kTrack)},
        {"copyright", sequence_->GetProperty(P::kCopyright)},
    };
    const bool exact = settings_.cutMode != 1;
    const TRemuxResult r = CRemux::Run(clips, *container, tags, writePath_, settings_.audioCodec != -1,
                                       settings_.videoCodec != -1, exact, progress_);
    switch (r.code) {
        case CRemux::kDone:
        case CRemux::kCancelled: return;   // a cancelled job's temporary file goes in Run
        case CRemux::kCannotOpenClip: Finish(kClipOpen, r.text); return;
        case CRemux::kNotFlv: Finish(kClipRead, r.text + " is not a readable FLV file"); return;
        case CRemux::kRefused: Finish(kNotCopyable, r.text); return;
        case CRemux::kNoMedia: Finish(kClipRead, "nothing to copy: " + r.text + " holds no pictures or sound"); return;
        default: Finish(kWrite, r.text); return;
    }
}
