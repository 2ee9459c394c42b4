// A KOB file of one stereo recording of synthetic music, for the tests that run the program.
//
//     const std::string kob = testsupport::MakeStereoKob(dir.File("big.kob"), "Big.aif", 44100 * 10);
#pragma once

#include "tools/kobenc/KobEncoder.h"
#include "tools/kobenc/KobSerialiser.h"
#include "tools/kobenc/SyntheticMusic.h"

#include <cstdint>
#include <string>

namespace testsupport {

// Writes the file at `path` (the folder must exist), `frames` frames at 44.1 kHz stored under the
// name `stored`; returns `path`.
inline std::string MakeStereoKob(const std::string& path, const std::string& stored, std::uint32_t frames) {
    kobenc::Recording recording;
    recording.storedName = stored;
    recording.channelCount = 2;
    recording.samples = kobenc::SyntheticMusic(frames, 2, 44100, 3);
    kobenc::WriteBytes(path, kobenc::Serialise(kobenc::Encode({recording})).bytes);
    return path;
}

} // namespace testsupport
