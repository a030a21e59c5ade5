// Shared body of the two grain effects: a fixed noise pattern, drawn afresh at
// every begin, added to the colour bytes with clamping.
#pragma once

#include <cstdint>

#include "ImageEffect.h"
#include "WorkBuffer.h"

namespace pixfilter {

class CNoiseEffect : public CImageEffect {
public:
    bool SetParameter(const char* name, const void* value, int32_t size) override;
    bool BeginProcess(int32_t format, int32_t stride, int32_t width, int32_t height,
                      bool wantOutput) override;
    bool ProcessInPlace(uint8_t* pixels) override;
    bool ProcessToBuffer(const uint8_t* pixels, uint8_t** output) override;
    void EndProcess() override;

protected:
    // perChannel: blue, green and red get their own noise; otherwise one value
    // per pixel is added to all three.
    CNoiseEffect(const char* parameterName, bool perChannel)
        : m_parameterName(parameterName), m_perChannel(perChannel) {}

private:
    const char* m_parameterName;
    bool m_perChannel;
    uint8_t m_number = 128;  // the noise spans number values around 0
    // One signed byte per picture byte, 0 for alpha, so the loop adding it
    // treats all four bytes alike and alpha comes out unchanged.
    CWorkBuffer<int8_t> m_noise;
};

}  // namespace pixfilter
