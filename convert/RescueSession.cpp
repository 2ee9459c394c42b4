#include "convert/RescueSession.h"

#include <cstdlib>

namespace {
thread_local RescueSession* gCurrent = nullptr;
} // namespace

void RescueSession::GoodEntry(std::int64_t position, std::uint32_t sampleRate) {
    if (mEntries.size() < kMostEntries) mEntries.emplace_back(position, sampleRate);
}

std::optional<std::uint32_t> RescueSession::NeighbourRate(std::int64_t position) const {
    std::optional<std::uint32_t> rate;
    std::int64_t nearest = 0;
    for (const auto& [at, entryRate] : mEntries) {
        const std::int64_t distance = std::llabs(at - position);
        if (!rate || distance < nearest) {
            rate = entryRate;
            nearest = distance;
        }
    }
    return rate;
}

bool RescueSession::DamagedHeader(std::int64_t position, std::int64_t blockPosition) {
    if (mDamaged.size() >= kMostEntries) return false;
    for (const auto& known : mDamaged)
        if (known.first == position) return false;
    mDamaged.emplace_back(position, blockPosition);
    return true;
}

std::int64_t RescueSession::DamagedHeaderFor(std::int64_t blockPosition) const {
    for (const auto& [position, blocks] : mDamaged)
        if (blocks == blockPosition) return position;
    return -1;
}

void RescueSession::Missing(std::string what) {
    if (mMissing.size() < kMostNotes) mMissing.push_back(std::move(what));
    else ++mMoreMissing;
}

std::vector<std::string> RescueSession::MissingLines() const {
    std::vector<std::string> lines = mMissing;
    if (mMoreMissing > 0) lines.push_back(std::to_string(mMoreMissing) + " more such places");
    return lines;
}

RescueSession* CurrentRescue() { return gCurrent; }

ActiveRescue::ActiveRescue(RescueSession& session) : mPrevious(gCurrent) { gCurrent = &session; }
ActiveRescue::~ActiveRescue() { gCurrent = mPrevious; }
