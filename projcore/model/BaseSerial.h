#pragma once

#include <cstdint>

class CBaseSerialStream;

// What a loading clip reports: its file path (or "") and its state.
struct ClipLoadRecord {
    const char* path;
    int32_t state;  // 0 = loading starts, 1 = loaded, 2 = failed
};

// Called while an object loads: kind is "FLVClip" or "ImageClip", state repeats
// record->state.
using LoadCallback = void (*)(void* context, const char* kind, const ClipLoadRecord* record,
                              int32_t state);

// Everything in a project that is saved implements this.
class CBaseSerial {
public:
    // Writes the object at the stream's write position. Returns false only for
    // a null stream; other failures throw CBaseException with the object's code.
    // Writing does not clear the modified state: the file may still fail to be
    // written, and the edits must then still count as unsaved (see MarkSaved).
    virtual bool Serial(CBaseSerialStream* stream) = 0;
    // Reads the object at the stream's read position; same failure rule. A
    // successful load clears the modified state.
    virtual bool Deserial(CBaseSerialStream* stream) = 0;
    // Whether the object (or anything it holds) changed since its last
    // successful save or load.
    virtual bool IsModified() = 0;
    // Remembers a callback to call while loading; ignored when either is null.
    virtual void SetLoadCallback(void* context, LoadCallback callback) = 0;
    // The file holding what Serial last wrote is safely in place: clear the
    // modified state (containers pass it on to what they hold).
    virtual void MarkSaved() = 0;

    virtual ~CBaseSerial() = default;
};
