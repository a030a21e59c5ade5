// Every length read from the data is checked against the bytes left before it
// is used, and recursion stops at kMaxDepth, so no input can read out of
// bounds, allocate by a claimed count or exhaust the stack.
#include "Amf0.h"

#include <cstring>

namespace tagio::amf {
namespace {

enum Marker : uint8_t {
    kNumber = 0, kBoolean = 1, kString = 2, kObject = 3, kMovieClip = 4, kNull = 5,
    kUndefined = 6, kReference = 7, kEcmaArray = 8, kObjectEnd = 9, kStrictArray = 10,
    kDate = 11, kLongString = 12, kUnsupported = 13, kRecordSet = 14, kXmlDocument = 15,
    kTypedObject = 16,
};

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A property name (u16 length and bytes); 0 when it does not fit.
size_t KeyLength(const uint8_t* d, size_t n) {
    if (n < 2) return 0;
    const size_t len = Be16(d);
    return len + 2 <= n ? len + 2 : 0;
}

// Properties up to and including the end marker (an empty name and 9).
// Returns the bytes taken or 0.
size_t PropertiesLength(const uint8_t* d, size_t n, int depth, bool& hasReference) {
    size_t at = 0;
    for (;;) {
        const size_t key = KeyLength(d + at, n - at);
        if (!key) return 0;
        if (key == 2) {   // empty name: must be the end marker
            if (at + 3 > n || d[at + 2] != kObjectEnd) return 0;
            return at + 3;
        }
        at += key;
        const size_t value = ValueLength(d + at, n - at, depth + 1, hasReference);
        if (!value) return 0;
        at += value;
    }
}

}  // namespace

size_t ValueLength(const uint8_t* d, size_t n, int depth, bool& hasReference) {
    if (n == 0 || depth > kMaxDepth) return 0;
    const uint8_t* p = d + 1;
    const size_t left = n - 1;
    switch (d[0]) {
        case kNumber: return left >= 8 ? 9 : 0;
        case kBoolean: return left >= 1 ? 2 : 0;
        case kString: {
            if (left < 2) return 0;
            const size_t len = Be16(p);
            return len + 2 <= left ? len + 3 : 0;
        }
        case kLongString:
        case kXmlDocument: {
            if (left < 4) return 0;
            const uint32_t len = Be32(p);
            if (len > kMaxLongString || len + size_t(4) > left) return 0;
            return len + 5;
        }
        case kNull:
        case kUndefined:
        case kUnsupported: return 1;
        case kReference:
            if (left < 2) return 0;
            hasReference = true;
            return 3;
        case kDate: return left >= 10 ? 11 : 0;
        case kObject: {
            const size_t body = PropertiesLength(p, left, depth, hasReference);
            return body ? body + 1 : 0;
        }
        case kTypedObject: {
            const size_t name = KeyLength(p, left);
            if (!name) return 0;
            const size_t body = PropertiesLength(p + name, left - name, depth, hasReference);
            return body ? body + name + 1 : 0;
        }
        case kEcmaArray: {
            if (left < 4) return 0;   // the count is only a hint; the end marker ends it
            const size_t body = PropertiesLength(p + 4, left - 4, depth, hasReference);
            return body ? body + 5 : 0;
        }
        case kStrictArray: {
            if (left < 4) return 0;
            // Each element takes at least one byte, so a count larger than the
            // bytes left is refused before any element is read.
            const uint32_t count = Be32(p);
            if (count > left - 4) return 0;
            size_t at = 4;
            for (uint32_t i = 0; i < count; ++i) {
                const size_t v = ValueLength(p + at, left - at, depth + 1, hasReference);
                if (!v) return 0;
                at += v;
            }
            return at + 1;
        }
        default:   // movie clip, record set, AVM+ and unknown markers
            return 0;
    }
}

bool IsOnMetaData(const uint8_t* d, size_t n) {
    static const char kName[] = "onMetaData";
    return n >= 13 && d[0] == kString && Be16(d + 1) == 10 && std::memcmp(d + 3, kName, 10) == 0;
}

bool ParseOnMetaData(const uint8_t* d, size_t n, std::vector<Property>& properties) {
    properties.clear();
    if (!IsOnMetaData(d, n)) return false;
    size_t at = 13;
    if (at >= n) return false;
    if (d[at] == kEcmaArray) {
        if (n - at < 5) return false;
        at += 5;
    } else if (d[at] == kObject) {
        at += 1;
    } else {
        return false;
    }
    for (;;) {
        // Some writers leave the end marker out: the data's end closes the array.
        if (at == n) return true;
        const size_t key = KeyLength(d + at, n - at);
        if (!key) return false;
        if (key == 2) return at + 3 <= n && d[at + 2] == kObjectEnd;
        if (properties.size() >= kMaxProperties) return false;
        Property prop;
        prop.name.assign(reinterpret_cast<const char*>(d + at + 2), key - 2);
        at += key;
        const size_t value = ValueLength(d + at, n - at, 1, prop.hasReference);
        if (!value) return false;
        prop.valueOffset = at;
        prop.valueLength = value;
        properties.push_back(std::move(prop));
        at += value;
    }
}

void PutNumber(std::vector<uint8_t>& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    out.push_back(kNumber);
    for (int i = 7; i >= 0; --i) out.push_back(uint8_t(bits >> (i * 8)));
}

void PutBool(std::vector<uint8_t>& out, bool v) {
    out.push_back(kBoolean);
    out.push_back(v ? 1 : 0);
}

void PutKey(std::vector<uint8_t>& out, const std::string& name) {
    const size_t len = name.size() > 0xFFFF ? 0xFFFF : name.size();
    out.push_back(uint8_t(len >> 8));
    out.push_back(uint8_t(len));
    out.insert(out.end(), name.begin(), name.begin() + long(len));
}

void PutString(std::vector<uint8_t>& out, const std::string& s) {
    out.push_back(kString);
    PutKey(out, s);
}

void PutObjectEnd(std::vector<uint8_t>& out) {
    out.push_back(0);
    out.push_back(0);
    out.push_back(kObjectEnd);
}

}  // namespace tagio::amf
