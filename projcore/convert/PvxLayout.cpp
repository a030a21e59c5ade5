#include "convert/PvxLayout.h"

#include <algorithm>
#include <cmath>

#include "edit/WaterMarkMgr.h"
#include "model/BaseClip.h"

Rect FitPicture(int srcWidth, int srcHeight, int width, int height, double aspect, bool letterbox) {
    if (!letterbox || srcWidth <= 0 || srcHeight <= 0 || width <= 0 || height <= 0) return Rect{0, 0, width, height};
    const double frameShape = aspect > 0 ? aspect : double(width) / height;
    const double pictureShape = double(srcWidth) / srcHeight;
    int w = width, h = height;
    if (pictureShape > frameShape) {
        h = std::clamp(static_cast<int>(std::lround(height * frameShape / pictureShape)), 1, height);
    } else {
        w = std::clamp(static_cast<int>(std::lround(width * pictureShape / frameShape)), 1, width);
    }
    const int left = (width - w) / 2, top = (height - h) / 2;
    return Rect{left, top, left + w, top + h};
}

// The part of a width x height picture that margins leave; the whole picture
// when they leave nothing.
Rect VisiblePart(const Rect& m, int width, int height) {
    const Rect r{m.left, m.top, width - m.right, height - m.bottom};
    if (m.left < 0 || m.top < 0 || m.right < 0 || m.bottom < 0 || r.Width() <= 0 || r.Height() <= 0)
        return Rect{0, 0, width, height};
    return r;
}

std::unique_ptr<CWaterMarkMgr> MarksForOutput(CBaseClip& clip, int width, int height, const Rect& picture) {
    if (clip.WaterMarks().GetWatermarkCount() == 0) return nullptr;
    auto marks = std::make_unique<CWaterMarkMgr>();
    marks->CopyWatermarksFrom(clip.WaterMarks());
    marks->SetViewRects(Rect{0, 0, width, height}, Rect{0, 0, picture.Width(), picture.Height()}, picture);
    return marks;
}
