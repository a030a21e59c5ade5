#include "edit/XImage.h"

#include <cstring>

#include "avkit/PictureFile.h"

namespace {
// A stored delay of 0 shows the frame for a tenth of a second.
constexpr int kZeroDelayCounts = 10;
}  // namespace

CXImage::CXImage(const std::string& path) : picture_(APF_Open(path.c_str())) {
    if (!picture_) return;
    width_ = APF_Width(picture_);
    height_ = APF_Height(picture_);
    typeName_ = APF_TypeName(picture_);
    const int count = APF_FrameCount(picture_);
    if (APF_HasFrameDelays(picture_)) {
        int64_t sum = 0;  // hundredths of a second
        for (int i = 0; i < count; ++i) {
            const int delay = APF_FrameDelay(picture_, i);
            sum += delay == 0 ? kZeroDelayCounts : delay;
            frameEnds_.push_back(static_cast<double>(sum) / 100.0);
        }
        if (sum > 0) frameRate_ = static_cast<double>(count) * 100.0 / static_cast<double>(sum);
    }
    frameCount_ = count > 0 ? count : 1;
}

CXImage::~CXImage() { APF_Close(picture_); }

bool CXImage::GetImageInfo(ImageInfo& info) const {
    std::memset(&info, 0, sizeof info);
    if (width_ == 0 || height_ == 0) return false;
    std::strncpy(info.typeName, typeName_.c_str(), sizeof info.typeName - 1);
    info.frameCount = frameCount_;
    info.width = width_;
    info.height = height_;
    info.frameRate = frameRate_;
    return true;
}

const uint8_t* CXImage::FramePixels(int index) { return APF_FrameBGRA(picture_, index); }
