// The residuals that make a block's samples come back from one of the five fixed predictors.
//
//     std::vector<std::int32_t> r = PredictResiduals(3, samples.data(), samples.size());
//
// Modes: 1 second order as two running sums (a difference d, then the sample), 2 none (the
// residual is the sample), 3 first order, 4 second order (2*x1 - x2), 5 third order
// (3*(x1 - x2) - x3). All history starts at 0 in every block.
//
// A reconstructed sample is the low 16 bits of prediction plus residual, so any residual
// congruent to the difference modulo 65536 restores it. We always pick the one in -32768..32767:
// it is the only candidate that can fit in 16 bits or fewer, so it is also the narrowest. A
// full-scale jump (-32768 to 32767) therefore costs a residual of -1, not 65535.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kobenc {

constexpr int kFirstMode = 1;
constexpr int kLastMode = 5;

// Throws std::invalid_argument for a mode outside 1 to 5.
std::vector<std::int32_t> PredictResiduals(int mode, const std::int16_t* samples, std::size_t count);

} // namespace kobenc
