#include "render/BaseClipRender.h"

int64_t CBaseClipRender::TimeOfFrame(int64_t frame, double fps) {
    return fps > 0 ? static_cast<int64_t>(static_cast<double>(frame) * 10000000.0 / fps) : 0;
}

int64_t CBaseClipRender::FrameOfTime(int64_t time100ns, double fps) {
    return static_cast<int64_t>(static_cast<double>(time100ns) * fps / 10000000.0);
}
