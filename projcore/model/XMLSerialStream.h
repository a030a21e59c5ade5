#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/BaseSerialStream.h"

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
}  // namespace tinyxml2

// The serial stream kept as an XML document: every value is an element whose
// text is the value, every group an element. A new stream holds the
// declaration and the root element "stream"; it serves one save or one load.
class CXMLSerialStream : public CBaseSerialStream {
public:
    CXMLSerialStream();
    ~CXMLSerialStream() override;

    // Replaces the document with the file's; refused when the file does not
    // parse or has no top-level "stream" element (the stream is then unchanged).
    bool LoadFromFile(const char* path);
    // Writes the document so that an existing file is never left half-written:
    // a temporary file in the same folder is written, flushed to disk, then
    // renamed over the target. False (and the target untouched) on any failure.
    bool SaveToFile(const char* path);
    // The printed document, as SaveToFile would write it.
    std::string ToText() const;

    bool BeginGroup(const char* name) override;
    bool PutChar(const char* name, int8_t value) override;
    bool PutUChar(const char* name, uint8_t value) override;
    bool PutShort(const char* name, int16_t value) override;
    bool PutUShort(const char* name, uint16_t value) override;
    bool PutInt(const char* name, int32_t value) override;
    bool PutUInt(const char* name, uint32_t value) override;
    bool PutInt64(const char* name, int64_t value) override;
    bool PutUInt64(const char* name, uint64_t value) override;
    bool PutFloat(const char* name, float value) override;
    bool PutDouble(const char* name, double value) override;
    bool PutString(const char* name, const char* text) override;
    bool PutBinary(const char* name, const void* bytes, size_t size) override;
    bool Put8(const char* name, const void* value8) override;
    bool Put16(const char* name, const void* value16) override;
    bool Put4(const char* name, const void* value4) override;
    bool EndGroup() override;
    bool BeginArray(const char* name) override { return BeginGroup(name); }
    bool BeginArrayItem(const char* name) override { return BeginGroup(name); }
    bool EndArrayItem() override { return EndGroup(); }
    bool EndArray() override { return EndGroup(); }

    bool OpenGroup(const char* name) override;
    bool GetChar(const char* name, int8_t& value) override;
    bool GetUChar(const char* name, uint8_t& value) override;
    bool GetShort(const char* name, int16_t& value) override;
    bool GetUShort(const char* name, uint16_t& value) override;
    bool GetInt(const char* name, int32_t& value) override;
    bool GetUInt(const char* name, uint32_t& value) override;
    bool GetInt64(const char* name, int64_t& value) override;
    bool GetUInt64(const char* name, uint64_t& value) override;
    bool GetFloat(const char* name, float& value) override;
    bool GetDouble(const char* name, double& value) override;
    bool GetString(const char* name, std::string& text) override;
    bool GetBinary(const char* name, std::vector<uint8_t>& bytes) override;
    bool Get8(const char* name, void* value8) override;
    bool Get16(const char* name, void* value16) override;
    bool Get4(const char* name, void* value4) override;
    bool CloseGroup() override;
    bool OpenArray(const char* name, uint32_t& count) override;
    bool OpenArrayItem(const char* name) override { return OpenGroup(name); }
    bool CloseArrayItem() override { return CloseGroup(); }
    bool CloseArray() override { return CloseGroup(); }

private:
    // Appends element `name` with `text` (no text node when text is empty).
    bool PutText(const char* name, const char* text);
    // The text of the first child of element `name` under the read position;
    // null when there is no such element or it has no text.
    const char* ValueText(const char* name) const;
    bool GetFixed(const char* name, void* out, size_t size);
    template <class T> bool GetSigned(const char* name, T& value);
    template <class T> bool GetUnsigned(const char* name, T& value);

    std::unique_ptr<tinyxml2::XMLDocument> document_;
    std::vector<tinyxml2::XMLElement*> writeStack_;
    std::vector<tinyxml2::XMLElement*> readStack_;
};
