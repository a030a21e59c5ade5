#pragma once

#include <cstdint>
#include <string>

// The engine's exception: an eight-digit code and the text given when it was
// raised. Thrown by value; the handler that received the command catches it and
// tells the host by a notification.
class CBaseException {
public:
    explicit CBaseException(int32_t code, const char* text = nullptr)
        : code_(code), text_(text ? text : "") {}
    virtual ~CBaseException() = default;

    int32_t Code() const { return code_; }
    const std::string& Text() const { return text_; }

private:
    int32_t code_;
    std::string text_;
};

// Error codes raised inside the engine.
namespace errcode {
inline constexpr int32_t kInvalidProjectFormat = 1000;
inline constexpr int32_t kSerialFLVSequence = 10170011;
inline constexpr int32_t kDeserialFLVSequence = 10170012;
inline constexpr int32_t kSerialFLVSequenceManager = 10170013;
inline constexpr int32_t kDeserialFLVSequenceManager = 10170014;
inline constexpr int32_t kSerialFlvClip = 10170015;
inline constexpr int32_t kDeserialFlvClip = 10170016;
inline constexpr int32_t kSerialImageClip = 10170017;
inline constexpr int32_t kDeserialImageClip = 10170018;
inline constexpr int32_t kSerialImportedResources = 10580008;
inline constexpr int32_t kDeserialImportedResources = 10580009;
inline constexpr int32_t kSerialTrash = 10580010;
inline constexpr int32_t kDeserialTrash = 10580011;
inline constexpr int32_t kTrashResourceType = 10580012;
inline constexpr int32_t kSerialEffects = 10580013;
inline constexpr int32_t kDeserialEffects = 10580014;
inline constexpr int32_t kSerialTrimOrCrop = 10580015;
inline constexpr int32_t kDeserialTrim = 10580016;
inline constexpr int32_t kCropElement = 10580017;
inline constexpr int32_t kCreateMessageManager = 10580019;
inline constexpr int32_t kSaveProject = 10580020;
inline constexpr int32_t kExamineMedia = 10580022;
// Watermarks.
inline constexpr int32_t kSerialWaterMarkMgr = 10580001;
inline constexpr int32_t kSerialWaterMarks = 10580002;
inline constexpr int32_t kDeserialWaterMarkMgr = 10580003;
inline constexpr int32_t kDeserialWaterMarks = 10580004;
inline constexpr int32_t kSerialWaterMark = 10580005;
inline constexpr int32_t kDeserialWaterMark = 10580006;
inline constexpr int32_t kCreateDrawer = 10580007;
// End of watermarks.
}  // namespace errcode
