#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AvkPictureFile;

// What CXImage tells its users about a picture.
struct ImageInfo {
    char typeName[16];  // "BMP", "GIF", "Icon", "JPEG", "PNG", "TIFF"; empty for others
    int32_t frameCount;
    int32_t width;
    int32_t height;
    double frameRate;
};

// A still or animated picture opened from a file (UTF-8 path). It never fails
// by itself: a picture that cannot be read has width and height 0.
class CXImage {
public:
    explicit CXImage(const std::string& path);
    virtual ~CXImage();
    CXImage(const CXImage&) = delete;
    CXImage& operator=(const CXImage&) = delete;

    // False and an all-zero record for a picture that could not be read.
    bool GetImageInfo(ImageInfo& info) const;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t FrameCount() const { return frameCount_; }
    // End time of each frame in seconds from the start of the animation;
    // empty for pictures without frame delays.
    const std::vector<double>& FrameEnds() const { return frameEnds_; }
    // Average frames per second of an animation; 0 when unknown.
    double FrameRate() const { return frameRate_; }
    const std::string& TypeName() const { return typeName_; }
    // Frame `index` as width x height BGRA pixels, top row first; null when
    // it cannot be decoded. Valid until the next call.
    const uint8_t* FramePixels(int index);

private:
    AvkPictureFile* picture_ = nullptr;  // owned
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t frameCount_ = 0;
    std::vector<double> frameEnds_;
    double frameRate_ = 0;
    std::string typeName_;
};
