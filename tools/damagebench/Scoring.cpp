#include "tools/damagebench/Scoring.h"

#include "tools/kobenc/Wave.h"

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

namespace damagebench {
namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    return names;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The stretches a listing marks silent: (channel or 0 for all, first frame, end frame).
struct Stretch {
    int channel;
    long first, end;
};

std::vector<Stretch> ReadListing(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<Stretch> stretches;
    std::size_t at = 0;
    // Items follow each other without separators: a number ends where the next "128/" item
    // begins (the first '/' after it, less "128") or at the line's end.
    auto number = [&](std::size_t& i) {
        const std::size_t slash = text.find('/', i), line = text.find('\r', i);
        const std::size_t end = line < slash ? line : slash - 3;
        const long value = std::stol(text.substr(i, end - i));
        i = end;
        return value;
    };
    while ((at = text.find("128/11", at)) != std::string::npos) {
        std::size_t i = at + 6;
        Stretch stretch{0, number(i), 0};
        i += 6;   // "128/12"
        stretch.end = number(i);
        if (text.compare(i, 6, "128/13") == 0) stretch.channel = 1;
        else if (text.compare(i, 6, "128/14") == 0) stretch.channel = 2;
        else if (text.compare(i, 6, "128/15") == 0) {
            i += 6;
            stretch.channel = static_cast<int>(number(i));
        }
        stretches.push_back(stretch);
        at = i;
    }
    return stretches;
}

} // namespace

Score ScoreOutputs(const std::vector<Original>& originals, const IntactMap& intact, const std::string& folder) {
    std::vector<std::vector<bool>> restored(originals.size());
    for (std::size_t r = 0; r < originals.size(); ++r) restored[r].assign(originals[r].samples.size(), false);
    Score score;

    for (const std::string& name : Names(folder)) {
        if (!EndsWith(name, ".wav")) continue;
        const kobenc::WaveAudio audio = kobenc::ReadWave(folder + "/" + name);
        const std::vector<Stretch> silent = ReadListing(folder + "/" + name + ".err");
        const std::size_t channels = audio.channelCount;
        const std::size_t frames = audio.FrameCount();

        // The original this output restores most of.
        long best = -1;
        std::size_t bestEqual = 0;
        for (std::size_t r = 0; r < originals.size(); ++r) {
            if (originals[r].channels != channels) continue;
            std::size_t equal = 0;
            const std::size_t common = std::min(audio.samples.size(), originals[r].samples.size());
            for (std::size_t i = 0; i < common; ++i)
                equal += audio.samples[i] != 0 && audio.samples[i] == originals[r].samples[i];
            if (equal > bestEqual) {
                best = static_cast<long>(r);
                bestEqual = equal;
            }
        }
        auto listedSilent = [&](std::size_t frame, std::size_t channel) {
            for (const Stretch& s : silent)
                if ((s.channel == 0 || static_cast<std::size_t>(s.channel) == channel + 1) &&
                    static_cast<long>(frame) >= s.first && static_cast<long>(frame) < s.end)
                    return true;
            return false;
        };
        for (std::size_t frame = 0; frame < frames; ++frame) {
            for (std::size_t channel = 0; channel < channels; ++channel) {
                const std::size_t i = frame * channels + channel;
                const std::int16_t value = audio.samples[i];
                if (best < 0 || i >= originals[static_cast<std::size_t>(best)].samples.size()) {
                    score.wrong += value != 0;
                    continue;
                }
                const std::int16_t want = originals[static_cast<std::size_t>(best)].samples[i];
                if (value == want) {
                    if (value != 0 || !listedSilent(frame, channel)) restored[static_cast<std::size_t>(best)][i] = true;
                } else if (value != 0) {
                    ++score.wrong;
                } else if (!listedSilent(frame, channel)) {
                    ++score.unlisted;
                }
            }
        }
    }

    for (std::size_t r = 0; r < originals.size(); ++r) {
        for (std::size_t i = 0; i < originals[r].samples.size(); ++i) {
            if (!intact[r][i] || originals[r].samples[i] == 0) continue;
            ++score.intact;
            score.restored += restored[r][i];
        }
    }
    return score;
}

} // namespace damagebench
