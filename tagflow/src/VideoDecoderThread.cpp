#include "VideoDecoderThread.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "CodecSetup.h"

namespace {

constexpr int kMaxSide = 8192;

bool IsNone(const FLVCropRect& r) {
    return r.left == -1 && r.top == -1 && r.right == -1 && r.bottom == -1;
}

bool Same(const FLVCropRect& a, const FLVCropRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// (-1, -1, -1, -1) stands for "everything".
FLVCropRect Intersect(const FLVCropRect& a, const FLVCropRect& b) {
    if (IsNone(a)) return b;
    if (IsNone(b)) return a;
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

}  // namespace

CVideoDecoderThread::~CVideoDecoderThread() {
    TerminateForDelete();
    FreeDecoders();
    VRes_Free(m_resizer);
}

int CVideoDecoderThread::SetOutputSize(int width, int height) {
    if (GetState() != kStopped || width <= 0 || height <= 0 || width > kMaxSide ||
        height > kMaxSide)
        return 0;
    m_outputWidth = width;
    m_outputHeight = height;
    return 1;
}

int CVideoDecoderThread::SetOutputFPS(double fps) {
    if (GetState() != kStopped || !(fps > 0.0) || fps > 1000.0) return 0;
    m_fps = fps;
    return 1;
}

int CVideoDecoderThread::SetDecodeAlphaChannel(int flag) {
    if (GetState() != kStopped) return 0;
    m_decodeAlpha = flag != 0;
    return 1;
}

void CVideoDecoderThread::SetCropRect(const FLVCropRect* rect) {
    std::lock_guard<std::mutex> lock(QueueLock());
    m_cropRect = rect ? *rect : FLVCropRect{-1, -1, -1, -1};
}

void CVideoDecoderThread::SetResizeMode(int mode) {
    std::lock_guard<std::mutex> lock(QueueLock());
    m_resizeMode = mode;
}

int CVideoDecoderThread::SetOutputImageFormat(int format) {
    if (GetState() != kStopped || (format != AVK_IMAGE_BGRA32 && format != AVK_IMAGE_I420)) return 0;
    if (format != m_imageFormat) FreeDecoders();   // reopened for the new format with the next key frame
    m_imageFormat = format;
    return 1;
}

int CVideoDecoderThread::SetDecodeThreads(int threads) {
    if (GetState() != kStopped || threads < 1 || threads > 16) return 0;
    m_decodeThreads = threads;
    return 1;
}

int32_t CVideoDecoderThread::OutputBytes() const {
    return AvkImage_Bytes(m_imageFormat, m_outputWidth, m_outputHeight);
}

// ---- decoding one tag

bool CVideoDecoderThread::OpenSlot(Slot slot, int imageFormat, int width, int height) {
    FdDecoder*& d = m_decoders[slot];
    if (d) {
        FlvDecoder_Close(d);
    } else {
        static const uint32_t kCodecOfSlot[kSlots] = {2, 3, 4, 5, 6, 7, 12, FD_FOURCC_AV1, FD_FOURCC_VP9};
        d = FlvDecoder_Create(1, int(kCodecOfSlot[slot]));
        if (!d) return false;
    }
    FlvDecoder_SetThreads(d, m_decodeThreads);
    if (FlvDecoder_Open(d, imageFormat, width, height)) return true;
    FlvDecoder_Free(d);
    d = nullptr;
    return false;
}

void CVideoDecoderThread::FreeDecoders() {
    for (FdDecoder*& d : m_decoders) {
        if (d) {
            FlvDecoder_Close(d);
            FlvDecoder_Free(d);
        }
        d = nullptr;
    }
    m_codec = m_width = m_height = -1;
}

bool CVideoDecoderThread::SetUpDecoders(const FLVTag& tag) {
    const int codec = int(tag.codecField2);
    const int width = int(tag.codecField3), height = int(tag.codecField4);
    const int f = m_imageFormat == AVK_IMAGE_I420 ? FD_IMAGE_I420 : FD_IMAGE_BGRA32;
    bool ok = true;
    switch (codec) {
        case 2: ok = OpenSlot(kH263, f, width, height); break;
        case 3: ok = OpenSlot(kScreen, f, width, height); break;
        case 4: ok = OpenSlot(kVp6, f, width, height); break;
        case 5: ok = OpenSlot(kVp6Alpha, f, width, height); break;
        case 6: ok = OpenSlot(kScreen2, f, width, height); break;
        case 7: ok = OpenSlot(kAvc, f, width, height); break;
        case TagioCodecHevc:
        case int(TagioFourccHevc): ok = OpenSlot(kHevc, f, width, height); break;
        case int(TagioFourccAv1): ok = OpenSlot(kAv1, f, width, height); break;
        case int(TagioFourccVp9): ok = OpenSlot(kVp9, f, width, height); break;
        default: break;   // nothing we decode: the last picture stands in
    }
    if (!ok) return false;
    m_codec = codec;
    m_width = width;
    m_height = height;
    // Pictures of the codecs with setups are already cut to what they show.
    m_visible = HasPacketType(tag) ? FLVCropRect{-1, -1, -1, -1} : FLVCropRect{0, 0, width, height};
    m_lastPictureTime = 0;
    return true;
}

const uint8_t* CVideoDecoderThread::DecodePicture(const FLVTag& tag, bool* skipped) {
    *skipped = false;
    if (!tag.data || tag.dataSize == 0) return nullptr;
    const int codec = int(tag.codecField2);
    const bool key = tag.codecField1 == 1;
    // A damaged setup is passed over: the one in force stays.
    const bool packets = HasPacketType(tag);
    TagioCodecSetup setup;
    if (packets && IsCodecSetup(tag) && !ReadCodecSetup(9, tag.data, tag.dataSize, &setup))
        return nullptr;
    // Only a key frame (or a setup, sent as one) can start a stream. Key
    // frames of the codecs with setups need not declare a size: a new setup
    // brings a new one, and the decoder takes it in stride.
    const bool newSize = !packets && key &&
                         (int(tag.codecField3) != m_width || int(tag.codecField4) != m_height);
    if (codec != m_codec || newSize) {
        if (!key || !SetUpDecoders(tag)) {
            *skipped = true;
            return nullptr;
        }
    }
    const uint8_t* in = nullptr;
    int inSize = 0;
    FdDecoder* colour = nullptr;
    switch (codec) {
        case 2:
        case 3:
        case 6:
        case 7:   // H.264: the packet type and composition time come along
            colour = m_decoders[codec == 2 ? kH263 : codec == 3 ? kScreen : codec == 6 ? kScreen2 : kAvc];
            in = tag.videoPayload;
            inSize = int(tag.videoPayloadSize);
            break;
        case 4:   // after the adjustment byte
            colour = m_decoders[kVp6];
            if (tag.videoPayloadSize >= 2) {
                in = tag.videoPayload + 1;
                inSize = int(tag.videoPayloadSize) - 1;
            }
            break;
        case 5:   // after the adjustment byte: the offset to the alpha part, colour, alpha
            // The alpha part codes only luma, so it is decoded together with
            // the colour by one decoder that knows the layout.
            colour = m_decoders[kVp6Alpha];
            if (tag.vp6Payload && tag.videoPayloadSize >= 4 + tag.alphaOffset) {
                in = tag.videoPayload + 1;
                inSize = int(tag.videoPayloadSize) - 1;
            }
            break;
        case TagioCodecHevc:   // laid out as H.264
            colour = m_decoders[kHevc];
            in = tag.videoPayload;
            inSize = int(tag.videoPayloadSize);
            break;
        default:
            if (Flv_IsFourcc(tag.codecField2)) return DecodeFourcc(tag);
            return nullptr;
    }
    if (!colour || !in || inSize <= 0) return nullptr;
    const uint8_t* picture = nullptr;
    int pictureSize = 0, width = 0, height = 0;
    int64_t pts = tag.timestamp;
    ShapeOutput(colour);
    if (!FlvDecoder_DecodeVideoEx(colour, in, inSize, tag.timestamp, key, &picture, &pictureSize,
                                  &width, &height, &pts))
        return nullptr;
    m_lastPictureTime = pts;
    if (codec == 5 && !m_decodeAlpha && m_imageFormat == AVK_IMAGE_BGRA32) {
        // Opaque when the caller does not want the mask; the decoder's
        // picture is ours until its next call.
        auto* bgra = const_cast<uint8_t*>(picture);
        const size_t n = size_t(width) * height;
        for (size_t i = 0; i < n; ++i) bgra[i * 4 + 3] = 255;
    }
    return CropAndResize(picture, width, height);
}

// The FourCC codecs: the tag's fields say the packet type and composition
// time, its payload is the codec's own bytes.
const uint8_t* CVideoDecoderThread::DecodeFourcc(const FLVTag& tag) {
    const Slot slot = ReorderSlot();
    FdDecoder* d = slot != kSlots ? m_decoders[slot] : nullptr;
    if (!d || !tag.videoPayload) return nullptr;
    const uint8_t* picture = nullptr;
    int pictureSize = 0, width = 0, height = 0;
    int64_t pts = tag.timestamp;
    if (!FlvDecoder_DecodePacket(d, int(tag.packetType), tag.compositionTime, tag.videoPayload,
                                 int(tag.videoPayloadSize), tag.timestamp, tag.codecField1 == 1, &picture,
                                 &pictureSize, &width, &height, &pts))
        return nullptr;
    m_lastPictureTime = pts;
    return CropAndResize(picture, width, height);
}

CVideoDecoderThread::Slot CVideoDecoderThread::ReorderSlot() const {
    switch (m_codec) {
        case 7: return kAvc;
        case TagioCodecHevc:
        case int(TagioFourccHevc): return kHevc;
        case int(TagioFourccAv1): return kAv1;
        case int(TagioFourccVp9): return kVp9;
        default: return kSlots;
    }
}

const uint8_t* CVideoDecoderThread::TakeReordered(bool drain) {
    const Slot slot = ReorderSlot();
    FdDecoder* d = slot != kSlots ? m_decoders[slot] : nullptr;
    if (!d) return nullptr;
    const uint8_t* picture = nullptr;
    int pictureSize = 0, width = 0, height = 0;
    int64_t pts = 0;
    ShapeOutput(d);
    const int got = drain ? FlvDecoder_DecodeVideoEx(d, nullptr, 0, 0, 0, &picture, &pictureSize,
                                                     &width, &height, &pts)
                          : FlvDecoder_TakePicture(d, &picture, &pictureSize, &width, &height, &pts);
    if (!got) return nullptr;
    m_lastPictureTime = pts;
    return CropAndResize(picture, width, height);
}

const uint8_t* CVideoDecoderThread::HeldPicture() {
    if (Running()) return nullptr;
    try {
        return TakeReordered(false);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

const uint8_t* CVideoDecoderThread::DrainPicture() {
    if (Running()) return nullptr;
    try {
        return TakeReordered(true);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CVideoDecoderThread::Forget() {
    if (Running()) return;
    const Slot slot = ReorderSlot();
    if (slot != kSlots && m_decoders[slot]) FlvDecoder_Flush(m_decoders[slot]);
}

void CVideoDecoderThread::ShapeOutput(FdDecoder* d) {
    if (m_imageFormat != AVK_IMAGE_I420) return;
    FLVCropRect crop;
    int mode;
    {
        std::lock_guard<std::mutex> lock(QueueLock());
        crop = m_cropRect;
        mode = m_resizeMode;
    }
    // The decoder clips the part to its picture and shows all of it when nothing is left.
    const FLVCropRect r = Intersect(m_visible, crop);
    FlvDecoder_SetOutputShape(d, r.left, r.top, r.right, r.bottom, m_outputWidth, m_outputHeight, mode);
}

const uint8_t* CVideoDecoderThread::CropAndResize(const uint8_t* picture, int width, int height) {
    if (m_imageFormat == AVK_IMAGE_I420)   // the decoder has cut and scaled it already
        return width == m_outputWidth && height == m_outputHeight ? picture : nullptr;
    const FLVCropRect decoded{0, 0, width, height};
    FLVCropRect r = decoded;
    if (!Same(decoded, m_visible)) r = Intersect(r, m_visible);   // coded size beyond the picture
    FLVCropRect crop;
    int mode;
    {
        std::lock_guard<std::mutex> lock(QueueLock());
        crop = m_cropRect;
        mode = m_resizeMode;
    }
    r = Intersect(r, crop);
    r = Intersect(r, decoded);   // never outside the picture
    if (r.left >= r.right || r.top >= r.bottom) r = decoded;   // nothing left: show it all
    if (!Same(r, decoded)) {
        const size_t bytes = size_t(r.right - r.left) * (r.bottom - r.top) * 4;
        if (!Same(r, m_cropMadeFor) || m_crop.size() < bytes) {
            m_crop.resize(bytes);
            m_cropMadeFor = r;
        }
        const AvkRect ar{r.left, r.top, r.right, r.bottom};
        if (!VideoEncoder_Crop(m_crop.data(), &ar, picture, width, height, width * 4, 4))
            return nullptr;
        picture = m_crop.data();
        width = r.right - r.left;
        height = r.bottom - r.top;
    }
    if (width == m_outputWidth && height == m_outputHeight) return picture;
    if (!m_resizer || m_resizerInW != width || m_resizerInH != height || m_resizerMode != mode) {
        VRes_Free(m_resizer);
        m_resizer = VRes_CreateByResizeMode(width, height, m_outputWidth, m_outputHeight,
                                            AVK_IMAGE_BGRA32, mode);
        if (!m_resizer) return nullptr;
        m_resizerInW = width;
        m_resizerInH = height;
        m_resizerMode = mode;
    }
    const size_t outBytes = size_t(m_outputWidth) * m_outputHeight * 4;
    if (m_resized.size() != outBytes) m_resized.resize(outBytes);
    if (!VRes_Resize(m_resizer, picture, m_resized.data())) return nullptr;
    return m_resized.data();
}

int CVideoDecoderThread::DecodeFLVTag(FLVTag* tag, const uint8_t** data, int32_t* size) {
    if (!tag || !data || !size || Running()) return 0;
    *data = nullptr;
    *size = 0;
    try {
        bool skipped = false;
        const uint8_t* picture = DecodePicture(*tag, &skipped);
        if (!picture) return 0;
        *data = picture;
        *size = OutputBytes();
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

// ---- thread mode

void CVideoDecoderThread::OnStart() {
    m_current = nullptr;   // the blank picture until the first one comes
    m_havePicture = false;
    m_emitted = 0;
    m_outputTime = 0;
    m_frameDuration = int64_t(10000000 / m_fps);
    m_pictureDuration = 0;
}

void CVideoDecoderThread::OnEnd() {
    FreeDecoders();
    VRes_Free(m_resizer);
    m_resizer = nullptr;
    m_resizerMode = -1;
    std::vector<uint8_t>().swap(m_crop);
    std::vector<uint8_t>().swap(m_resized);
    std::vector<uint8_t>().swap(m_blank);
    m_cropMadeFor = {0, 0, 0, 0};
    m_current = nullptr;
}

// Made only when pictures are needed before the first one has come (the
// sound is ahead): a whole output frame that most runs never show.
const uint8_t* CVideoDecoderThread::Blank() {
    if (m_blank.empty()) {
        m_blank.assign(size_t(OutputBytes()), 0);
        if (m_imageFormat == AVK_IMAGE_I420) {   // black: the lowest luma, no colour
            const size_t luma = size_t(m_outputWidth) * m_outputHeight;
            std::fill(m_blank.begin(), m_blank.begin() + luma, uint8_t{16});
            std::fill(m_blank.begin() + luma, m_blank.end(), uint8_t{128});
        }
    }
    return m_blank.data();
}

int CVideoDecoderThread::Pace(const uint8_t* picture, int64_t timeMs, int32_t filler) {
    const double e = double(timeMs) * m_fps / 1000.0 - double(m_emitted);
    if (e < -1.1) return 0;   // too early for the output rate: dropped
    const int64_t n = e <= 1.1 ? 1 : int64_t(e + 0.5);
    const int32_t size = OutputBytes();
    int done = 0;
    for (int64_t i = 0; i < n && !Terminating(); ++i, ++done) {
        Output(picture, size, m_outputTime, m_frameDuration, n == 1, filler);
        ++m_emitted;
        m_outputTime = int64_t(double(m_emitted) / m_fps * 10000000.0);
    }
    return done;
}

void CVideoDecoderThread::DecodeAndPace(const FLVTag& tag, int64_t durationMs) {
    bool skipped = false;
    const uint8_t* picture = nullptr;
    try {
        picture = DecodePicture(tag, &skipped);
    } catch (const std::bad_alloc&) {
        skipped = true;
    }
    if (skipped) return;
    if (Reorders()) {
        // Pictures come out later than their tags, in presentation order:
        // each one is shown from its own time for one frame interval (the
        // decode times of a stream step by its frame interval too).
        if (IsPictureTag(tag) && durationMs > 0) m_pictureDuration = durationMs;
        // An end of sequence or a new setup completes several at once.
        try {
            if (!picture) picture = TakeReordered(false);
            for (; picture && !Terminating(); picture = TakeReordered(false)) PaceReordered(picture);
        } catch (const std::bad_alloc&) {
        }
        return;
    }
    if (picture) {
        m_current = picture;
        m_havePicture = true;
    }
    // A tag that brings no picture keeps the last one on screen for its time.
    if (m_havePicture) Pace(m_current, int64_t(tag.timestamp) + durationMs, 0);
}

void CVideoDecoderThread::PaceReordered(const uint8_t* picture) {
    m_current = picture;
    m_havePicture = true;
    const int64_t interval = m_pictureDuration > 0 ? m_pictureDuration : m_frameDuration / 10000;
    Pace(picture, m_lastPictureTime + interval, 0);
}

void CVideoDecoderThread::DrainAndPace() {
    if (!Reorders()) return;
    try {
        while (!Terminating()) {
            const uint8_t* picture = TakeReordered(true);
            if (!picture) break;
            PaceReordered(picture);
        }
    } catch (const std::bad_alloc&) {
    }
}

void CVideoDecoderThread::Body() {
    FLVTag* held = nullptr;
    bool drain = false;   // decode the held tag on the way out
    for (;;) {
        const uint64_t seq = WakeSeq();
        if (FLVTag* tag = TakeTag()) {
            if (Terminating()) {
                ReleaseTag(tag);
                break;
            }
            if (held) {
                DecodeAndPace(*held, int64_t(tag->timestamp) - int64_t(held->timestamp));
                ReleaseTag(held);
            }
            held = tag;
            continue;
        }
        if (Terminating()) break;
        if (EndOfInput()) {
            // The last frame is shown for one output frame, like after a stop.
            drain = true;
            break;
        }
        CDecoderThread* b = Brother();
        if (!b) {
            if (GetState() == kStopping) {
                drain = true;
                EndStopped();
                break;
            }
            WaitForChange(seq);
            continue;
        }
        if (b->Finished() || (b->StoppingFlag() && b->QueueEmpty())) {
            drain = true;
            EndStopped();
            break;
        }
        const int64_t d = (b->Clock() - Clock()) / 10000;
        if ((b->QueueFull() || b->StoppingFlag()) && d > MaxIntervalTime()) {
            // The audio is ahead and cannot wait for pictures that do not come.
            int done = 0;
            try {
                done = Pace(m_current ? m_current : Blank(), (m_outputTime + m_frameDuration) / 10000 + d, 1);
            } catch (const std::bad_alloc&) {
            }
            if (b->StoppingFlag() && b->QueueEmpty()) {
                drain = true;
                EndStopped();
                break;
            }
            if (done > 0) continue;
        }
        WaitForChange(seq);
    }
    if (held) {
        if (drain && !Terminating()) DecodeAndPace(*held, m_frameDuration / 10000);
        ReleaseTag(held);
    }
    // What a B-frame stream held back is shown too, as the last tag would be.
    if (drain && !Terminating()) DrainAndPace();
}
