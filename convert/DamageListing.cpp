#include "convert/DamageListing.h"

#include "convert/OutputFile.h"
#include "platform/runtime/Crt.h"
#include "stream/ErrorCode.h"
#include "stream/LString255.h"
#include "stream/OutputNaming.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace {
constexpr std::int32_t kTextCreator = 0x74747874;  // "ttxt"
constexpr std::int32_t kTextType = 0x54455854;     // "TEXT"
constexpr char kLineEnd = '\r';
constexpr std::size_t kMostListed = 1000;

FileSpec WithSuffix(const FileSpec& spec, const char* suffix) {
    return MakeFileSpec(spec.mFolder, FileSpecPath(spec) + suffix);
}
} // namespace

void DamageListing::Open() {
    std::unique_ptr<LFileStream> stream;
    const FileSpec listing = WithSuffix(mWave, ".err");
    for (int tries = 0;; ++tries) {
        if (tries == kNameTries) throw ErrorCode{EEXIST};
        mTemp = TemporaryNameFor(listing);
        stream = std::make_unique<LFileStream>(mTemp);
        try {
            stream->CreateNewFile(kTextCreator, kTextType, 0);
            break;
        } catch (ErrorCode code) {
            if (code != EEXIST) throw;
        }
    }
    mMade = true;
    stream->OpenDataFork(2);
    crt::IdentityOf(stream->GetDataFork(), &mMadeStatus);
    mStream = std::move(stream);
    PutText("128/10");
    PutText("\r");
}

void DamageListing::RemoveTemporary() {
    const FileSpec& current = mNamed ? mSpec : mTemp;
    char name[kPathTextSize];
    if (mMade && crt::IsUnfinished(current.mFolder, FileSpecPathText(current, name))) RemoveSpecFile(current);
    mMade = false;
    mNamed = false;
}

bool DamageListing::StillOurs() const {
    const FileSpec& current = mNamed ? mSpec : mTemp;
    char name[kPathTextSize];
    return IsMadeFile(current.mFolder, FileSpecPathText(current, name), mMadeStatus);
}

void DamageListing::Close() {
    if (mDry) return;
    bool holdsALine = mFinished;
    if (mStream) {
        std::FILE* fork = mStream->GetDataFork();
        // What reached the file, not what the runtime still holds: on a full disk that is nothing.
        struct stat status {};
        char name[kPathTextSize];
        const bool known = fork ? crt::fflush(fork) == 0 && crt::fstat(fork, &status) == 0
                                : crt::fstatat(mTemp.mFolder, FileSpecPathText(mTemp, name), &status) == 0;   // closed by a failed Finish
        holdsALine = known && mFirstLineEnd > 0 && status.st_size >= mFirstLineEnd;
        mStream.reset();
    }
    if (!mMade) return;
    if (!StillOurs()) {
        // Someone put another file at its name: that is not the program's to keep or remove.
        mMade = false;
        return;
    }
    if (!holdsALine) {
        RemoveTemporary();
        return;
    }
    // It tells what was damaged: it stays, beside the WAVE file's first name.
    if (RenameBeside(mWave) == 0) {
        mMade = false;
        return;
    }
    // It cannot get a name: it goes with the rest of the entry.
    RemoveTemporary();
}

int DamageListing::RenameBeside(const FileSpec& wave, const char* alsoComplete,
                                const std::function<void(const std::string&)>& tell, const std::function<void()>& untell) {
    char from[kPathTextSize];
    FileSpecPathText(mTemp, from);
    FileSpec named;
    int error = 0;
    const bool moved = CreateUnderFreeName(wave, LString255(".err"), named, [&](const FileSpec& candidate) {
        char to[kPathTextSize];
        FileSpecPathText(candidate, to);
        if (tell) tell(ShownPath(candidate));
        errno = 0;
        if (crt::RenameNoReplace(mTemp.mFolder, from, to, alsoComplete) == 0) return true;
        const int failed = errno != 0 ? errno : EIO;
        if (untell) untell();
        if (failed == EEXIST) return false;   // a name taken meanwhile: the next one
        error = failed;
        return true;   // stops the tries: the failure is in error
    });
    if (!moved) return EEXIST;
    if (error != 0) return error;
    mSpec = named;
    mNamed = true;
    return 0;
}

void DamageListing::Finish() {
    if (!mStream) return;
    mStream->FinishDataFork();
    mStream.reset();
    mFinished = true;
}

void DamageListing::PublishBeside(const FileSpec& wave, const char* waveName,
                                  const std::function<void(const std::string&)>& tell, const std::function<void()>& untell) {
    if (!StillOurs()) throw ErrorCode{ENOENT};
    if (const int error = RenameBeside(wave, waveName, tell, untell)) throw ErrorCode{error};
    mMade = false;
    // Swapped between the look and the rename: not the listing, whatever it is. It goes back to
    // the hidden name and is forgotten: it is not the program's to remove.
    if (!StillOurs()) {
        untell();
        char name[kPathTextSize];
        char hidden[kPathTextSize];
        crt::RenameNoReplace(mSpec.mFolder, FileSpecPathText(mSpec, name), FileSpecPathText(mTemp, hidden));
        mNamed = false;
        throw ErrorCode{ENOENT};
    }
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
    if (mDry) {
        if (mListed.size() < kMostListed) mListed.push_back({firstFrame, endFrame, channel});
        ++mStretches;
        return;
    }
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
