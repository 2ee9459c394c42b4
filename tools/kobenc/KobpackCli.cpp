#include "tools/kobenc/KobpackCli.h"

#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/Wave.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace kobenc {

const char* const kKobpackUsage =
    "usage: kobpack [options] in.wav [in2.wav ...] -o out.kob\n"
    "Packs 16-bit PCM WAVE files into one KOB file, one chained entry per input.\n"
    "  -o, --output FILE        the KOB file to write (required)\n"
    "  --block-frames N         frames per block, 1 to 8192 (default 4096)\n"
    "  --mode M                 predictor mode 1 to 5 for every block (default: smallest)\n"
    "  --width W                residual width 2 to 17 bits for every group\n"
    "                           (default: narrowest per group)\n"
    "  --name NAME              stored name; the first --name is the first input's, and so on\n"
    "                           (default: the input's file name)\n"
    "  --junk N                 N bytes of junk before the first entry\n"
    "  --damage-block I:KIND    damage block I, counted from 0 over the whole file;\n"
    "                           KIND: checksum, bit, magic, headercheck, packedlength,\n"
    "                           unpackedlength\n"
    "  --damage-entry I:KIND    damage entry I, counted from 0;\n"
    "                           KIND: magic, format, version, checksum\n"
    "  --truncate N             keep only the first N bytes of the file\n"
    "  --layout                 list where every entry and block landed\n"
    "  -h, --help               show this text\n";

namespace {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::uint32_t ParseNumber(const std::string& text, const std::string& what, std::uint32_t low, std::uint32_t high) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
        throw UsageError(what + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
                         ", not '" + text + "'");
    }
    return value;
}

template <typename Kind>
struct Target {
    std::uint32_t index;
    Kind kind;
};

template <typename Kind>
Target<Kind> ParseTarget(const std::string& text, const std::string& option,
                         std::optional<Kind> (*parse)(const std::string&)) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) throw UsageError(option + " wants INDEX:KIND, not '" + text + "'");
    const std::optional<Kind> kind = parse(text.substr(colon + 1));
    if (!kind) throw UsageError(option + ": unknown damage '" + text.substr(colon + 1) + "'");
    return {ParseNumber(text.substr(0, colon), option + " index", 0, 0xFFFFFFFFu), *kind};
}

std::string FilePart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Deterministic junk without any 'K', so no entry header can be mistaken to start inside it.
std::vector<std::uint8_t> Junk(std::uint32_t count) {
    std::vector<std::uint8_t> bytes(count);
    std::uint32_t state = 0x2545F491u;
    for (std::uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
        if (byte == 'K') byte = 'J';
    }
    return bytes;
}

void PrintLayout(const Layout& layout, std::ostream& out) {
    std::size_t index = 0;
    for (std::size_t e = 0; e < layout.entries.size(); ++e) {
        const EntryPlacement& entry = layout.entries[e];
        out << "entry " << e << " at " << entry.headerOffset << ": next " << entry.nextEntry << ", blocks at "
            << entry.blockDataOffset << " (" << entry.blockDataLength << " bytes), trailer at " << entry.trailerOffset
            << " (" << entry.trailerLength << " bytes)\n";
        for (const BlockPlacement& block : entry.blocks) {
            out << "  block " << index++ << " at " << block.offset << ": channel " << unsigned{block.channel}
                << ", frames " << block.startFrame << "+" << block.frameCount << ", mode " << unsigned{block.mode}
                << ", P " << block.packedLength << ", N " << block.unpackedLength << "\n";
        }
    }
}

} // namespace

int RunKobpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> inputs, names;
    std::string output;
    EncodeOptions options;
    std::uint32_t junk = 0;
    std::optional<std::uint32_t> truncate;
    std::vector<Target<BlockDamage>> blockDamage;
    std::vector<Target<EntryDamage>> entryDamage;
    bool layout = false;

    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            auto value = [&]() -> const std::string& {
                if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
                return args[++i];
            };
            if (arg == "-h" || arg == "--help") {
                out << kKobpackUsage;
                return 0;
            } else if (arg == "-o" || arg == "--output") {
                output = value();
            } else if (arg == "--block-frames") {
                options.blockFrames = ParseNumber(value(), arg, 1, static_cast<std::uint32_t>(kMaxBlockFrames));
            } else if (arg == "--mode") {
                options.block.forcedMode = static_cast<int>(ParseNumber(value(), arg, 1, 5));
            } else if (arg == "--width") {
                options.block.forcedWidth = static_cast<int>(ParseNumber(value(), arg, 2, 17));
            } else if (arg == "--name") {
                names.push_back(value());
            } else if (arg == "--junk") {
                junk = ParseNumber(value(), arg, 0, 1u << 30);
            } else if (arg == "--damage-block") {
                blockDamage.push_back(ParseTarget<BlockDamage>(value(), arg, ParseBlockDamage));
            } else if (arg == "--damage-entry") {
                entryDamage.push_back(ParseTarget<EntryDamage>(value(), arg, ParseEntryDamage));
            } else if (arg == "--truncate") {
                truncate = ParseNumber(value(), arg, 0, 0xFFFFFFFFu);
            } else if (arg == "--layout") {
                layout = true;
            } else if (arg.size() > 1 && arg[0] == '-') {
                throw UsageError("unknown option " + arg);
            } else {
                inputs.push_back(arg);
            }
        }
        if (inputs.empty()) throw UsageError("no input WAVE file");
        if (output.empty()) throw UsageError("no output file (-o)");
        if (names.size() > inputs.size()) throw UsageError("more --name options than inputs");
    } catch (const UsageError& error) {
        err << "kobpack: " << error.what() << "\n" << kKobpackUsage;
        return 2;
    }

    try {
        std::vector<Recording> recordings;
        std::size_t sampleBytes = 0;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const WaveAudio audio = ReadWave(inputs[i]);
            Recording recording;
            recording.storedName = i < names.size() ? names[i] : FilePart(inputs[i]);
            recording.sampleRate = audio.sampleRate;
            recording.channelCount = audio.channelCount;
            recording.samples = audio.samples;
            sampleBytes += audio.samples.size() * 2;
            recordings.push_back(std::move(recording));
        }
        KobFile file = Encode(recordings, options);
        file.leadingBytes = Junk(junk);

        std::vector<BlockModel*> blocks;
        for (EntryModel& entry : file.entries) {
            for (BlockModel& block : entry.blocks) blocks.push_back(&block);
        }
        for (const auto& target : blockDamage) {
            if (target.index >= blocks.size()) {
                err << "kobpack: there is no block " << target.index << " (the file has " << blocks.size() << ")\n";
                return 2;
            }
            Damage(*blocks[target.index], target.kind);
        }
        for (const auto& target : entryDamage) {
            if (target.index >= file.entries.size()) {
                err << "kobpack: there is no entry " << target.index << " (the file has " << file.entries.size()
                    << ")\n";
                return 2;
            }
            Damage(file.entries[target.index], target.kind);
        }

        KobImage image = Serialise(file);
        if (truncate && *truncate < image.bytes.size()) image.bytes.resize(*truncate);
        WriteBytes(output, image.bytes);

        if (layout) PrintLayout(image.layout, out);
        out << output << ": " << file.entries.size() << " entries, " << blocks.size() << " blocks, "
            << image.bytes.size() << " bytes for " << sampleBytes << " sample bytes\n";
        return 0;
    } catch (const std::exception& error) {
        err << "kobpack: " << error.what() << "\n";
        return 1;
    }
}

} // namespace kobenc
