#pragma once

#include <cstdint>
#include <vector>

// A video setup given again in band. Decoders and stream parsers that were
// handed only the first setup of a stream still decode the pictures after a
// change of setup when its parameter sets come with the next key picture.

// The parameter sets of a configuration record as the pictures carry them,
// each behind a NAL length of the record's size: H.264 (CodecID 7) its SPS
// and PPS, HEVC (CodecID 12 or hvc1) its VPS, SPS and PPS. False when the
// record cannot be read or the codec has nothing to give in band; out is
// then empty. out keeps its capacity.
bool SetupParameterSets(uint32_t codec, const uint8_t* record, uint32_t size, std::vector<uint8_t>& out);

// Where parameter sets go in a key picture's NAL units (payload: the codec's
// own bytes): after an access unit delimiter, which must stay first; else 0.
uint32_t ParameterSetsOffset(uint32_t codec, const uint8_t* record, uint32_t recordSize, const uint8_t* payload,
                             uint32_t size);

// Whether a codec's setup can be given in band by the two above.
bool HasParameterSetsInBand(uint32_t codec);
