#include "convert/DamageListing.h"

#include "stream/LString255.h"

namespace {
constexpr std::int32_t kTextCreator = 0x74747874;  // "ttxt"
constexpr std::int32_t kTextType = 0x54455854;     // "TEXT"
constexpr char kLineEnd = '\r';
} // namespace

void DamageListing::Open() {
    auto stream = std::make_unique<LFileStream>(mSpec);
    stream->CreateNewFile(kTextCreator, kTextType, 0);
    stream->OpenDataFork(2);
    mStream = std::move(stream);
    PutText("128/10");
    PutText("\r");
}

void DamageListing::Finish() {
    if (!mStream) return;
    mStream->FinishDataFork();
    mStream.reset();
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
}
