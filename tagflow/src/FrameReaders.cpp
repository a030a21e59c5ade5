#include "FrameReaders.h"

#include <algorithm>
#include <cmath>

#include "CodecSetup.h"
#include "FLVTagCodec.h"

namespace {
const uint8_t kZeroBlock[4096] = {};
}  // namespace

// ---- audio

AudioFrameReader::AudioFrameReader(CFLVAVTagReader* reader) : m_reader(reader) {
    FLVInfo info{};
    if (reader->GetFLVInfoEx(&info) && info.sampleRate > 0 && info.channels > 0) {
        m_sampleRate = info.sampleRate;
        m_channels = info.channels;
    }
    m_decoder.SetSampleRate(m_sampleRate);
    m_decoder.SetNumberOfChannels(m_channels);
    m_decoder.SetDecodeSyncMode(1);
    uint32_t audioEnd = 0, videoEnd = 0;
    reader->GetDuration(&audioEnd, &videoEnd);
    if (audioEnd < videoEnd) m_tailSilence = int64_t(videoEnd - audioEnd) * m_sampleRate / 1000;
    m_buffer = DB2_Create();
}

AudioFrameReader::~AudioFrameReader() {
    DB2_Clear(m_buffer);
    DB2_Delete(m_buffer);
}

void AudioFrameReader::PushZeros(int64_t bytes) {
    while (bytes > 0) {
        const int n = int(std::min<int64_t>(bytes, sizeof kZeroBlock));
        DB2_Push(m_buffer, kZeroBlock, n);
        bytes -= n;
    }
}

int AudioFrameReader::FinishWithZeros(uint8_t* buffer, int32_t bytes) {
    PushZeros(bytes - DB2_GetDataSize(m_buffer));
    DB2_Read(m_buffer, buffer, bytes);
    return 0;
}

int AudioFrameReader::ReadFrame(uint8_t* buffer, int32_t bytes) {
    if (!buffer || bytes <= 0) return 0;
    const int64_t frameBytes = int64_t(m_channels) * 2;
    for (;;) {
        // 1. Enough decoded already.
        if (DB2_GetDataSize(m_buffer) >= bytes) {
            DB2_Read(m_buffer, buffer, bytes);
            if (!m_endReached) return 1;
            return DB2_GetDataSize(m_buffer) == 0 && m_pendingSilence == 0 ? 0 : 1;
        }
        // 2. Silence owed from a gap or the tail.
        if (m_pendingSilence > 0) {
            const int64_t buffered = DB2_GetDataSize(m_buffer);
            const int64_t silence = m_pendingSilence * frameBytes;
            if (buffered + silence > bytes) {
                // Whole sample frames only, so the channels stay in place.
                const int64_t frames = (bytes - buffered + frameBytes - 1) / frameBytes;
                PushZeros(frames * frameBytes);
                m_pendingSilence -= frames;
                DB2_Read(m_buffer, buffer, bytes);
                return 1;
            }
            PushZeros(silence);
            m_pendingSilence = 0;
        }
        // 3. Decode further.
        if (m_endReached) return FinishWithZeros(buffer, bytes);
        bool restart = false;
        while (!restart) {
            FLVTag* tag = nullptr;
            uint32_t duration = 0;
            const int r = m_reader->ReadTag(1, 8, &tag, &duration);
            if (r != 0) {
                // The end of the index, or a file that can no longer be read:
                // either way the sound ends here.
                m_pendingSilence = m_tailSilence;
                m_endReached = true;
                const uint8_t* pcm = nullptr;
                int32_t size = 0;
                if (m_decoder.DecodeFLVTag(nullptr, &pcm, &size) && size > 0)
                    DB2_Push(m_buffer, pcm, size);
                if (DB2_GetDataSize(m_buffer) < bytes) {
                    if (m_pendingSilence > 0) {
                        restart = true;
                        break;
                    }
                    return FinishWithZeros(buffer, bytes);
                }
                DB2_Read(m_buffer, buffer, bytes);
                return 1;
            }
            if (IsCodecSetup(*tag)) {   // the setup of the sound after it: no sound itself
                const uint8_t* none = nullptr;
                int32_t size = 0;
                m_decoder.DecodeFLVTag(tag, &none, &size);
            }
            if (HasSoundData(*tag)) {
                const uint8_t* pcm = nullptr;
                int32_t size = 0;
                if (m_decoder.DecodeFLVTag(tag, &pcm, &size) && size > 0)
                    DB2_Push(m_buffer, pcm, size);
                m_reader->ReleaseIfOwned(tag);
                if (DB2_GetDataSize(m_buffer) >= bytes) {
                    DB2_Read(m_buffer, buffer, bytes);
                    return 1;
                }
            } else {
                // Silence until the next sound, which may follow at the same
                // time (the index then claims 1 ms for this tag).
                uint32_t next = 0;
                int64_t ms = duration;
                if (m_reader->PeekNextTimeStamp(8, &next))
                    ms = std::min<int64_t>(ms, std::max<int64_t>(int64_t(next) - tag->timestamp, 0));
                m_pendingSilence = ms * m_sampleRate / 1000;
                m_reader->ReleaseIfOwned(tag);
                restart = true;
            }
        }
    }
}

// ---- video

VideoFrameReader::VideoFrameReader(CFLVAVTagReader* reader, double fps, int decodeAlpha, int flip)
    : m_reader(reader), m_fps(fps > 0.0 ? fps : 25.0), m_flip(flip != 0) {
    FLVInfo info{};
    reader->GetFLVInfoEx(&info);
    m_width = std::max(info.width, 1);
    m_height = std::max(info.height, 1);
    m_decoder.SetOutputSize(m_width, m_height);
    m_decoder.SetResizeMode(2);
    m_decoder.SetDecodeSyncMode(1);
    m_decoder.SetDecodeAlphaChannel(decodeAlpha);
    m_blank.assign(size_t(m_width) * m_height * 4, 0);
    uint32_t audioEnd = 0, videoEnd = 0;
    reader->GetDuration(&audioEnd, &videoEnd);
    m_videoEnd = videoEnd;
    m_frameDuration = int64_t(1000 / m_fps);
    // The codecs with setups may show pictures in another order than stored.
    m_reordered = info.videoCodec > 0 && Flv_HasPacketType(9, uint32_t(info.videoCodec)) != 0;
    m_pictureDuration = info.frameRate > 0 ? std::max<int64_t>(int64_t(1000 / info.frameRate), 1)
                                           : std::max<int64_t>(m_frameDuration, 1);
}

void VideoFrameReader::Show(const uint8_t* picture, int64_t timestamp, int64_t duration) {
    if (m_flip) {
        // The decoder's picture is ours until its next call.
        VideoEncoder_SwapImageRowOrderInPlace(const_cast<uint8_t*>(picture), m_width * 4, m_height);
    }
    m_picture = picture;
    m_timestamp = m_coversFrom = timestamp;
    m_duration = duration;
}

void VideoFrameReader::AdvanceReordered(int64_t t) {
    for (;;) {
        const uint8_t* picture = m_decoder.HeldPicture();
        while (!picture) {
            FLVTag* tag = nullptr;
            uint32_t duration = 0;
            if (m_reader->ReadTag(1, 9, &tag, &duration) != 0) {
                picture = m_decoder.DrainPicture();
                if (!picture) return;   // the stream is over: its last picture stays
                break;
            }
            // Decode times step by the frame interval, as presentation times do.
            if (IsPictureTag(*tag) && duration > 0 && int64_t(duration) <= 4 * m_pictureDuration)
                m_pictureDuration = duration;
            int32_t size = 0;
            m_decoder.DecodeFLVTag(tag, &picture, &size);
            m_reader->ReleaseIfOwned(tag);
            if (!picture) picture = m_decoder.HeldPicture();
        }
        Show(picture, m_decoder.LastPictureTime(), m_pictureDuration);
        if (t < m_timestamp + m_duration) {
            // The first picture after a seek may come later than t; it then
            // stands in from t on, as playback shows it.
            m_coversFrom = std::min(m_timestamp, t);
            return;
        }
    }
}

void VideoFrameReader::Advance(int64_t t) {
    if (m_reordered) {
        AdvanceReordered(t);
        return;
    }
    for (;;) {
        FLVTag* tag = nullptr;
        uint32_t duration = 0;
        if (m_reader->ReadTag(1, 9, &tag, &duration) != 0) return;
        if (int64_t(tag->timestamp) > t) {
            // Read one too far: the current picture lasts until this tag,
            // which the next read takes again.
            m_duration = std::max<int64_t>(int64_t(tag->timestamp) - m_timestamp, 0);
            m_reader->ReleaseIfOwned(tag);
            if (m_reader->StepBack() != 0) m_reader->SeekToBegin();
            return;
        }
        m_timestamp = tag->timestamp;
        m_duration = duration;
        const uint8_t* data = nullptr;
        int32_t size = 0;
        if (m_decoder.DecodeFLVTag(tag, &data, &size) && data) {
            if (m_flip) {
                // The decoder's picture is ours until its next call.
                VideoEncoder_SwapImageRowOrderInPlace(const_cast<uint8_t*>(data), m_width * 4,
                                                      m_height);
            }
            m_picture = data;
        } else {
            m_picture = m_blank.data();   // a frame that does not decode shows nothing
        }
        m_reader->ReleaseIfOwned(tag);
        if (m_timestamp <= t && t < m_timestamp + m_duration) return;
    }
}

void VideoFrameReader::Seek(int64_t t) {
    m_picture = m_blank.data();
    m_timestamp = m_coversFrom = 0;   // blank until a picture is read
    m_duration = 0;
    if (m_videoEnd < t + m_frameDuration) {   // past the end
        m_timestamp = m_coversFrom = t;
        return;
    }
    m_decoder.Forget();   // pictures held back belong to the old position
    const int r = m_reader->SeekEx(9, uint32_t(t), nullptr);
    if (r == 7) {
        // Before the first key frame: nothing to show yet, and the pictures
        // that follow are read from the start.
        uint32_t next = 0;
        m_reader->SeekToBegin();
        m_timestamp = 0;
        m_duration = m_reader->GetNextTimeStamp(9, uint32_t(t), &next, nullptr) ? next : t + 1;
    } else if (r != 0) {
        m_timestamp = m_coversFrom = t;
        m_duration = 1;
    } else {
        Advance(t);
    }
}

const uint8_t* VideoFrameReader::ReadFrame(int32_t frame, uint32_t* timestamp, uint32_t* duration) {
    const int64_t t = frame < 0 ? -1 : int64_t(double(frame) * 1000.0 / m_fps);
    if (t < 0 || m_videoEnd < t + m_frameDuration) {
        // Past the end, whichever way it is reached.
        m_picture = m_blank.data();
        m_timestamp = m_coversFrom = t;
        m_duration = 0;
    } else if (m_picture && SpanStart() <= t && t < m_timestamp + m_duration) {
        // Past the middle of its span the next frame is the closer picture.
        if (t >= m_timestamp + m_duration / 2) Advance(m_timestamp + m_duration);
    } else {
        if (m_picture && t - m_timestamp >= 0 && t - m_timestamp <= 4000)
            Advance(t);
        else
            Seek(t);
        // The same choice as reading in order: past the middle of its span
        // the next frame is the closer picture.
        if (m_duration > 0 && m_timestamp <= t && t < m_timestamp + m_duration &&
            t >= m_timestamp + m_duration / 2)
            Advance(m_timestamp + m_duration);
    }
    // The span the picture stands for, including where it stands in early.
    if (timestamp) *timestamp = uint32_t(SpanStart());
    if (duration) *duration = uint32_t(m_timestamp + m_duration - SpanStart());
    return m_picture;
}
