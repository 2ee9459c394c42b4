#include "tools/kobenc/Predictor.h"

#include <stdexcept>
#include <string>

namespace kobenc {

namespace {

// The representative of value modulo 65536 that lies in -32768..32767.
std::int32_t Wrap16(std::int64_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

} // namespace

std::vector<std::int32_t> PredictResiduals(int mode, const std::int16_t* samples, std::size_t count) {
    if (mode < kFirstMode || mode > kLastMode) {
        throw std::invalid_argument("predictor mode " + std::to_string(mode) + " is not 1 to 5");
    }
    std::vector<std::int32_t> residuals(count);
    std::int64_t x1 = 0, x2 = 0, x3 = 0; // last, second-last, third-last sample, signed
    // Mode 1 rebuilds through a running difference that is never cut to 16 bits; only the sample
    // is. Track it exactly as the reader will, so the residual accounts for whatever d holds.
    std::int64_t d = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t x = samples[i];
        std::int32_t v = 0;
        switch (mode) {
        case 1:
            v = Wrap16(x - x1 - d);
            d += v;
            break;
        case 2: v = Wrap16(x); break;
        case 3: v = Wrap16(x - x1); break;
        case 4: v = Wrap16(x - (2 * x1 - x2)); break;
        case 5: v = Wrap16(x - (3 * (x1 - x2) - x3)); break;
        }
        residuals[i] = v;
        x3 = x2;
        x2 = x1;
        x1 = x;
    }
    return residuals;
}

} // namespace kobenc
