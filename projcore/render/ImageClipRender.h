#pragma once

#include <memory>

#include "render/BaseClipRender.h"

class CImageClip;
class CXImage;

// Shows a still picture for the clip's time at the clip's frame rate, or
// plays the frames of an animated picture at their average rate. Frames are
// top row first, BGRA.
class CImageClipRender : public CBaseClipRender {
public:
    explicit CImageClipRender(CImageClip* clip);
    ~CImageClipRender() override;

    bool Open() override;
    void Close() override;
    void Play() override;
    void Stop() override;
    bool StepForward() override;
    bool StepBack() override;
    bool ShowAt(uint32_t ms) override;
    void Redraw() override;

    double FrameRate() const { return frameRate_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    void Run();
    void Deliver(int64_t frame);
    int64_t FirstFrame() const { return FrameOfTime(int64_t{rangeStart_} * 10000, frameRate_); }
    int64_t EndFrame() const { return FrameOfTime(int64_t{rangeEnd_} * 10000, frameRate_); }

    CImageClip* clip_;  // not owned
    std::unique_ptr<CXImage> picture_;
    int frameCount_ = 0;
    int width_ = 0, height_ = 0;
    double frameRate_ = 0;
    bool firstShow_ = true;
};
