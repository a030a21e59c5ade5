#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A typed, hierarchical store of named values. Writers append named values at
// the write position and open nested groups; readers find values by name under
// the read position, so order does not matter for reading and a missing value
// fails only its own read. Every operation answers true when done.
//
// Arrays are groups whose children are the items; writers name the items by
// index without gaps ("ArrNo0", "ArrNo1", …) and readers look them up by those
// names.
class CBaseSerialStream {
public:
    virtual bool BeginGroup(const char* name) = 0;
    virtual bool PutChar(const char* name, int8_t value) = 0;
    virtual bool PutUChar(const char* name, uint8_t value) = 0;
    virtual bool PutShort(const char* name, int16_t value) = 0;
    virtual bool PutUShort(const char* name, uint16_t value) = 0;
    virtual bool PutInt(const char* name, int32_t value) = 0;
    virtual bool PutUInt(const char* name, uint32_t value) = 0;
    virtual bool PutInt64(const char* name, int64_t value) = 0;
    virtual bool PutUInt64(const char* name, uint64_t value) = 0;
    virtual bool PutFloat(const char* name, float value) = 0;
    virtual bool PutDouble(const char* name, double value) = 0;
    virtual bool PutString(const char* name, const char* text) = 0;
    // Base64 of the bytes; refused for size 0.
    virtual bool PutBinary(const char* name, const void* bytes, size_t size) = 0;
    // Fixed-size values stored as Base64 of their bytes in memory order: an
    // 8-byte value, a rectangle of four int32, a colour.
    virtual bool Put8(const char* name, const void* value8) = 0;
    virtual bool Put16(const char* name, const void* value16) = 0;
    virtual bool Put4(const char* name, const void* value4) = 0;
    virtual bool EndGroup() = 0;
    virtual bool BeginArray(const char* name) = 0;
    virtual bool BeginArrayItem(const char* name) = 0;
    virtual bool EndArrayItem() = 0;
    virtual bool EndArray() = 0;

    virtual bool OpenGroup(const char* name) = 0;
    virtual bool GetChar(const char* name, int8_t& value) = 0;
    virtual bool GetUChar(const char* name, uint8_t& value) = 0;
    virtual bool GetShort(const char* name, int16_t& value) = 0;
    virtual bool GetUShort(const char* name, uint16_t& value) = 0;
    virtual bool GetInt(const char* name, int32_t& value) = 0;
    virtual bool GetUInt(const char* name, uint32_t& value) = 0;
    virtual bool GetInt64(const char* name, int64_t& value) = 0;
    virtual bool GetUInt64(const char* name, uint64_t& value) = 0;
    virtual bool GetFloat(const char* name, float& value) = 0;
    virtual bool GetDouble(const char* name, double& value) = 0;
    // Empty (and true) for an element without text.
    virtual bool GetString(const char* name, std::string& text) = 0;
    virtual bool GetBinary(const char* name, std::vector<uint8_t>& bytes) = 0;
    // Each requires exactly its number of decoded bytes.
    virtual bool Get8(const char* name, void* value8) = 0;
    virtual bool Get16(const char* name, void* value16) = 0;
    virtual bool Get4(const char* name, void* value4) = 0;
    virtual bool CloseGroup() = 0;
    virtual bool OpenArray(const char* name, uint32_t& count) = 0;
    virtual bool OpenArrayItem(const char* name) = 0;
    virtual bool CloseArrayItem() = 0;
    virtual bool CloseArray() = 0;

    virtual ~CBaseSerialStream() = default;
};
