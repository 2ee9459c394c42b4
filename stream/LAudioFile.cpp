#include "stream/LAudioFile.h"

LAudioFile::LAudioFile(const FileSpec& spec) : LFileStream(spec) {}

LAudioFile::~LAudioFile() = default;

std::FILE* LAudioFile::CreateAudioFile(std::uint32_t creator, std::uint32_t fileType) {
    CreateNewFile(creator, fileType, 0);
    return OpenDataFork(2);
}

void LAudioFile::SetFormat(std::int32_t frameCount, std::uint16_t channels,
                           std::uint16_t bytesPerSample, std::int32_t sampleRate) {
    mFrameCount = frameCount;
    mChannels = channels;
    mBytesPerSample = bytesPerSample;
    mSampleRate = sampleRate;
}

void LAudioFile::WriteTrailingData(std::int32_t, const std::uint8_t*) {}
