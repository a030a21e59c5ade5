// tagio: FLV file access below the tag reader. File readers with 64-bit
// positions, the duration of one FLV audio block, an FLV tag reader and
// writer, and the onMetaData (AMF0) rewrite of finished FLV files.
#pragma once

#include <stdint.h>

#if defined(TAGIO_BUILD)
#define TAGIO_API __attribute__((visibility("default")))
#else
#define TAGIO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TagioFileReadAble TagioFileReadAble;

// Opens a file for binary reading; null when it cannot be opened or is a folder.
TAGIO_API TagioFileReadAble* CreateFileReadAble(const char* path);
TAGIO_API void DeleteFileReadAble(TagioFileReadAble* h);
// Length of the file when it was opened.
TAGIO_API int64_t FileReadAble_GetSize(TagioFileReadAble* h);
TAGIO_API int64_t FileReadAble_GetPosition(TagioFileReadAble* h);
// origin 0 from the start, 1 from the current position, 2 from the end.
// Returns the new position, or -1 (position unchanged) for a bad origin or a
// position before the start. Positions past the end are allowed; reads there return 0.
TAGIO_API int64_t FileReadAble_Seek(TagioFileReadAble* h, int64_t offset, int origin);
// Reads up to count bytes at the current position and advances it.
// Returns the bytes read (fewer only at the end of the file) or -1 on a read error.
TAGIO_API int64_t FileReadAble_Read(TagioFileReadAble* h, void* buffer, uint32_t count);
// As Read, at an absolute position, leaving the current position alone.
TAGIO_API int64_t FileReadAble_ReadAt(TagioFileReadAble* h, int64_t position, void* buffer,
                                      uint32_t count);

// Makes the bytes at position readable in the reader's read-ahead window
// without copying them out: when the window does not hold [position,
// position + count), it is read again from position, max(count, ahead) bytes
// at least (the window grows for a count beyond its usual 1 MiB; a regular
// file is mapped rather than read, 8 MiB at least at a time). *bytes:
// the window at position, valid until the reader reads again. Returns how
// many bytes from position the window holds (fewer than count only at the
// end of the file), or -1 on a read error or without memory.
TAGIO_API int64_t FileReadAble_View(TagioFileReadAble* h, int64_t position, uint32_t count,
                                    uint32_t ahead, const uint8_t** bytes);
// Runs body(user) and returns what it returns, or -1 when the file was cut
// short under the reader's view while body read from it (the reader reads
// the file from then on). The view may be a mapping of the file, which a
// cut turns into a fault: body must then hold nothing that needs undoing
// while it reads the view, as it is left at that read.
TAGIO_API int FileReadAble_Guarded(TagioFileReadAble* h, int (*body)(void* user), void* user);
// Views of this reader are read into its window, never mapped: for a
// caller that hands the viewed bytes to code a guarded call cannot wrap
// (a muxer), where a file cut short under a mapping would end the program.
TAGIO_API void FileReadAble_ReadViews(TagioFileReadAble* h);
// For one walk forward through the whole file, views and copies of them
// included: the file is mapped once, and a thread of the reader's own
// maps in the pages just ahead of the walk and lets go of those well behind
// it, so the walk itself neither waits on page faults nor unmaps. Before the
// first view only.
TAGIO_API void FileReadAble_ViewAhead(TagioFileReadAble* h);
// Lets go of the reader's mapped view (a writer still holding it keeps it
// until done): for a walk that is over while the reader stays open, so that
// the last stretch it looked at is not kept mapped. The next view maps anew.
TAGIO_API void FileReadAble_DropView(TagioFileReadAble* h);
// Where the file's data goes on from position: past a hole (a stretch never
// written, all zeros, that need not be read) the offset after it, the size
// when only holes follow, and position itself when it lies in data or the
// file system cannot tell.
TAGIO_API int64_t FileReadAble_NextData(TagioFileReadAble* h, int64_t position);

// Duration of one FLV audio block in units of 100 ns, or -1 when it cannot
// be told. data/size: the sound data after the tag's format byte, or for a
// FourCC codec its own bytes (the tag record's audio payload either way).
// soundFormat: the FLV SoundFormat or the FourCC; sampleRate in Hz;
// bytesPerSample 1 or 2; channels 1 or 2 (the values the tag declares; a
// FourCC codec's frames say their own, FLAC needs the setup's rate).
TAGIO_API int64_t CalcFLVAudioBlockDuration(const uint8_t* data, uint32_t size, int soundFormat,
                                            int sampleRate, int bytesPerSample, int channels);

// ---- FLV files, tag by tag

// The 9-byte FLV file header.
typedef struct TagioFlvHeader {
    uint8_t version;
    uint8_t flags;          // bit 0: has video, bit 2: has audio
    uint8_t reserved[2];
    uint32_t dataOffset;    // as found; the writer always writes 9
} TagioFlvHeader;

// One tag. The layout matches the tag record of the FLV reading library, so
// callers may treat both alike. Flv_ReadTag fills type, timestamp, streamId,
// the codec fields (audio: SoundFormat, SoundRate index, SoundSize, SoundType;
// video: FrameType, CodecID, and width and height of key frames of the codecs
// whose picture header carries them), the payload pointers, the sizes and the
// file position; the VP6 fields stay 0.
typedef struct TagioFlvTag {
    uint32_t type;
    uint32_t timestamp;     // ms: Timestamp with TimestampExtended as bits 24-31
    uint32_t streamId;
    uint32_t codecField1;
    uint32_t codecField2;
    uint32_t codecField3;
    uint32_t codecField4;
    const uint8_t* audioPayload;    // data + 1 (FourCC codecs: their own bytes)
    uint32_t audioPayloadSize;
    uint32_t vp6HAdjust;
    uint32_t vp6VAdjust;
    const uint8_t* vp6Payload;
    uint32_t vp6PayloadSize;
    uint32_t alphaOffset;
    const uint8_t* alphaPayload;
    uint32_t alphaPayloadSize;
    const uint8_t* videoPayload;    // data + 1 (FourCC codecs: their own bytes)
    uint32_t videoPayloadSize;
    uint8_t* data;                  // buffer + 11, null when not loaded
    uint32_t dataSize;              // DataSize of the tag header
    uint8_t* buffer;                // 11 header bytes, then the data; freed by Flv_FreeTag
    uint32_t tagSize;               // dataSize + 15
    int64_t filePosition;           // file offset of the tag header
    uint32_t bufferCapacity;        // bytes allocated at buffer
    // For the codecs whose tags carry a packet type (AVC, HEVC, AAC and every
    // FourCC codec): 0 codec setup, 1 picture or sound, 2 end of sequence,
    // TagioPacketNoMedia for metadata and other signalling. 0 otherwise.
    uint32_t packetType;
    // AVC and HEVC pictures: ms to add to the timestamp for the presentation time.
    int32_t compositionTime;
    // Tags with more than one track (multitrack): how many; the fields and
    // payloads describe the first. 1 otherwise.
    uint32_t trackCount;
} TagioFlvTag;

// ---- tag data layouts
// Video tags of the extended header (bit 0x80 of the first byte) and audio
// tags of SoundFormat 9 name their codec by a FourCC, which the codec fields
// hold as a big-endian number ('hvc1' = 0x68766331); no 4-bit codec id of the
// older header can equal one. Their payload pointers point at the codec's own
// bytes, past every header (a setup record, NAL units, OBUs, frames).
#define TAGIO_FOURCC(a, b, c, d) \
    (((uint32_t)(a) << 24) | ((uint32_t)(b) << 16) | ((uint32_t)(c) << 8) | (uint32_t)(d))
enum {
    TagioCodecAvc = 7,
    TagioCodecHevc = 12,   // HEVC by CodecID, laid out as AVC is
    TagioFourccHevc = TAGIO_FOURCC('h', 'v', 'c', '1'),
    TagioFourccAv1 = TAGIO_FOURCC('a', 'v', '0', '1'),
    TagioFourccVp9 = TAGIO_FOURCC('v', 'p', '0', '9'),
    TagioFourccOpus = TAGIO_FOURCC('O', 'p', 'u', 's'),
    TagioFourccFlac = TAGIO_FOURCC('f', 'L', 'a', 'C'),
    TagioFourccAc3 = TAGIO_FOURCC('a', 'c', '-', '3'),
    TagioFourccEac3 = TAGIO_FOURCC('e', 'c', '-', '3'),
    TagioFourccMp3 = TAGIO_FOURCC('.', 'm', 'p', '3'),
};
// The packet type of tags that carry neither setup nor media (video metadata,
// a command frame, a transport-stream start, a channel layout).
enum { TagioPacketNoMedia = 4 };

// Where a tag's codec data lies, in every header form.
typedef struct TagioTagLayout {
    uint32_t codec;            // video: CodecID or FourCC; audio: SoundFormat or FourCC
    uint32_t frameType;        // video: FrameType; 0 for audio
    uint32_t packetType;       // as in TagioFlvTag
    int32_t compositionTime;   // ms
    uint32_t payloadOffset;    // in the data: where the codec's own bytes begin
    uint32_t payloadSize;
    uint32_t extended;         // 1: the FourCC form
    uint32_t trackCount;       // 1 unless multitrack; at least the tracks begun within the bytes read
    uint32_t known;            // 0: a FourCC this reader does not know (codec holds it)
} TagioTagLayout;

// Reads the layout of an audio (8) or video (9) tag's data from its first
// `available` bytes (dataSize: the whole data's size). Nonzero when the
// headers are complete and consistent within those bytes; 0 otherwise, with
// what could be read filled in. Never reads past available.
TAGIO_API int Flv_ReadTagLayout(uint32_t type, const uint8_t* data, uint32_t available,
                                uint32_t dataSize, TagioTagLayout* layout);
// Nonzero for a FourCC codec of the layout above (codec fields beyond 15).
TAGIO_API int Flv_IsFourcc(uint32_t codec);
// Nonzero for codecs whose tags carry a packet type: AVC, HEVC, AAC (10)
// and every FourCC codec. type 8 audio, 9 video.
TAGIO_API int Flv_HasPacketType(uint32_t type, uint32_t codec);

// What a codec setup declares: an AVC, HEVC, AV1 or VP9 configuration
// record, an AAC AudioSpecificConfig, an Opus ID header or a FLAC STREAMINFO.
typedef struct TagioCodecSetup {
    int32_t codec;          // the layout's codec (CodecID, SoundFormat or FourCC)
    int32_t width, height;  // video: the visible picture (AV1: the largest one); 0 for VP9
    int32_t profile;        // video: the profile; AAC: the audio object type
    int32_t level;          // video: the level
    int32_t chromaFormat;   // video: 0 monochrome, 1 4:2:0, 2 4:2:2, 3 4:4:4
    int32_t bitDepth;       // video: luma bits per sample; FLAC: bits per sample
    int32_t sampleRate;     // sound: the coded sampling frequency (Opus: 48000, its decoding rate)
    int32_t channels;       // sound: 0 when a program configuration gives them
} TagioCodecSetup;

// Reads a codec setup from a tag's data (data, size: its codec byte first,
// in any header form). Nonzero when it is a complete, well-formed setup of
// one of the codecs above and *setup describes it; 0 otherwise, with
// *setup cleared. Never reads past size.
TAGIO_API int Flv_ReadCodecSetup(uint32_t type, const uint8_t* data, uint32_t size,
                                 TagioCodecSetup* setup);
// The picture size a VP9 key frame's header declares (frame: the codec's
// own bytes). Nonzero when the frame is a key frame with a readable header.
TAGIO_API int Flv_ReadVp9FrameSize(const uint8_t* frame, uint32_t size, int32_t* width,
                                   int32_t* height);
// The sample rate and channels of self-describing sound frames (AC-3,
// E-AC-3, MPEG audio), from the first frame header of the codec's bytes.
// Nonzero when one was found.
TAGIO_API int Flv_ReadSoundFrameFormat(uint32_t codec, const uint8_t* frames, uint32_t size,
                                       int32_t* sampleRate, int32_t* channels);

typedef struct TagioFileWriteAble TagioFileWriteAble;

// Creates (or empties) a file for writing; null when it cannot be created.
TAGIO_API TagioFileWriteAble* CreateFileWriteAble(const char* path);
// Writes what is buffered and closes the file. 1 when every byte written
// through the handle reached the file, 0 after any write error.
TAGIO_API int DeleteFileWritable(TagioFileWriteAble* h);
// Bytes written through the handle so far.
TAGIO_API int64_t FileWriteAble_GetSize(TagioFileWriteAble* h);
// Appends bytes [start, end) of `from` as they are, after what was written
// before; copied in the kernel where the file systems allow (cat's way).
// Nonzero on success; 0 when the file is shorter or a write failed.
TAGIO_API int FileWriteAble_CopyFrom(TagioFileWriteAble* h, TagioFileReadAble* from, int64_t start,
                                     int64_t end);

// Reads the header at the start of the file and positions the reader at the
// first tag. Nonzero when the header is a valid FLV header.
TAGIO_API int Flv_ReadHeader(TagioFileReadAble* h, TagioFlvHeader* header);
// Writes the header (DataOffset 9) and PreviousTagSize0; only as the first
// bytes of the file. Nonzero on success.
TAGIO_API int Flv_WriteHeader(TagioFileWriteAble* h, const TagioFlvHeader* header);
// Reads the tag at the reader's position and moves past it. load 1: the tag's
// header and data are copied into tag->buffer, which is reused when large
// enough and grown otherwise (so a loop allocates only while tags grow);
// load 0: only the header and the codec fields are read. Nonzero when a whole
// tag was read; 0 at the end of the file, for a tag cut short by the end of
// the file, or when memory runs out.
TAGIO_API int Flv_ReadTag(TagioFileReadAble* h, int load, TagioFlvTag* tag);
// Writes a loaded tag: its 11 header bytes and data from tag->buffer, then
// its PreviousTagSize. The header bytes are written as they are in the
// buffer (callers retime a tag there). Nonzero on success; 0 when the tag
// is not loaded or its header's DataSize differs from dataSize.
TAGIO_API int Flv_WriteTag(TagioFileWriteAble* h, const TagioFlvTag* tag);
// Frees the tag's buffer and clears the record.
TAGIO_API void Flv_FreeTag(TagioFlvTag* tag);
// Writes a tag just read from `from` (loaded or not) with a new timestamp,
// taking its data straight from the source file rather than through the
// tag's buffer. The data may be written later (at the writer's next write or
// close) but stays valid even if `from` is closed first. Nonzero on success.
TAGIO_API int Flv_CopyTag(TagioFileReadAble* from, const TagioFlvTag* tag, uint32_t timestamp,
                          TagioFileWriteAble* to);
// Copies the tags that lie one after another in [start, end) of `from`,
// adding `shift` to each timestamp (modulo 2^32) and writing each
// PreviousTagSize anew (a last one missing at the end of the file included),
// in large reads and writes rather than tag by tag. Stops at end, or at the
// end of the read (a tag boundary) that takes the copy `bytes` or more past
// start. Returns the position reached, or -1 when the bytes there are not
// whole tags ending at `end` (the file changed) or on a read or write error;
// the bytes written before a -1 are unspecified.
TAGIO_API int64_t Flv_CopyTags(TagioFileReadAble* from, int64_t start, int64_t end, uint32_t shift,
                               uint32_t bytes, TagioFileWriteAble* to);
// Writes the tag at `position` of `from` with a new timestamp, for a writer
// that walks the file through FileReadAble_View and has read the tag's 11
// header bytes itself (`header`). A tag that goes out byte for byte as it
// is runs on with its unchanged neighbours into one copy inside the kernel
// (copy_file_range, or reads and writes where the files do not allow it);
// a retimed tag's bytes go into the output's gathered write beside its new
// header straight from the reader's mapped view (read, a megabyte of the
// file at a time, where the view is not a mapping), never copied here; a
// file cut short under the view makes that write fail. The output holds its
// own descriptor of the file and the bytes it waits to write, so the
// reader may be closed first. trailerAgrees: the
// PreviousTagSize after the tag in the file is right (DataSize + 11), so it
// is copied with the data. Nonzero on success.
TAGIO_API int Flv_CopyViewedTag(TagioFileReadAble* from, const uint8_t* header, int64_t position,
                                uint32_t timestamp, int trailerAgrees, TagioFileWriteAble* to);

// ---- a tag walk kept from another reading
// What the walk of Flv_ReadHeader and Flv_ReadTag (load 0) would find in a
// file, gathered from the bytes another reader of it read anyway: hand the
// digest every stretch read, in order of position (gaps allowed where no
// tag header or codec field lies), then Finish. 16 bytes a tag.
typedef struct TagioTagDigest TagioTagDigest;
typedef struct TagioDigestCursor {
    uint64_t index;
    int64_t position;
} TagioDigestCursor;
// fileSize: the file's length as the reader found it.
TAGIO_API TagioTagDigest* Flv_DigestCreate(int64_t fileSize);
TAGIO_API void Flv_DigestDelete(TagioTagDigest* d);
TAGIO_API void Flv_DigestFeed(TagioTagDigest* d, int64_t position, const uint8_t* bytes, uint32_t count);
// Nonzero when the digest holds the whole walk: none of the bytes it needed
// went by unread and the walk came to its end.
TAGIO_API int Flv_DigestFinish(TagioTagDigest* d);
TAGIO_API int64_t Flv_DigestMemory(const TagioTagDigest* d);
// Puts the cursor on the first tag; returns its position (where
// Flv_ReadHeader leaves a reader), -1 without a digest.
TAGIO_API int64_t Flv_DigestBegin(const TagioTagDigest* d, TagioDigestCursor* c);
// The tag at the cursor as Flv_ReadTag with load 0 fills it, and moves on;
// *trailerAgrees (when given): 1 when the PreviousTagSize after it is
// DataSize + 11, 0 when it is not, -1 when the bytes read did not hold it.
// 0 where the walk ends.
TAGIO_API int Flv_DigestReadTag(const TagioTagDigest* d, TagioDigestCursor* c, TagioFlvTag* tag,
                                int* trailerAgrees);

// ---- FLV metadata (onMetaData)
// Reads the number property `name` of an onMetaData script tag's data (the
// name string "onMetaData" first), within the same limits as the parse of a
// whole file. Nonzero with *value set when the metadata is well formed and
// holds that property as a number; 0 otherwise.
TAGIO_API int Flv_ReadMetaNumber(const uint8_t* data, uint32_t size, const char* name,
                                 double* value);

typedef struct TagioFlvMeta TagioFlvMeta;

TAGIO_API TagioFlvMeta* FlvMetaCreateObject(void);
TAGIO_API void FlvMetaDeleteObject(TagioFlvMeta* m);
// Reads the whole file: the facts of its tags (duration, sizes, codecs,
// frame size and rate, audio facts, the key frames) and the properties of its
// onMetaData, whose AMF0 is parsed within fixed limits. Damaged metadata is
// set aside (a fresh one replaces it); a tag cut short by the end of the file
// ends the scan. Nonzero on success, 0 when the file cannot be read or is not FLV.
TAGIO_API int FlvMetaParseFromFile(TagioFlvMeta* m, const char* path);
// Writes the file again with one onMetaData as its first tag, holding the
// facts found by FlvMetaParseFromFile, a keyframes object (filepositions and
// times of every video key frame) and every other property the old metadata
// had. The new file is written beside the old one and renamed over it only
// when complete; when the file already holds exactly that metadata nothing
// is written. Fails (0) when the file changed since it was parsed.
TAGIO_API int FlvMetaUpdateToFile(TagioFlvMeta* m, const char* path);

// A writer that knows every tag it will write may give the metadata first
// and spare the rewrite: tell the object each tag (as it will be written,
// with its new timestamp) and the length of the last audio block, then write
// the metadata right after the header. FlvMetaUpdateToFile on the finished
// file then finds it up to date and writes nothing.
TAGIO_API void FlvMetaPlanTag(TagioFlvMeta* m, const TagioFlvTag* tag, uint32_t timestamp);
// units: 100 ns, as CalcFLVAudioBlockDuration gives it; negative when unknown.
TAGIO_API void FlvMetaPlanLastAudioBlock(TagioFlvMeta* m, int64_t units);
// Writes the planned onMetaData tag; only right after Flv_WriteHeader.
TAGIO_API int FlvMetaWritePlanned(TagioFlvMeta* m, TagioFileWriteAble* to);
// Nonzero when two objects planned the same metadata: a writer that also
// tells a second object what it really wrote learns this way that the
// metadata it gave first is the file's true one, with no need to read the
// file again.
TAGIO_API int FlvMetaSamePlan(TagioFlvMeta* a, TagioFlvMeta* b);

#ifdef __cplusplus
}
#endif
