// One number of a file's onMetaData, for readers that want a declared fact
// (the frame rate) without the whole metadata.
#include <cstring>

#include "Amf0.h"
#include "tagio/tagio.h"

extern "C" TAGIO_API int Flv_ReadMetaNumber(const uint8_t* data, uint32_t size, const char* name,
                                            double* value) {
    if (!data || !name || !value || !tagio::amf::IsOnMetaData(data, size)) return 0;
    try {
        std::vector<tagio::amf::Property> properties;
        if (!tagio::amf::ParseOnMetaData(data, size, properties)) return 0;
        for (const auto& p : properties) {
            if (p.name != name || p.valueLength != 9 || data[p.valueOffset] != 0) continue;
            uint64_t bits = 0;
            for (int i = 1; i <= 8; ++i) bits = bits << 8 | data[p.valueOffset + i];
            std::memcpy(value, &bits, sizeof bits);
            return 1;
        }
    } catch (...) {   // nothing throws across the library's edge
    }
    return 0;
}
