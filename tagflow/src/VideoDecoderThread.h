// Video decoder thread: FLV video tags to BGRA (or planar 4:2:0) pictures of
// a fixed output size, cropped and resized, emitted at a constant output frame rate (source
// frames are repeated or dropped to keep the rate; repeats made to keep up
// with an audio brother are marked as fillers).
#pragma once

#include <vector>

#include "DecoderThread.h"
#include "avkit/avkit.h"
#include "framedec/framedec.h"

class CVideoDecoderThread : public CDecoderThread {
public:
    CVideoDecoderThread() : CDecoderThread(kVideo) {}
    ~CVideoDecoderThread() override;

    int SetOutputSize(int width, int height) override;
    int SetOutputFPS(double fps) override;
    int SetDecodeAlphaChannel(int flag) override;
    void SetCropRect(const FLVCropRect* rect) override;
    void SetResizeMode(int mode) override;
    int SetOutputImageFormat(int format) override;
    int SetDecodeThreads(int threads) override;
    int DecodeFLVTag(FLVTag* tag, const uint8_t** data, int32_t* size) override;

    // Streams whose pictures are stored out of presentation order (H.264):
    // a picture from DecodeFLVTag belongs to an earlier tag, its presentation
    // time (ms) is LastPictureTime(). HeldPicture hands out a picture the last
    // tag completed beyond the one it returned; DrainPicture, at the end of
    // the stream, the pictures still held back; Forget drops them (a seek).
    int64_t LastPictureTime() const { return m_lastPictureTime; }
    const uint8_t* HeldPicture();
    const uint8_t* DrainPicture();
    void Forget();
    // The codecs whose pictures go through setups and a decoder that holds them back.
    bool Reorders() const { return ReorderSlot() != kSlots; }

protected:
    void OnStart() override;
    void OnEnd() override;
    void Body() override;

private:
    enum Slot { kH263, kScreen, kVp6, kVp6Alpha, kScreen2, kAvc, kHevc, kAv1, kVp9, kSlots };
    // The slot of the stream's codec when it reorders, else kSlots.
    Slot ReorderSlot() const;
    // Decodes a tag into a picture of the output size. Null when the tag
    // brought no new picture; *skipped when it could not be used at all.
    const uint8_t* DecodePicture(const FLVTag& tag, bool* skipped);
    // A picture of a reordering stream taken from its decoder (held: without
    // feeding it; else draining it), of the output size; null when none.
    const uint8_t* TakeReordered(bool drain);
    const uint8_t* DecodeFourcc(const FLVTag& tag);
    bool SetUpDecoders(const FLVTag& tag);
    bool OpenSlot(Slot slot, int imageFormat, int width, int height);
    void FreeDecoders();
    const uint8_t* CropAndResize(const uint8_t* picture, int width, int height);
    // 4:2:0 pictures are cut and scaled by the decoder itself, from its own picture.
    void ShapeOutput(FdDecoder* d);
    int32_t OutputBytes() const;
    // Thread mode: decodes the tag and paces it to end at its timestamp + durationMs.
    void DecodeAndPace(const FLVTag& tag, int64_t durationMs);
    // Thread mode: paces the pictures a reordering stream still holds at its end.
    void DrainAndPace();
    void PaceReordered(const uint8_t* picture);
    int Pace(const uint8_t* picture, int64_t timeMs, int32_t filler);   // frames emitted
    const uint8_t* Blank();   // black at the output size; may throw std::bad_alloc

    int m_outputWidth = 320, m_outputHeight = 240;
    double m_fps = 25.0;
    int m_decodeAlpha = 1;
    int m_imageFormat = AVK_IMAGE_BGRA32;
    int m_decodeThreads = 1;
    FLVCropRect m_cropRect{-1, -1, -1, -1};   // under the queue lock
    int m_resizeMode = 0;                      // under the queue lock

    FdDecoder* m_decoders[kSlots] = {};
    int m_codec = -1, m_width = -1, m_height = -1;
    FLVCropRect m_visible{-1, -1, -1, -1};
    int64_t m_lastPictureTime = 0;     // ms: presentation time of the last picture
    int64_t m_pictureDuration = 0;     // ms: a reordering stream's frame interval

    std::vector<uint8_t> m_crop;
    FLVCropRect m_cropMadeFor{0, 0, 0, 0};
    AvkResizer* m_resizer = nullptr;
    int m_resizerInW = 0, m_resizerInH = 0, m_resizerMode = -1;
    std::vector<uint8_t> m_resized;
    std::vector<uint8_t> m_blank;

    // pacing
    const uint8_t* m_current = nullptr;   // the last picture produced; null before the first
    bool m_havePicture = false;
    int64_t m_emitted = 0;
    int64_t m_outputTime = 0;   // 100 ns: timestamp of the next output frame
    int64_t m_frameDuration = 0;
};
