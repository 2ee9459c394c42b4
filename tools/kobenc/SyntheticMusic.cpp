#include "tools/kobenc/SyntheticMusic.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace kobenc {

namespace {

struct Voice {
    double frequency = 220.0;   // Hz of the current note
    double phase = 0.0;         // radians
    double vibratoPhase = 0.0;  // radians
    double level = 0.0;         // current envelope level, 0..1
    std::uint32_t noteLeft = 0; // frames until the next note starts
};

// A pentatonic scale over three octaves, so chords sound like chords.
double NoteFrequency(int step) {
    static const int kScale[] = {0, 2, 4, 7, 9};
    const int octave = step / 5;
    const int semitone = kScale[step % 5] + 12 * octave;
    return 110.0 * std::pow(2.0, semitone / 12.0);
}

} // namespace

std::vector<std::int16_t> SyntheticMusic(std::uint32_t frames, std::uint16_t channels,
                                         std::uint32_t sampleRate, std::uint32_t seed) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noteStep(0, 14);
    std::normal_distribution<double> hiss(0.0, 60.0);
    const double rate = sampleRate ? sampleRate : 44100;
    constexpr int kVoices = 3;
    constexpr double kTwoPi = 2.0 * std::numbers::pi;

    for (std::uint16_t c = 0; c < channels; ++c) {
        Voice voices[kVoices];
        for (std::uint32_t f = 0; f < frames; ++f) {
            double sum = 0.0;
            for (int v = 0; v < kVoices; ++v) {
                Voice& voice = voices[v];
                if (voice.noteLeft == 0) {
                    voice.frequency = NoteFrequency(noteStep(random) + 5 * (v % 2));
                    voice.noteLeft = static_cast<std::uint32_t>(rate * (0.15 + 0.1 * static_cast<double>(random() % 6)));
                    voice.level = 1.0;
                }
                --voice.noteLeft;
                voice.level *= 0.99995;   // a plucked note's decay
                voice.vibratoPhase += kTwoPi * 5.0 / rate;
                const double bend = 1.0 + 0.003 * std::sin(voice.vibratoPhase);
                voice.phase += kTwoPi * voice.frequency * bend / rate;
                if (voice.phase > kTwoPi) voice.phase -= kTwoPi;
                // A few harmonics falling off, like a string.
                const double tone = std::sin(voice.phase) + 0.5 * std::sin(2 * voice.phase) +
                                    0.25 * std::sin(3 * voice.phase) + 0.12 * std::sin(5 * voice.phase);
                sum += voice.level * tone;
            }
            const double value = 5000.0 * sum + hiss(random);
            samples[static_cast<std::size_t>(f) * channels + c] =
                static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
        }
    }
    return samples;
}

} // namespace kobenc
