// Writes the bundled sample KOB file that `tools/run-dudez` converts when it is given no names:
// two recordings of music-like audio, the first in stereo, the second in mono with one damaged
// block, so that a first run shows a listing of damaged blocks too.
//
//     make-sample out.kob
#include "tools/kobenc/Damage.h"
#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sample out.kob\n");
        return 2;
    }
    kobenc::Recording stereo;
    stereo.storedName = "Welcome.AIF";
    stereo.channelCount = 2;
    stereo.samples = kobenc::SyntheticMusic(3 * 44100, 2, 44100, 2026);
    kobenc::Recording mono;
    mono.storedName = "Damaged take.snd";
    mono.samples = kobenc::SyntheticMusic(2 * 44100, 1, 44100, 1208);
    try {
        kobenc::KobFile file = kobenc::Encode({stereo, mono});
        kobenc::Damage(file.entries[1].blocks[10], kobenc::BlockDamage::DataChecksum);
        kobenc::WriteBytes(argv[1], kobenc::Serialise(file).bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
