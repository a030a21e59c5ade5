// Shared body of Emboss and Engrave: each colour byte set from the difference
// between a pixel and its neighbour one row down and one column right, lifted
// by the effect's number. The last row and column stay as they are.
#pragma once

#include <cstdint>

#include "ImageEffect.h"

namespace pixfilter {

class CReliefEffect : public CImageEffect {
public:
    bool SetParameter(const char* name, const void* value, int32_t size) override;
    bool ProcessInPlace(uint8_t* pixels) override;
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override;

protected:
    // engrave: neighbour minus pixel; otherwise pixel minus neighbour.
    CReliefEffect(const char* parameterName, bool engrave)
        : m_parameterName(parameterName), m_engrave(engrave) {}

private:
    const char* m_parameterName;
    bool m_engrave;
    uint8_t m_number = 128;  // read on every frame
};

}  // namespace pixfilter
