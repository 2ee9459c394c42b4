#include "tools/kobenc/Wave.h"

#include "platform/runtime/ByteOrder.h"
#include "tools/kobenc/KobSerialiser.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kobenc {

namespace {

using byteorder::AppendLE16;
using byteorder::AppendLE32;
using byteorder::LE16;
using byteorder::LE32;

void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

bool IsTag(const std::uint8_t* at, const char* tag) { return std::memcmp(at, tag, 4) == 0; }

[[noreturn]] void Refuse(const std::string& why) { throw std::runtime_error("WAVE file: " + why); }

} // namespace

WaveAudio ParseWave(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 12 || !IsTag(&bytes[0], "RIFF") || !IsTag(&bytes[8], "WAVE")) {
        Refuse("no RIFF WAVE header");
    }
    WaveAudio audio;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::uint8_t* chunk = &bytes[at];
        const std::size_t size = LE32(chunk + 4);
        const std::size_t bodyAt = at + 8;
        const std::size_t available = bytes.size() - bodyAt;
        if (IsTag(chunk, "fmt ")) {
            if (size < 16 || size > available) Refuse("fmt chunk too short");
            const std::uint8_t* fmt = chunk + 8;
            std::uint16_t tag = LE16(fmt);
            if (tag == 0xFFFE && size >= 26) tag = LE16(fmt + 24); // sub-format GUID starts at 24
            if (tag != 1) Refuse("not PCM (format tag " + std::to_string(tag) + ")");
            audio.channelCount = LE16(fmt + 2);
            audio.sampleRate = LE32(fmt + 4);
            const std::uint16_t bits = LE16(fmt + 14);
            if (bits != 16) Refuse(std::to_string(bits) + " bits per sample, only 16 are read");
            if (audio.channelCount == 0) Refuse("no channels");
            haveFormat = true;
        } else if (IsTag(chunk, "data")) {
            if (!haveFormat) Refuse("data chunk before fmt chunk");
            const std::size_t frameBytes = 2u * audio.channelCount;
            const std::size_t usable = (size < available ? size : available) / frameBytes * frameBytes;
            audio.samples.resize(usable / 2);
            for (std::size_t i = 0; i < audio.samples.size(); ++i) {
                audio.samples[i] = static_cast<std::int16_t>(LE16(&bytes[bodyAt + 2 * i]));
            }
            return audio;
        }
        at = bodyAt + size + (size & 1);
    }
    Refuse(haveFormat ? "no data chunk" : "no fmt chunk");
}

WaveAudio ReadWave(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) throw std::runtime_error("cannot open " + path);
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) throw std::runtime_error("cannot read " + path);
    try {
        return ParseWave(bytes);
    } catch (const std::runtime_error& error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

std::vector<std::uint8_t> WaveBytes(const WaveAudio& audio) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(audio.samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    AppendLE32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    AppendLE32(out, 16);
    AppendLE16(out, 1);
    AppendLE16(out, audio.channelCount);
    AppendLE32(out, audio.sampleRate);
    AppendLE32(out, audio.sampleRate * 2u * audio.channelCount); // bytes per second
    AppendLE16(out, static_cast<std::uint16_t>(2u * audio.channelCount)); // bytes per frame
    AppendLE16(out, 16);
    PutTag(out, "data");
    AppendLE32(out, dataBytes);
    for (std::int16_t sample : audio.samples) AppendLE16(out, static_cast<std::uint16_t>(sample));
    return out;
}

void WriteWave(const std::string& path, const WaveAudio& audio) { WriteBytes(path, WaveBytes(audio)); }

} // namespace kobenc
