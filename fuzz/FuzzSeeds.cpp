// Writes the seed corpora of the fuzz targets:
//
//     fuzz-seeds <folder>      // makes <folder>/fuzz_convert_file, .../fuzz_decode_block, ...
//
// KOB files of 1, 2 and 6 channels, chained entries, leading and trailing bytes, trailing data,
// every kind of block and entry damage, files cut short at telling places; 22-byte block headers
// with their packed data for each predictor mode; names for the naming functions. Seeds are
// small, so the fuzzer's runs stay fast. Damage that FixUpKob would repair is marked in the
// bytes it looks at (see KobFixups.h), so those seeds stay damaged.
#include "tools/kobenc/BlockEncoder.h"
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace kobenc;

std::string gFolder;

void Seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string dir = gFolder + "/" + target;
    ::mkdir(dir.c_str(), 0755);
    WriteBytes(dir + "/" + name, bytes);
}

Recording Music(const std::string& storedName, std::uint16_t channels, std::uint32_t frames, std::uint32_t seed) {
    Recording r;
    r.storedName = storedName;
    r.channelCount = channels;
    r.samples = SyntheticMusic(frames, channels, 44100, seed);
    return r;
}

EncodeOptions Blocks(std::uint32_t frames) {
    EncodeOptions options;
    options.blockFrames = frames;
    return options;
}

Bytes Cut(Bytes bytes, std::size_t length) {
    bytes.resize(std::min(bytes.size(), length));
    return bytes;
}

void ConvertSeeds() {
    const std::string t = "fuzz_convert_file";
    Seed(t, "mono", EncodeToImage({Music("Take.AIF", 1, 1500, 1)}, Blocks(512)).bytes);
    Seed(t, "stereo", EncodeToImage({Music("duet.snd", 2, 1000, 2)}, Blocks(400)).bytes);
    Seed(t, "six-channels", EncodeToImage({Music("Surround.aiff", 6, 300, 3)}, Blocks(128)).bytes);
    Seed(t, "empty-entry", EncodeToImage({Music("nothing.aif", 1, 0, 4)}).bytes);
    Seed(t, "three-entries",
         EncodeToImage({Music("one.aif", 1, 400, 5), Music("two.sdm", 2, 300, 6), Music("one.aif", 1, 200, 7)},
                       Blocks(256)).bytes);

    // Leading bytes before the first entry, trailing data, and bytes after everything.
    KobFile extra = Encode({Music("Trailer Song.AIF", 2, 500, 8)}, Blocks(256));
    extra.leadingBytes = Bytes(130, 0x4B);
    extra.entries[0].trailer = Bytes(300, 0x5A);
    extra.entries[0].trailerTag = FourCC("TRLR");
    extra.trailingBytes = {'K', 'O', 'B', '1', 'M', 'R', 'F', 'C', 0, 1, 2};
    Seed(t, "leading-trailing", Serialise(extra).bytes);

    // One seed per kind of block damage, and the names with odd characters.
    const std::pair<BlockDamage, const char*> blockDamages[] = {
        {BlockDamage::DataChecksum, "checksum"}, {BlockDamage::PackedBit, "bit"},
        {BlockDamage::Magic, "magic"}, {BlockDamage::HeaderCheck, "headercheck"},
        {BlockDamage::PackedLength, "packedlength"}, {BlockDamage::UnpackedLength, "unpackedlength"}};
    for (const auto& [kind, label] : blockDamages) {
        KobFile file = Encode({Music("damaged.aif", 2, 600, 9)}, Blocks(200));
        Damage(file.entries[0].blocks[2], kind);
        file.entries[0].blocks[2].headerPatches.emplace_back(7, 1);   // keep a bad header check
        Seed(t, std::string("block-") + label, Serialise(file).bytes);
    }
    // A block whose packed bytes changed and whose data checksum is made to fit them.
    {
        KobFile file = Encode({Music("refit.aif", 1, 600, 10)}, Blocks(200));
        file.entries[0].blocks[1].packed[3] ^= 0x40;
        file.entries[0].blocks[1].headerPatches.emplace_back(7, 2);
        Seed(t, "block-refitted", Serialise(file).bytes);
    }
    // Damage to the second entry of two: the first stays.
    const std::pair<EntryDamage, const char*> entryDamages[] = {
        {EntryDamage::Magic, "magic"}, {EntryDamage::FormatTag, "format"},
        {EntryDamage::Version, "version"}, {EntryDamage::HeaderChecksum, "checksum"}};
    for (const auto& [kind, label] : entryDamages) {
        KobFile file = Encode({Music("first.aif", 1, 300, 11), Music("second.aif", 1, 300, 12)}, Blocks(128));
        Damage(file.entries[1], kind);
        file.entries[1].headerPatches.emplace_back(16, 1);   // keep a bad checksum
        Seed(t, std::string("entry-") + label, Serialise(file).bytes);
    }
    // Names: a '/' and "..", unprintable bytes, one far too long, an empty one.
    Seed(t, "name-traversal", EncodeToImage({Music("../up/Evil.AIF", 1, 100, 13), Music("a/b/c.snd", 1, 100, 14)}).bytes);
    Seed(t, "name-odd", EncodeToImage({Music("Tab\there\x7F\xE9.AIF", 1, 100, 15), Music("", 1, 100, 16)}).bytes);
    Seed(t, "name-long", EncodeToImage({Music(std::string(240, 'L') + ".aif", 1, 100, 17),
                                        Music(std::string(240, 'L') + ".aif", 1, 100, 18)}).bytes);
    // A chain that comes back to its first entry, and a next entry past the end of the file.
    {
        KobFile file = Encode({Music("loop.aif", 1, 200, 19), Music("back.aif", 1, 200, 20)}, Blocks(128));
        file.entries[1].nextEntry = 0;
        KobImage image = Serialise(file);
        Seed(t, "chain-end", image.bytes);
        file.entries[1].nextEntry = image.layout.entries[0].headerOffset;
        Seed(t, "chain-loop", Serialise(file).bytes);
        file.entries[1].nextEntry = 0x7FFFFF00u;
        Seed(t, "chain-beyond", Serialise(file).bytes);
    }
    // Files cut short: inside the first header, inside a block header, inside packed data.
    KobImage whole = EncodeToImage({Music("short.aif", 2, 700, 21)}, Blocks(256));
    const BlockPlacement& b3 = whole.layout.entries[0].blocks[3];
    Seed(t, "cut-header", Cut(whole.bytes, 250));
    Seed(t, "cut-block-header", Cut(whole.bytes, b3.offset + 10));
    Seed(t, "cut-packed", Cut(whole.bytes, b3.dataOffset + b3.packedLength / 2));
    Seed(t, "no-entry", Bytes{'K', 'O', 'B', '1', 'M', 'R', 'F'});
    Seed(t, "frames-without-blocks", [] {
        KobFile file = Encode({Music("ghost.aif", 3, 0, 22)});
        file.entries[0].frameCount = 5000;   // no block follows: all silence
        return Serialise(file).bytes;
    }());
}

void DecodeSeeds() {
    const std::string t = "fuzz_decode_block";
    const std::vector<std::int16_t> samples = SyntheticMusic(200, 1, 44100, 23);
    for (int mode = 1; mode <= 5; ++mode) {
        BlockOptions options;
        options.forcedMode = mode;
        const BlockModel block = EncodeBlock(1, 0, samples, options);
        const auto header = BlockHeaderBytes(block);
        Bytes bytes(header.begin(), header.end());
        bytes.insert(bytes.end(), block.packed.begin(), block.packed.end());
        Seed(t, "mode-" + std::to_string(mode), bytes);
        // The same block cut short: the decoder reads zeros where the data runs out.
        Bytes cut = bytes;
        cut.resize(22 + block.packed.size() / 3);
        Seed(t, "mode-" + std::to_string(mode) + "-short", cut);
    }
    BlockOptions wide;
    wide.forcedMode = 2;
    wide.forcedWidth = 17;
    const BlockModel block = EncodeBlock(1, 0, {32767, -32768, 1, -1}, wide);
    const auto header = BlockHeaderBytes(block);
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), block.packed.begin(), block.packed.end());
    Seed(t, "width-17", bytes);
    for (int mode : {0, 6, 255}) {
        Bytes other = bytes;
        other[5] = static_cast<std::uint8_t>(mode);
        Seed(t, "mode-" + std::to_string(mode), other);
    }
    Bytes odd = bytes;
    odd[19] = 7;   // N odd: its last byte is left alone
    Seed(t, "odd-length", odd);
}

void NamingSeeds() {
    const std::string t = "fuzz_naming";
    const std::pair<const char*, std::string> names[] = {
        {"plain", std::string("\x02") + "Take.AIF"},
        {"in-folder", std::string("\x0A") + "Piano.aiff"},
        {"short", std::string("\x0B") + "pianosolo2.snd"},
        {"windows", std::string("\x02") + "C:\\Sounds\\Piano.AIF"},
        {"directory-ext", std::string("\x04") + "/music/a.snd/B.AIF"},
        {"unprintable", std::string("\x0C") + "tab\there\x7F\xC3\xA9.sdm"},
        {"long", std::string("\x0A") + std::string(230, 'x') + ".wav"},
        {"long-dots", std::string("\x0A") + std::string(100, 'a') + "." + std::string(130, 'b')},
        {"output-names", std::string("\x02") + std::string("Dir.AIF\0Take.AIF", 16)},
        {"output-traversal", std::string("\x02") + std::string("sub\0../x/Evil.snd", 17)},
    };
    for (const auto& [label, text] : names) Seed(t, label, Bytes(text.begin(), text.end()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds <folder>\n");
        return 2;
    }
    gFolder = argv[1];
    ::mkdir(gFolder.c_str(), 0755);
    ConvertSeeds();
    DecodeSeeds();
    NamingSeeds();
    return 0;
}
