#include "convert/DamageListing.h"

#include "platform/runtime/Crt.h"
#include "stream/LString255.h"
#include "stream/OutputNaming.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {
constexpr std::int32_t kTextCreator = 0x74747874;  // "ttxt"
constexpr std::int32_t kTextType = 0x54455854;     // "TEXT"
constexpr char kLineEnd = '\r';
} // namespace

void DamageListing::Open() {
    std::unique_ptr<LFileStream> stream;
    const bool made = CreateUnderFreeName(mWave, LString255(".err"), mSpec, [&](const FileSpec& candidate) {
        stream = std::make_unique<LFileStream>(candidate);
        try {
            stream->CreateNewFile(kTextCreator, kTextType, 0);
        } catch (std::int32_t code) {
            if (code == EEXIST) return false;
            throw;
        }
        return true;
    });
    if (!made) throw static_cast<std::int32_t>(EEXIST);
    stream->OpenDataFork(2);
    mStream = std::move(stream);
    PutText("128/10");
    PutText("\r");
}

void DamageListing::Close() {
    if (!mStream) {
        // Finished whole before the entry failed: it stays as it is.
        if (mFinished) crt::KeepFiles({Path().c_str()});
        return;
    }
    const std::string path = Path();
    std::FILE* fork = mStream->GetDataFork();
    // What reached the file, not what the runtime still holds: on a full disk that is nothing.
    struct stat status {};
    const bool known = fork ? crt::fflush(fork) == 0 && crt::fstat(fork, &status) == 0
                            : ::lstat(path.c_str(), &status) == 0;   // closed by a failed Finish
    const bool holdsALine = known && mFirstLineEnd > 0 && status.st_size >= mFirstLineEnd;
    mStream.reset();
    if (holdsALine) {
        crt::KeepFiles({path.c_str()});
    } else if (crt::IsUnfinished(path.c_str())) {
        RemoveSpecFile(mSpec);
    }
}

void DamageListing::Finish() {
    if (!mStream) return;
    mStream->FinishDataFork();
    mStream.reset();
    mFinished = true;
}

void DamageListing::PutText(const char* text) {
    LString255 item(text);
    static_cast<LStream&>(*mStream).PutBlock(item.Chars(), item.Length());
}

void DamageListing::PutNumber(std::int32_t value) {
    LString255 item;
    item.AssignNumber(value);
    static_cast<LStream&>(*mStream).PutBlock(item.Chars(), item.Length());
}

void DamageListing::AddStretch(std::int32_t firstFrame, std::int32_t endFrame, std::int32_t channel) {
    if (!mStream) Open();
    PutText("128/11");
    PutNumber(firstFrame);
    PutText("128/12");
    PutNumber(endFrame);
    if (channel == 1) {
        PutText("128/13");
    } else if (channel == 2) {
        PutText("128/14");
    } else if (channel != kNoChannel) {
        PutText("128/15");
        PutNumber(channel);
        PutText("128/16");
    }
    const char end[2] = {kLineEnd, '\0'};
    PutText(end);
    if (mFirstLineEnd == 0) mFirstLineEnd = static_cast<LStream&>(*mStream).GetMarker();
    ++mStretches;
}
