// Synthesised test signals, deterministic so failures repeat.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace kobtest {

inline std::vector<std::int16_t> Noise(std::size_t count, unsigned seed, int amplitude = 32768) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(-amplitude, amplitude - 1);
    std::vector<std::int16_t> samples(count);
    for (auto& s : samples) s = static_cast<std::int16_t>(value(random));
    return samples;
}

// Full-scale square wave: half a period at 32767, half at -32768.
inline std::vector<std::int16_t> Square(std::size_t count, std::size_t period) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = (i % period) < period / 2 ? 32767 : -32768;
    return samples;
}

// Sine whose frequency rises linearly from `from` to `to` cycles per sample.
inline std::vector<std::int16_t> Sweep(std::size_t count, double from, double to, double amplitude = 30000) {
    std::vector<std::int16_t> samples(count);
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase)));
        phase += 2 * M_PI * (from + (to - from) * static_cast<double>(i) / static_cast<double>(count));
    }
    return samples;
}

// Alternating runs of the two extreme values and single jumps between them.
inline std::vector<std::int16_t> Extremes(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t k = i % 7;
        samples[i] = (k == 0 || k == 3 || k == 4) ? -32768 : 32767;
    }
    return samples;
}

} // namespace kobtest
