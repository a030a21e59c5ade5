#include "convert/SetupInBand.h"

#include "tagio/tagio.h"

namespace {

bool IsHevc(uint32_t codec) { return codec == TagioCodecHevc || codec == TagioFourccHevc; }

// Bytes of the NAL length in front of each NAL unit (1, 2 or 4), from the
// record; 0 when the record is too short to say.
uint32_t LengthSize(uint32_t codec, const uint8_t* record, uint32_t size) {
    if (codec == TagioCodecAvc) return size >= 5 ? (record[4] & 3) + 1u : 0;
    return size >= 22 ? (record[21] & 3) + 1u : 0;
}

// Appends one NAL unit behind its length; false when the length does not fit.
bool Append(const uint8_t* nal, uint32_t len, uint32_t lengthSize, std::vector<uint8_t>& out) {
    if (lengthSize < 4 && len >> (8 * lengthSize)) return false;
    for (uint32_t k = lengthSize; k-- > 0;) out.push_back(uint8_t(len >> (8 * k)));
    out.insert(out.end(), nal, nal + len);
    return true;
}

// avcC: version, profile, compatibility, level, NAL length size, then the
// sequence parameter sets and the picture parameter sets.
bool AvcSets(const uint8_t* p, uint32_t n, uint32_t lengthSize, std::vector<uint8_t>& out) {
    uint32_t pos = 5;
    for (int list = 0; list < 2; ++list) {
        if (pos >= n) return false;
        const uint32_t count = list == 0 ? p[pos] & 0x1F : p[pos];
        ++pos;
        for (uint32_t i = 0; i < count; ++i) {
            if (pos + 2 > n) return false;
            const uint32_t len = uint32_t(p[pos]) << 8 | p[pos + 1];
            pos += 2;
            if (len > n - pos || !Append(p + pos, len, lengthSize, out)) return false;
            pos += len;
        }
    }
    return true;
}

// hvcC: 22 bytes of profile, level and format, the number of arrays, then
// arrays of NAL units of one type each. The parameter sets (VPS 32, SPS 33,
// PPS 34) go in band; SEI and other arrays only describe the stream.
bool HevcSets(const uint8_t* p, uint32_t n, uint32_t lengthSize, std::vector<uint8_t>& out) {
    if (n < 23) return false;
    const uint32_t arrays = p[22];
    uint32_t pos = 23;
    for (uint32_t a = 0; a < arrays; ++a) {
        if (pos + 3 > n) return false;
        const uint32_t type = p[pos] & 0x3F;
        const uint32_t count = uint32_t(p[pos + 1]) << 8 | p[pos + 2];
        pos += 3;
        for (uint32_t i = 0; i < count; ++i) {
            if (pos + 2 > n) return false;
            const uint32_t len = uint32_t(p[pos]) << 8 | p[pos + 1];
            pos += 2;
            if (len > n - pos) return false;
            if (type >= 32 && type <= 34 && !Append(p + pos, len, lengthSize, out)) return false;
            pos += len;
        }
    }
    return true;
}

}  // namespace

bool HasParameterSetsInBand(uint32_t codec) { return codec == TagioCodecAvc || IsHevc(codec); }

bool SetupParameterSets(uint32_t codec, const uint8_t* record, uint32_t size, std::vector<uint8_t>& out) {
    out.clear();
    const uint32_t lengthSize = HasParameterSetsInBand(codec) ? LengthSize(codec, record, size) : 0;
    if (lengthSize == 0 || lengthSize == 3) return false;
    const bool ok = codec == TagioCodecAvc ? AvcSets(record, size, lengthSize, out)
                                           : HevcSets(record, size, lengthSize, out);
    if (!ok || out.empty()) {
        out.clear();
        return false;
    }
    return true;
}

uint32_t ParameterSetsOffset(uint32_t codec, const uint8_t* record, uint32_t recordSize, const uint8_t* payload,
                             uint32_t size) {
    const uint32_t lengthSize = LengthSize(codec, record, recordSize);
    if (lengthSize == 0 || size <= lengthSize) return 0;
    uint32_t len = 0;
    for (uint32_t k = 0; k < lengthSize; ++k) len = len << 8 | payload[k];
    if (len == 0 || len > size - lengthSize) return 0;
    const uint8_t header = payload[lengthSize];
    const bool delimiter = codec == TagioCodecAvc ? (header & 0x1F) == 9 : (header >> 1 & 0x3F) == 35;
    return delimiter ? lengthSize + len : 0;
}
