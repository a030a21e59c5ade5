#pragma once

// Records that cross the engine boundary by pointer in a message's p1.
// The receiver of a query checks p2 against sizeof of the record.

#include <climits>
#include <cstddef>  // offsetof in the watermark records
#include <cstdint>

// Buffers that carry a path (the host's answers to the file-name questions and
// the project path query) are this large; a longer path is refused, never cut.
inline constexpr int kPathBufferSize = PATH_MAX;

// A rectangle or a set of margins (left, top, right, bottom), in pixels;
// right and bottom are exclusive.
struct Rect {
    int32_t left, top, right, bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};
static_assert(sizeof(Rect) == 16);

// p1 of 210021008: a media file's facts. The caller sets path; the engine
// fills the rest (the FLV part for FLV files, the image part for pictures)
// and leaves every output zero when the file cannot be examined.
struct MediaFileInfo {
    const char* path;         // in: UTF-8
    uint32_t duration;        // milliseconds
    uint8_t isFlv;            // the name ends in "flv", any case
    int32_t version;          // FLV version
    int32_t videoCodec;       // FLV codec number (a FourCC's, see CodecNames.h), -1 without video
    int32_t width;
    int32_t height;
    int32_t tracks;           // multitrack files: the most tracks one tag holds (the first is played); else 1
    double frameRate;
    int32_t videoDataRate;
    int32_t audioFormat;      // FLV sound format (a FourCC's, see CodecNames.h), -1 without audio
    int32_t audioDataRate;
    int32_t sampleRate;       // Hz
    int32_t bitsPerSample;
    int32_t channels;
    char imageFormat[16];     // "BMP", "GIF", "Icon", "JPEG", "PNG", "TIFF"
    int32_t frameCount;       // 1 for a still picture
    int32_t imageWidth;
    int32_t imageHeight;
    int32_t reserved2;
    double imageFrameRate;
};

// ---- Sequence manager records (commands 210170101 - 210170121 and
// notifications 110170101 - 110170118). Kinds: 0 a sequence, 1 a clip.
// Paths are UTF-8. Records holding pointers have the natural layout.

// 210170101: import files as a new sequence.
struct TImportedFiles {
    const char* seqName;
    int32_t insertPos;          // -1 appends
    const char* const* paths;
    int32_t count;
    const char* destName;
    int32_t imageLength;        // milliseconds, passed through
};

// 210170119: add files to an existing sequence.
struct TAddFilesToSeq {
    int32_t sequence;
    int32_t position;  // -1 appends
    const char* const* paths;
    int32_t count;
};

// 210170102, 110170101, 110170102.
struct TSeqSelection {
    int32_t kind;
    int32_t sequence;  // -1 none
    int32_t clip;      // -1 none
};
static_assert(sizeof(TSeqSelection) == 12);

// 210170104, 110170104, 110170105, 110170113, 110170116. object is the
// engine's sequence or clip (only to tell items apart; never dereferenced by
// the shell).
struct TSeqItem {
    void* object;
    int32_t kind;
    int32_t sequence;
    int32_t clip;  // -1 for a sequence
};

// 210170103: put a sequence or clip (one the trash handed back) into the list.
struct TSeqInsertItem {
    void* object;
    int32_t kind;
    int32_t sequence;      // -1: a new position at the end
    int32_t clipPosition;  // -1 appends
    const char* seqName;   // with destName: the clip goes into a new sequence
    const char* destName;
};

// 210170106, 110170107.
struct TSeqExchange {
    uint8_t clips;  // 1 two clips, 0 two sequences
    int32_t sequenceA, clipA, sequenceB, clipB;
};
static_assert(sizeof(TSeqExchange) == 20);

struct TSeqClipArr {
    int32_t sequence;
    int32_t clip;  // -1 for a whole sequence (delete list)
};
static_assert(sizeof(TSeqClipArr) == 8);

// 210170107, 110170108.
struct TSeqMerge {
    int32_t copy;  // 1 copies the clips, 0 moves them
    const TSeqClipArr* items;
    int32_t count;
    const char* seqName;
    const char* destName;
};

// 210170108: key 0 sequence name, 1 play length, 2 destination name.
struct TSeqSort {
    int32_t key;
    uint8_t flag;
    uint8_t unused[11];
};
static_assert(sizeof(TSeqSort) == 16);

// 110170109: order[i] is the position before the sort of the sequence now at i.
struct TSeqSorted {
    int32_t key;
    uint8_t flag;
    const int32_t* order;
    int32_t count;
};

// 210170114: move sequences (sequence -1) or clips of one sequence.
struct TSeqMove {
    int32_t target;  // index before which the items go, -1 the end
    const int32_t* indices;
    int32_t count;
    int32_t sequence;
};

// 210170109, 210170110, 110170110, 110170111: property numbers 0 destination
// name, 1 track, 2 album, 3 title, 4 year, 5 author, 6 copyright, 7 comment,
// 8 sequence name.
struct TSeqProperty {
    int32_t sequence;
    int32_t property;
    const char* text;  // in for set, out for get
};

// 210170111 (value: MediaFileInfo* to fill), 210170116 (value: milliseconds),
// 210170121 (value: receives const char* of the clip's path).
struct TSeqClipQuery {
    int32_t sequence;
    int32_t clip;
    intptr_t value;
};

// 110170117: import progress; the host may set continueImport to 0 before a file.
struct TImportProgress {
    int32_t index;
    int32_t count;
    const char* path;
    int32_t continueImport;
};

// 110170103.
struct TImportDone {
    const char* seqName;
    int32_t position;
    const char* const* addedPaths;
    int32_t addedCount;
    const char* destName;
    int32_t imageLength;
};

// 110170114: a file could not be opened. codes points to the reader cache's
// result (10070001 unsupported codecs, 10070002 not an FLV file ...); detail
// to the file's 64-byte stream description.
struct TAddFailure {
    const char* const* paths;
    int32_t count;
    const int32_t* codes;
    const void* detail;
};

// 110170118.
struct TFilesAdded {
    const char* const* paths;
    int32_t count;
};

// p1 of 110020102 and 110020105 - 110020107: one entry of the imported list
// or of the trash.
struct ResourceInfo {
    const char* name;  // imported: the file; trash: the clip's path or the sequence's output name
    void* object;      // the trashed clip or sequence (pass it back with 210170103); null for imported files
    int32_t type;      // imported: 0 an FLV file, 1 another file; trash: 2 a clip, 3 a sequence
    uint32_t index;    // the entry's position in the list
};

// Apply-to targets of the clip edit manager: one clip (single != 0) or every
// clip of one sequence.
struct EditTarget {
    int32_t single;
    int32_t sequence;
    int32_t clip;
};
static_assert(sizeof(EditTarget) == 12);

// 210581109: a picture shown with one named effect (the effect list's
// thumbnails). pixels: width x height BGRA, top row first, width * 4 bytes per
// row, changed in place. done: 1 when the effect ran, 0 for an unknown name or
// a size out of range (the pixels are then left as they were).
struct EditEffectPicture {
    const char* effectName;
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    int32_t done;
};

// A point on the preview, window pixels.
struct EditPoint {
    int32_t x, y;
};
static_assert(sizeof(EditPoint) == 8);

// 210581303: the selected clip's trim, milliseconds.
struct EditTrim {
    uint32_t start, end, duration;
};
static_assert(sizeof(EditTrim) == 12);

// 210581304: the selected clip's effect settings.
struct EditEffects {
    const char* effectName;  // valid until the next command
    int32_t flipIndex;
    int32_t deinterlaceIndex;
    uint32_t volume;
    uint32_t contrast;
    uint32_t brightness;
};

// p1 of 210581501: what the preview opens. kind: 0 an FLV file, 1 a picture
// file, 2 a clip the engine handed out, 3 a sequence (shows nothing).
struct PlayerOpenRequest {
    const char* path;
    void* clip;
    int32_t kind;
    int32_t id;  // the sender's own number, not read
};

// p1 of 110581201: why an open failed. info, for kind 0, points to the file's
// 64-byte stream description as far as it could be read.
struct PlayerOpenFailure {
    const char* path;
    int32_t code;
    int32_t kind;
    const void* info;
};

// One output profile as the user adjusted it, from the output settings
// dialog to the conversion engine (210581602). A fixed 136-byte layout: the
// record crosses the program/engine boundary. Codec fields hold avkit codec
// identifiers; -1 means the output has no such stream.
struct OutputSettings {
    char fileFormat[32];   // "flvbind", "asf", "bmp", "png", "jpeg" or an avkit writer format; any case
    char fileExt[32];      // extension of the output files
    int32_t audioCodec;
    int32_t sampleRate;    // Hz
    int32_t audioBitRate;  // bit/s
    int32_t channels;
    int32_t videoCodec;
    int32_t width;         // -1: the source size
    int32_t height;
    int32_t videoBitRate;  // bit/s
    int32_t bitRateTolerance;
    int32_t reserved1;
    double frameRate;      // 0: the source rate
    double aspectRatio;    // 0: none
    uint32_t fourCC;       // first character in the lowest byte; 0 none
    int32_t videoParameter;
    int32_t scaling;       // 0 stretch, 2 letterbox
    int32_t cutMode;       // outputs copied without re-encoding: 0 exact trim starts, 1 from the key frame before
};
static_assert(sizeof(OutputSettings) == 136);
static_assert(offsetof(OutputSettings, audioCodec) == 64 && offsetof(OutputSettings, frameRate) == 104 &&
              offsetof(OutputSettings, fourCC) == 120 && offsetof(OutputSettings, scaling) == 128);

// p1 of 110581401 while a project file loads (p2 = sizeof(LoadProgress)).
struct LoadProgress {
    const char* path;   // the clip's file path (UTF-8); "" in the final message
    int32_t state;      // 0 = starts loading, 1 = loaded, 2 = failed
    uint32_t total;     // clips the project file announces
    uint32_t done;      // clips finished before this message
};

// Answers of the host to 210581404 (unsaved changes). Anything else is taken
// as a cancel: the engine never discards edits on an answer it does not know.
enum SaveChangesAnswer : int32_t {
    kSaveChangesDiscard = 0,
    kSaveChangesSave = 1,
    kSaveChangesCancel = 2,
};

// ---- Watermarks -------------------------------------------------------------
// Records of the watermark commands (210581001 - 210581016) and notifications
// (4361, 4366). Strings are UTF-8. A record holding a pointer has the natural
// layout of the machine; the others keep their fixed byte layout.

// 210581001, 210581002, 210581003, 210581005: a path or a text going in.
struct WaterMarkString {
    uint32_t index;
    const char* text;
};

// 210581004: the picture's path comes back in a kPathBufferSize-byte buffer.
struct WaterMarkPathBuffer {
    uint32_t index;
    char* buffer;
};

// 210581006: the text comes back in buffer, cut at a character boundary to fit size.
struct WaterMarkTextBuffer {
    uint32_t index;
    char* buffer;
    uint32_t size;
};

// 210581007, 210581008. Origin: anchor cell of a 3 x 3 grid, 0 top-left ... 8 bottom-right.
struct WaterMarkPosition {
    uint32_t index;
    int16_t origin;
    int16_t xOffset;
    int16_t yOffset;
    uint16_t reserved;
};
static_assert(sizeof(WaterMarkPosition) == 12 && offsetof(WaterMarkPosition, yOffset) == 8);

// 210581009, 210581010: times in milliseconds of clip time, fades in seconds.
struct WaterMarkTiming {
    uint32_t index;
    uint32_t startTime;
    uint32_t endTime;
    float fadeIn;
    float fadeOut;
};
static_assert(sizeof(WaterMarkTiming) == 20);

// 210581011, 210581012 (image watermarks only).
struct WaterMarkSize {
    uint32_t index;
    uint16_t width;
    uint16_t height;
    uint8_t isOrgScale;  // keep the picture's width:height ratio
    uint8_t reserved[3];
};
static_assert(sizeof(WaterMarkSize) == 12 && offsetof(WaterMarkSize, isOrgScale) == 8);

// 210581013, 210581014. transparent: bytes red, green, blue, flag (255: no see-through colour).
struct WaterMarkTransparency {
    uint32_t index;
    uint8_t alpha;
    uint8_t transparent[4];
    uint8_t tolerance;
    uint8_t reserved[2];
};
static_assert(sizeof(WaterMarkTransparency) == 12 && offsetof(WaterMarkTransparency, tolerance) == 9);

// 210581015, 210581016. fontStyle: 0 regular, 1 italic, 2 bold, 3 bold italic;
// textColor: bytes red, green, blue, unused.
struct WaterMarkTextStyle {
    uint32_t index;
    char font[64];
    uint16_t textSize;  // points
    uint8_t textColor[4];
    uint8_t reserved1[2];
    uint32_t fontStyle;
    uint8_t isStrikeOut;
    uint8_t isUnderLine;
    uint8_t reserved2[2];
};
static_assert(sizeof(WaterMarkTextStyle) == 84 && offsetof(WaterMarkTextStyle, textColor) == 70 &&
              offsetof(WaterMarkTextStyle, fontStyle) == 76 && offsetof(WaterMarkTextStyle, isUnderLine) == 81);

// p1 of 4361: the watermark's offsets and size in frame pixels.
struct WaterMarkPlace {
    int32_t xOffset, yOffset, width, height;
};
static_assert(sizeof(WaterMarkPlace) == 16);

// p1 of 4366: a watermark moved in the list.
struct WaterMarkMove {
    uint32_t from, to;
};
static_assert(sizeof(WaterMarkMove) == 8);
// ---- end of watermarks ------------------------------------------------------

// ---- conversion manager records ---------------------------------------------
// Task states in PvxTaskState and the manager's tables.
enum PvxTaskStateValue : int32_t {
    kPvxStopped = 0,
    kPvxPaused = 1,
    kPvxFinished = 2,
    kPvxConverting = 3,
    kPvxFailed = 4,
    kPvxWaiting = 5,
};
// Actions of kConvTaskAction.
enum PvxAction : int32_t { kPvxStop = 0, kPvxPause = 1, kPvxStopQuietly = 2, kPvxResume = 3 };

struct PvxTaskFolder {
    int32_t task;
    const char* folder;   // UTF-8, with or without a trailing "/"
};
struct PvxPreviewTask {
    int32_t task;    // -1: no task shows frames
    int32_t shown;
};
static_assert(sizeof(PvxPreviewTask) == 8);
struct PvxTaskAction {
    int32_t task;
    int32_t action;  // PvxAction
};
struct PvxTaskProgress {
    int32_t task;
    int32_t* position;  // out, ms
    int32_t* total;     // out, ms
};
struct PvxSizeEstimate {
    int32_t task;
    int32_t reserved;
    int64_t* bytes;     // out
};
struct PvxTaskAdded {
    int32_t task;
    int32_t newName;
    int32_t existingFilePolicy;
    char destinationName[260];  // UTF-8, zero-terminated (cut at a character boundary)
};
static_assert(sizeof(PvxTaskAdded) == 272);
struct PvxTaskState {
    int32_t task;
    int32_t state;   // PvxTaskStateValue
};
static_assert(sizeof(PvxTaskState) == 8);
struct PvxProgress {
    int32_t task;
    int32_t position;  // ms
    int32_t total;     // ms
};
static_assert(sizeof(PvxProgress) == 12);
struct PvxTaskOutput {
    int32_t task;
    const char* path;  // UTF-8: the file written (a picture series: its folder)
};
// ---- end of conversion manager records --------------------------------------

// ---- repair of damaged FLV recordings (kProjectRepairFlv) -------------------
// One fix the repair made, in the order of the input file.
struct FlvRepairFixRecord {
    int32_t kind;            // 1 damaged region, 2 truncated tail, 3 time jump, 4 steps back,
                             // 5 repeated setup, 6 setup change, 7 until key frame,
                             // 8 no setup, 9 extra onMetaData, 10 bad setup
    int32_t output;          // the output it concerns, from 0
    int64_t offset;          // input file offset
    int64_t streamTime;      // ms in the input, -1 when none
    int64_t outputTime;      // ms in the output
    int64_t droppedBytes;
    int32_t droppedTags;
    int32_t steps;           // kind 4: steps back held
    int64_t amount;          // kind 3: the raw step closed up, kind 4: the longest hold (ms)
    const char* kindName;    // "damaged-region", "time-jump" ...
};
// One output written whole under its final name (or one that failed: ok 0, path null).
struct FlvRepairOutputRecord {
    int32_t index;
    int32_t ok;
    int64_t bytes;
    int64_t durationMs;
    int32_t videoFrames;
    int32_t audioBlocks;
    const char* path;        // UTF-8, valid during the call
};
enum FlvRepairResult : int32_t {
    kFlvRepairDone = 0,
    kFlvRepairCannotOpen = 1,
    kFlvRepairNotFlv = 2,
    kFlvRepairNothingKept = 3,
    kFlvRepairWriteFailed = 4,
    kFlvRepairInputChanged = 6,
    kFlvRepairOutOfMemory = 7,
    kFlvRepairOutputIsInput = 8,
    kFlvRepairStopped = 9,      // onProgress asked to stop: no half-written output is left
};
struct FlvRepairRequest {
    const char* input;          // in: UTF-8
    const char* outputFolder;   // in: where the repaired files go; null or "": the current folder
    void* user;
    void (*onFix)(void* user, const FlvRepairFixRecord* fix);           // may be null
    void (*onOutput)(void* user, const FlvRepairOutputRecord* output);  // may be null
    // May be null. Bytes done of total across the repair's two passes (total
    // is twice the input's size: one bar runs once from 0 to total), about
    // once per megabyte read and at the end of each pass. Nonzero stops the
    // repair soon after: kFlvRepairStopped, the output being written removed,
    // outputs already whole kept.
    int32_t (*onProgress)(void* user, int64_t done, int64_t total);
    int32_t result;             // out: FlvRepairResult
    int32_t outputs;            // out: files written whole
    char error[512];            // out: the reason, UTF-8, "" when done or stopped
};
// ---- end of repair records ---------------------------------------------------
