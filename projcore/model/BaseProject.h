#pragma once

#include <cstdint>
#include <string>

#include "model/BaseSerial.h"

// The document header: version, format word, author and comment ("meta").
class CBaseProject : public CBaseSerial {
public:
    // Writes the "meta" group. Single values that fail to write do not fail it.
    bool Serial(CBaseSerialStream* stream) override;
    // Reads the "meta" group; missing values keep their defaults, and nothing
    // read is checked (there is no version or format test).
    bool Deserial(CBaseSerialStream* stream) override;

    const std::string& ProjectFormat() const { return projectFormat_; }

protected:
    uint8_t verMajor_ = 0;
    uint8_t verMinor_ = 0;
    std::string projectFormat_;
    std::string comment_;
    std::string author_;
};
