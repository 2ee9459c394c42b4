// damage-bench: how much of a damaged KOB file dudez restores, with and without --rescue.
//
//     damage-bench path/to/dudez [trials]
//     damage-bench --search FILE      // the speed of the searches over FILE (SearchSpeed.h)
//     damage-bench --music FILE SECONDS   // writes a KOB file of stereo music that long
//
// Builds archives of three recordings each with the encoder (sounds like the ALSA test sounds,
// mono 48 kHz, and stereo music, in blocks of 2,048 frames; more archives with other block sizes
// and channel counts), damages copies of them in the ways real media and copies are damaged,
// restores each copy with dudez in a folder of its own, and prints per kind of damage the share of
// intact samples (those whose block's bytes the damage left alone; zero-valued ones left out)
// that came back bit-exact and the number of samples that came back wrong. See
// tools/damagebench/Scoring.h for what counts. DAMAGE_BENCH_ONLY=text runs only the kinds of
// damage whose names hold the text.
#include "tools/damagebench/Scoring.h"
#include "tools/damagebench/SearchSpeed.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"
#include "tools/kobenc/Wave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using damagebench::IntactMap;
using damagebench::Original;
using damagebench::Score;

struct Archive {
    Bytes bytes;
    kobenc::Layout layout;
    std::vector<Original> originals;
};

kobenc::Recording Sound(const std::string& name, std::uint32_t rate, std::uint16_t channels, std::vector<std::int16_t> samples) {
    kobenc::Recording recording;
    recording.storedName = name;
    recording.sampleRate = rate;
    recording.channelCount = channels;
    recording.samples = std::move(samples);
    return recording;
}

// Three short mono sounds: the ALSA test sounds when they are installed, else music of their
// length and rate.
std::vector<kobenc::Recording> AlsaSounds(unsigned seed) {
    const char* names[] = {"Front_Center", "Front_Left", "Rear_Right", "Side_Left", "Noise", "Rear_Center"};
    std::vector<kobenc::Recording> sounds;
    for (unsigned i = 0; i < 3; ++i) {
        const std::string name = names[(seed + i * 2) % 6];
        const std::string path = "/usr/share/sounds/alsa/" + name + ".wav";
        if (std::filesystem::exists(path)) {
            const kobenc::WaveAudio audio = kobenc::ReadWave(path);
            sounds.push_back(Sound(name + ".aif", audio.sampleRate, audio.channelCount, audio.samples));
        } else {
            sounds.push_back(Sound(name + ".aif", 48000, 1, kobenc::SyntheticMusic(60000 + 7000 * i, 1, 48000, seed + i)));
        }
    }
    return sounds;
}

std::vector<kobenc::Recording> Music(unsigned seed, std::uint16_t channels, std::uint32_t rate) {
    std::vector<kobenc::Recording> pieces;
    for (unsigned i = 0; i < 3; ++i) {
        const std::uint32_t frames = rate * (2 + (seed + i) % 3) + 1234 * i;
        pieces.push_back(Sound("Piece " + std::to_string(i + 1) + ".aif", rate, channels,
                               kobenc::SyntheticMusic(frames, channels, rate, seed * 3 + i)));
    }
    return pieces;
}

Archive Make(const std::vector<kobenc::Recording>& recordings, std::uint32_t blockFrames) {
    kobenc::EncodeOptions options;
    options.blockFrames = blockFrames;
    const kobenc::KobImage image = kobenc::Serialise(kobenc::Encode(recordings, options));
    Archive archive{image.bytes, image.layout, {}};
    for (const kobenc::Recording& recording : recordings)
        archive.originals.push_back({recording.channelCount, recording.samples});
    return archive;
}

// What a damage touched, in the original file's positions: bytes [first, end), or, for an
// insertion, the place between byte first - 1 and byte first.
struct Touch {
    std::int64_t first, end;
    bool insertion = false;
    bool Hits(std::int64_t from, std::int64_t to) const {
        return insertion ? from < first && first < to : first < to && from < end;
    }
};

struct Damaged {
    Bytes bytes;
    std::vector<Touch> touched;
};

using Damage = std::function<Damaged(const Archive&, std::mt19937&)>;

std::int64_t Pick(std::mt19937& random, std::int64_t from, std::int64_t to) {   // from..to-1
    return std::uniform_int_distribution<std::int64_t>(from, to - 1)(random);
}

Damaged Zero(const Archive& archive, std::int64_t first, std::int64_t end) {
    Damaged d{archive.bytes, {{first, end}}};
    end = std::min<std::int64_t>(end, static_cast<std::int64_t>(d.bytes.size()));
    for (std::int64_t i = first; i < end; ++i) d.bytes[static_cast<std::size_t>(i)] = 0;
    return d;
}

Damaged ZeroSectors(const Archive& archive, std::mt19937& random, int count) {
    Damaged d{archive.bytes, {}};
    const std::int64_t sectors = (static_cast<std::int64_t>(d.bytes.size()) + 4095) / 4096;
    for (int n = 0; n < count; ++n) {
        const std::int64_t first = Pick(random, 0, sectors) * 4096;
        const std::int64_t end = std::min<std::int64_t>(first + 4096, static_cast<std::int64_t>(d.bytes.size()));
        for (std::int64_t i = first; i < end; ++i) d.bytes[static_cast<std::size_t>(i)] = 0;
        d.touched.push_back({first, end});
    }
    return d;
}

Damaged Cut(const Archive& archive, std::int64_t at) {
    Damaged d{Bytes(archive.bytes.begin(), archive.bytes.begin() + at), {{at, std::numeric_limits<std::int64_t>::max()}}};
    return d;
}

// count random bytes inserted at a random place (a bad copy).
Damaged Insert(const Archive& archive, std::mt19937& random, std::size_t count) {
    Damaged d{archive.bytes, {}};
    const std::int64_t at = Pick(random, 0, static_cast<std::int64_t>(d.bytes.size()) + 1);
    Bytes junk(count);
    for (std::uint8_t& b : junk) b = static_cast<std::uint8_t>(Pick(random, 0, 256));
    d.bytes.insert(d.bytes.begin() + at, junk.begin(), junk.end());
    d.touched.push_back({at, at, true});
    return d;
}

struct Kind {
    std::string name;
    Damage damage;
    bool headline;   // one of the six of the goal
    int archives;    // which archives: 0 ALSA sounds and stereo music, else one of the others
};

std::vector<Kind> Kinds() {
    return {
        {"first 512 bytes zeroed", [](const Archive& a, std::mt19937&) { return Zero(a, 0, 512); }, true, 0},
        {"one 4 KiB sector zeroed", [](const Archive& a, std::mt19937& r) { return ZeroSectors(a, r, 1); }, true, 0},
        {"first entry header damaged", [](const Archive& a, std::mt19937& r) {
             Damaged d{a.bytes, {}};
             const std::int64_t at = a.layout.entries[0].headerOffset + Pick(r, 11, 400);
             d.bytes[static_cast<std::size_t>(at)] ^= static_cast<std::uint8_t>(Pick(r, 1, 256));
             d.touched.push_back({at, at + 1});
             return d;
         }, true, 0},
        {"7 bytes inserted", [](const Archive& a, std::mt19937& r) { return Insert(a, r, 7); }, true, 0},
        {"8 bit flips", [](const Archive& a, std::mt19937& r) {
             Damaged d{a.bytes, {}};
             for (int n = 0; n < 8; ++n) {
                 const std::int64_t at = Pick(r, 0, static_cast<std::int64_t>(a.bytes.size()));
                 d.bytes[static_cast<std::size_t>(at)] ^= static_cast<std::uint8_t>(1u << Pick(r, 0, 8));
                 d.touched.push_back({at, at + 1});
             }
             return d;
         }, true, 0},
        {"cut at a random point", [](const Archive& a, std::mt19937& r) {
             return Cut(a, Pick(r, 1, static_cast<std::int64_t>(a.bytes.size())));
         }, true, 0},
        {"four 4 KiB sectors zeroed", [](const Archive& a, std::mt19937& r) { return ZeroSectors(a, r, 4); }, false, 0},
        {"cut inside the second entry header", [](const Archive& a, std::mt19937& r) {
             return Cut(a, a.layout.entries[1].headerOffset + Pick(r, 1, 400));
         }, false, 0},
        {"16 KiB lost from the middle", [](const Archive& a, std::mt19937& r) {
             Damaged d{a.bytes, {}};
             const std::int64_t size = static_cast<std::int64_t>(a.bytes.size());
             const std::int64_t at = Pick(r, size / 4, size * 3 / 4);
             d.bytes.erase(d.bytes.begin() + at, d.bytes.begin() + at + 16384);
             d.touched.push_back({at, at + 16384});
             return d;
         }, false, 0},
        {"4 KiB of junk inserted", [](const Archive& a, std::mt19937& r) { return Insert(a, r, 4096); }, false, 0},
        {"sector zeroed, 512-frame blocks", [](const Archive& a, std::mt19937& r) { return ZeroSectors(a, r, 1); }, false, 1},
        {"sector zeroed, 8192-frame blocks", [](const Archive& a, std::mt19937& r) { return ZeroSectors(a, r, 1); }, false, 2},
        {"sector zeroed, six channels", [](const Archive& a, std::mt19937& r) { return ZeroSectors(a, r, 1); }, false, 3},
    };
}

IntactMap IntactSamples(const Archive& archive, const std::vector<Touch>& touched) {
    IntactMap intact(archive.originals.size());
    for (std::size_t e = 0; e < archive.originals.size(); ++e) {
        const Original& original = archive.originals[e];
        intact[e].assign(original.samples.size(), false);
        for (const kobenc::BlockPlacement& block : archive.layout.entries[e].blocks) {
            const std::int64_t from = block.offset, to = block.dataOffset + block.packedLength;
            bool hit = false;
            for (const Touch& t : touched) hit = hit || t.Hits(from, to);
            if (hit) continue;
            for (std::uint32_t f = block.startFrame; f < block.startFrame + block.unpackedLength / 2u; ++f)
                intact[e][static_cast<std::size_t>(f) * original.channels + block.channel - 1u] = true;
        }
    }
    return intact;
}

void RunDudez(const std::string& dudez, const std::string& folder, bool rescue) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        std::vector<const char*> argv{dudez.c_str(), "--no-window"};
        if (rescue) argv.push_back("--rescue");
        argv.push_back("in.kob");
        argv.push_back(nullptr);
        ::execv(dudez.c_str(), const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

std::string Percent(const Score& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%7.2f %%", s.intact ? 100.0 * static_cast<double>(s.restored) / static_cast<double>(s.intact) : 100.0);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::string(argv[1]) == "--search" && argc != 3)) {
        std::fprintf(stderr, "usage: damage-bench path/to/dudez [trials]\n       damage-bench --search FILE\n");
        return 2;
    }
    if (std::string(argv[1]) == "--search") return damagebench::PrintSearchSpeeds(argv[2]);
    if (std::string(argv[1]) == "--music" && argc == 4) {
        const auto frames = static_cast<std::uint32_t>(44100 * std::atoi(argv[3]));
        kobenc::EncodeOptions options;
        options.blockFrames = 2048;
        kobenc::WriteBytes(argv[2], kobenc::Serialise(kobenc::Encode({Sound("music.aif", 44100, 2,
                                                                            kobenc::SyntheticMusic(frames, 2, 44100, 3))},
                                                                      options)).bytes);
        return 0;
    }
    const std::string dudez = std::filesystem::absolute(argv[1]).string();
    const int trials = argc > 2 ? std::atoi(argv[2]) : 10;
    char pattern[] = "/tmp/damage-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string work = pattern;

    std::printf("%-36s %5s | %-22s | %-22s\n", "damage", "runs", "plain: restored  wrong", "--rescue: restored  wrong");
    bool goalMet = true;
    const char* only = std::getenv("DAMAGE_BENCH_ONLY");
    for (const Kind& kind : Kinds()) {
        if (only && kind.name.find(only) == std::string::npos) continue;
        Score plain, rescued;
        int runs = 0;
        for (int trial = 0; trial < trials; ++trial) {
            std::vector<Archive> archives;
            const auto seed = static_cast<unsigned>(trial + 1);
            switch (kind.archives) {
            case 0:
                archives.push_back(Make(AlsaSounds(seed), 2048));
                archives.push_back(Make(Music(seed, 2, 44100), 2048));
                break;
            case 1: archives.push_back(Make(Music(seed, 2, 44100), 512)); break;
            case 2: archives.push_back(Make(Music(seed, 2, 44100), 8192)); break;
            default: archives.push_back(Make(Music(seed, 6, 48000), 2048)); break;
            }
            for (std::size_t a = 0; a < archives.size(); ++a) {
                std::mt19937 random(seed * 7919u + static_cast<unsigned>(a) * 104729u + static_cast<unsigned>(kind.name.size()));
                const Damaged damaged = kind.damage(archives[a], random);
                const IntactMap intact = IntactSamples(archives[a], damaged.touched);
                for (const bool rescue : {false, true}) {
                    const std::string folder = work + "/run";
                    std::filesystem::remove_all(folder);
                    std::filesystem::create_directory(folder);
                    kobenc::WriteBytes(folder + "/in.kob", damaged.bytes);
                    RunDudez(dudez, folder, rescue);
                    const Score score = damagebench::ScoreOutputs(archives[a].originals, intact, folder);
                    Score& sum = rescue ? rescued : plain;
                    sum.intact += score.intact;
                    sum.restored += score.restored;
                    sum.wrong += score.wrong;
                }
                ++runs;
            }
        }
        std::printf("%-36s %5d | %s %8llu    | %s %8llu\n", kind.name.c_str(), runs, Percent(plain).c_str(),
                    static_cast<unsigned long long>(plain.wrong), Percent(rescued).c_str(),
                    static_cast<unsigned long long>(rescued.wrong));
        std::fflush(stdout);
        if (kind.headline && (rescued.wrong != 0 || rescued.restored * 100 < rescued.intact * 99)) goalMet = false;
    }
    std::filesystem::remove_all(work);
    std::printf("goal (--rescue: at least 99 %% under each of the first six, no wrong sample): %s\n", goalMet ? "met" : "NOT met");
    return goalMet ? 0 : 1;
}
