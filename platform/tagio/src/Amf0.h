// The AMF0 that onMetaData is written in: a bounded checker and reader for
// what files bring, and the few writers the metadata needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tagio::amf {

// Limits that keep a hostile file from costing more than its own size:
// nesting deeper than this or long strings longer than this are refused.
inline constexpr int kMaxDepth = 16;
inline constexpr uint32_t kMaxLongString = 1 << 20;
// Properties of one onMetaData beyond this count are refused as well.
inline constexpr size_t kMaxProperties = 1 << 16;

// One property of an onMetaData array: its name, and where its value's
// bytes lie in the parsed data.
struct Property {
    std::string name;
    size_t valueOffset = 0;
    size_t valueLength = 0;
    bool hasReference = false;   // the value refers to an earlier object
};

// Checks one AMF0 value at d[0..n). Returns the bytes it takes, or 0 when it
// is malformed, runs past n or breaks a limit. Sets hasReference when a
// reference appears anywhere inside it.
size_t ValueLength(const uint8_t* d, size_t n, int depth, bool& hasReference);

// Whether script data begins with the name string "onMetaData".
bool IsOnMetaData(const uint8_t* d, size_t n);

// Parses the data of an onMetaData script tag: the name, then an ECMA array
// or an object of properties. False when malformed or over a limit.
bool ParseOnMetaData(const uint8_t* d, size_t n, std::vector<Property>& properties);

void PutNumber(std::vector<uint8_t>& out, double v);
void PutBool(std::vector<uint8_t>& out, bool v);
void PutString(std::vector<uint8_t>& out, const std::string& s);   // short string value
void PutKey(std::vector<uint8_t>& out, const std::string& name);   // property name
void PutObjectEnd(std::vector<uint8_t>& out);

}  // namespace tagio::amf
