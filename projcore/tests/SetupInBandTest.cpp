// Parameter sets taken from H.264 and HEVC configuration records to go in
// band: what is taken, in which form, and records that cannot be trusted.
#include <gtest/gtest.h>

#include <vector>

#include "convert/SetupInBand.h"
#include "tagio/tagio.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An hvcC: 22 bytes of profile and format (NAL lengths of lengthSize bytes),
// then arrays of one NAL unit each: {type, unit}.
Bytes Hvcc(int lengthSize, const std::vector<std::pair<uint8_t, Bytes>>& arrays) {
    Bytes r(22, 0);
    r[0] = 1;
    r[21] = uint8_t(0xFC | (lengthSize - 1));
    r.push_back(uint8_t(arrays.size()));
    for (const auto& [type, unit] : arrays) {
        r.insert(r.end(), {uint8_t(0x80 | type), 0, 1, uint8_t(unit.size() >> 8), uint8_t(unit.size())});
        r.insert(r.end(), unit.begin(), unit.end());
    }
    return r;
}

const Bytes kVps = {0x40, 0x01, 0xAA}, kSps = {0x42, 0x01, 0xBB, 0xBB}, kPps = {0x44, 0x01, 0xCC},
            kSei = {0x4E, 0x01, 0xDD};

}  // namespace

TEST(SetupInBand, TakesTheParameterSetsBehindTheRecordsNalLengths) {
    const Bytes hevc = Hvcc(4, {{32, kVps}, {33, kSps}, {34, kPps}, {39, kSei}});
    const Bytes avc = {1, 0x64, 0, 0x1E, 0xFD, 0xE1, 0, 2, 0x67, 0x11, 1, 0, 1, 0x68};   // 2-byte lengths
    const struct {
        const char* what;
        uint32_t codec;
        Bytes record;
        Bytes want;
    } cases[] = {
        {"HEVC by CodecID, 4-byte lengths, the SEI left out", TagioCodecHevc, hevc,
         {0, 0, 0, 3, 0x40, 0x01, 0xAA, 0, 0, 0, 4, 0x42, 0x01, 0xBB, 0xBB, 0, 0, 0, 3, 0x44, 0x01, 0xCC}},
        {"HEVC by FourCC, 1-byte lengths", TagioFourccHevc, Hvcc(1, {{33, kSps}, {34, kPps}}),
         {4, 0x42, 0x01, 0xBB, 0xBB, 3, 0x44, 0x01, 0xCC}},
        {"H.264 SPS and PPS", TagioCodecAvc, avc, {0, 2, 0x67, 0x11, 0, 1, 0x68}},
    };
    for (const auto& c : cases) {
        Bytes out = {9, 9};   // cleared first
        EXPECT_TRUE(SetupParameterSets(c.codec, c.record.data(), uint32_t(c.record.size()), out)) << c.what;
        EXPECT_EQ(out, c.want) << c.what;
    }
}

TEST(SetupInBand, RefusesRecordsItCannotTrust) {
    const Bytes good = Hvcc(4, {{32, kVps}, {33, kSps}, {34, kPps}});
    Bytes longUnit = good;
    longUnit[26] = 0x40;   // the VPS claims 16 KiB more than the record holds
    Bytes threeByteLengths = good;
    threeByteLengths[21] = 0xFE;
    const struct {
        const char* what;
        uint32_t codec;
        Bytes record;
    } cases[] = {
        {"cut inside the arrays", TagioCodecHevc, Bytes(good.begin(), good.end() - 2)},
        {"a NAL unit longer than the record", TagioCodecHevc, longUnit},
        {"NAL lengths of 3 bytes", TagioCodecHevc, threeByteLengths},
        {"only the SEI", TagioCodecHevc, Hvcc(4, {{39, kSei}})},
        {"shorter than the fixed fields", TagioCodecHevc, Bytes(good.begin(), good.begin() + 20)},
        {"a unit too long for 1-byte lengths", TagioCodecHevc, Hvcc(1, {{33, Bytes(300, 0x42)}})},
        {"AV1: nothing of it goes in band", TagioFourccAv1, {0x81, 0, 0x0C, 0, 0x0A, 0x0B, 0, 0}},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_FALSE(SetupParameterSets(c.codec, c.record.data(), uint32_t(c.record.size()), out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
    }
}

// The parameter sets go after an access unit delimiter, which must stay the
// first NAL unit of the picture; otherwise at its start.
TEST(SetupInBand, ParameterSetsGoAfterAnAccessUnitDelimiter) {
    const Bytes hevc = Hvcc(4, {{33, kSps}});
    const Bytes avc = {1, 0x64, 0, 0x1E, 0xFF, 0xE0, 0};
    const struct {
        const char* what;
        uint32_t codec;
        const Bytes& record;
        Bytes picture;
        uint32_t at;
    } cases[] = {
        {"HEVC delimiter", TagioCodecHevc, hevc, {0, 0, 0, 3, 0x46, 0x01, 0x50, 0, 0, 0, 2, 0x26, 0x01}, 7},
        {"HEVC IDR first", TagioFourccHevc, hevc, {0, 0, 0, 2, 0x26, 0x01}, 0},
        {"H.264 delimiter", TagioCodecAvc, avc, {0, 0, 0, 2, 0x09, 0xF0, 0, 0, 0, 1, 0x65}, 6},
        {"H.264 IDR first", TagioCodecAvc, avc, {0, 0, 0, 1, 0x65}, 0},
        {"a delimiter whose length runs past the picture", TagioCodecHevc, hevc, {0, 0, 0, 9, 0x46, 0x01}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParameterSetsOffset(c.codec, c.record.data(), uint32_t(c.record.size()), c.picture.data(),
                                      uint32_t(c.picture.size())),
                  c.at)
            << c.what;
}
