// libFuzzer target for the onMetaData reader of tagio: the input is the data
// of an onMetaData script tag. When it parses, the metadata a rewrite builds
// from it must parse again and keep every property it was meant to keep.
// Any crash, sanitizer report or abort is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Amf0.h"
#include "MetaFacts.h"
#include "MetaWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<tagio::amf::Property> props;
    if (!tagio::amf::ParseOnMetaData(data, size, props)) return 0;
    for (const auto& p : props)
        if (p.valueOffset + p.valueLength > size) std::abort();

    const std::vector<uint8_t> old(data, data + size);
    tagio::MetaFacts facts;   // a file without tags
    std::vector<uint8_t> rebuilt;
    if (!tagio::BuildOnMetaData(facts, 0, props, old, rebuilt)) return 0;
    std::vector<tagio::amf::Property> again;
    if (!tagio::amf::ParseOnMetaData(rebuilt.data(), rebuilt.size(), again)) std::abort();
    for (const auto& p : props) {
        if (p.hasReference || p.name == "keyframes") continue;
        bool found = false;
        for (const auto& q : again) found |= q.name == p.name;
        if (!found) std::abort();
    }
    return 0;
}
