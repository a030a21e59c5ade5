// Picture clips in a conversion: a still picture for its time, an animation
// at its own rate, both through the clip's image renderer, cropped and scaled
// here to the output's picture area.
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "avkit/avkit.h"
#include "convert/Pvx.h"
#include "convert/PvxLayout.h"
#include "convert/PvxTimeline.h"
#include "edit/CropMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/ImageClip.h"
#include "render/ImageClipRender.h"

namespace {

constexpr int kImageBgra32 = 6;
constexpr int kResizeBicubic = 2;

// Takes the renderer's pictures on its thread: crop, scale, hand on.
struct ImageFeed {
    CPvxTimeline* timeline;
    CFlvBindProgress* progress;
    int sourceWidth = 0, sourceHeight = 0;
    Rect visible{0, 0, 0, 0};
    bool cropping = false;
    AvkResizer* resizer = nullptr;
    std::vector<uint8_t> cropped, scaled;
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;

    ~ImageFeed() { VRes_Free(resizer); }

    static void OnFrame(void* user, CBaseClip*, const uint8_t* pixels, int size, int64_t t, int64_t, bool, bool) {
        auto* f = static_cast<ImageFeed*>(user);
        if (!pixels || int64_t{size} < int64_t{f->sourceWidth} * f->sourceHeight * 4) return;
        if (f->progress->WaitWhilePaused() == CFlvBindProgress::kCancel) return;
        const uint8_t* picture = pixels;
        if (f->cropping) {
            const AvkRect r{f->visible.left, f->visible.top, f->visible.right, f->visible.bottom};
            if (!VideoEncoder_Crop(f->cropped.data(), &r, pixels, f->sourceWidth, f->sourceHeight,
                                   f->sourceWidth * 4, 4))
                return;
            picture = f->cropped.data();
        }
        if (f->resizer) {
            if (!VRes_Resize(f->resizer, picture, f->scaled.data())) return;
            picture = f->scaled.data();
        }
        f->timeline->PutSilenceUntil(t);
        f->timeline->PutFrame(picture, t);
    }
    static void OnEnd(void* user, CBaseClip*) {
        auto* f = static_cast<ImageFeed*>(user);
        {
            std::lock_guard g(f->lock);
            f->done = true;
        }
        f->ended.notify_all();
    }
};

}  // namespace

bool CPvx::ConvertImageClip(CBaseClip& clip, int64_t startMs, int64_t lengthMs) {
    CImageClipRender render(static_cast<CImageClip*>(&clip));
    if (!render.Open()) {
        Finish(kClipOpen, clip.FilePath());
        return false;
    }
    CPvxTimeline::Clip placed;
    placed.startMs = startMs;
    placed.lengthMs = lengthMs;
    if (settings_.videoCodec == -1) {
        // Sound only: the picture's time is silence.
        timeline_->BeginClip(placed);
        return timeline_->EndClip();
    }
    ImageFeed feed;
    feed.timeline = timeline_.get();
    feed.progress = &progress_;
    feed.sourceWidth = render.Width();
    feed.sourceHeight = render.Height();
    feed.visible = VisiblePart(clip.Crop().GetCropMargins(), render.Width(), render.Height());
    feed.cropping = feed.visible != Rect{0, 0, render.Width(), render.Height()};
    const Rect picture = FitPicture(feed.visible.Width(), feed.visible.Height(), settings_.width, settings_.height,
                                    settings_.aspectRatio, settings_.scaling == 2);
    std::unique_ptr<CWaterMarkMgr> marks;
    try {
        if (feed.cropping) feed.cropped.resize(static_cast<size_t>(feed.visible.Width()) * feed.visible.Height() * 4);
        if (picture.Width() != feed.visible.Width() || picture.Height() != feed.visible.Height()) {
            feed.resizer = VRes_CreateByResizeMode(feed.visible.Width(), feed.visible.Height(), picture.Width(),
                                                   picture.Height(), kImageBgra32, kResizeBicubic);
            feed.scaled.resize(static_cast<size_t>(picture.Width()) * picture.Height() * 4);
            if (!feed.resizer) throw std::bad_alloc();
        }
        marks = MarksForOutput(clip, settings_.width, settings_.height, picture);
    } catch (...) {
        Finish(kDecoderSetup, clip.FilePath());
        return false;
    }
    placed.picture = picture;
    placed.effects = &clip.Effects();
    placed.marks = marks.get();
    timeline_->BeginClip(placed);
    render.SetVideoCallback(&ImageFeed::OnFrame, &feed);
    render.SetVideoEndCallback(&ImageFeed::OnEnd, &feed);
    render.Play();
    {
        std::unique_lock g(feed.lock);
        // The renderer delivers as fast as the output takes pictures; a cancel
        // releases its callback, and the wait looks at the state between frames.
        while (!feed.done && !Cancelled() && !timeline_->Failed())
            feed.ended.wait_for(g, std::chrono::milliseconds(50));
    }
    render.Close();
    if (Cancelled() || timeline_->Failed()) {
        timeline_->AbandonClip();   // before the clip's marks go
        return false;
    }
    return timeline_->EndClip();
}
