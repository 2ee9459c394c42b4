// RescueSession: what a rescue of one KOB file (--rescue) knows while it works: the stretches
// whose blocks are taken, the entries that passed their tests (for the sample rate of a
// recording found without one), the headers that failed theirs, and what could not be found.
//
//     RescueSession session;
//     ActiveRescue active(session);   // the converter's block loop now reads through it
//     ...
//     for (const std::string& note : session.Missing()) ...
//
// While an ActiveRescue lives, CurrentRescue() hands the session to the block loop of every
// entry the worker converts; otherwise it is null and the loop reads as it always has.
// Everything here is bounded: a file of any size costs at most a few megabytes.
#pragma once

#include "convert/ClaimedRanges.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class RescueSession {
public:
    ClaimedRanges claimed;

    // An entry header that passed its tests, at `position`.
    void GoodEntry(std::int64_t position, std::uint32_t sampleRate);
    // The sample rate of the good entry nearest to `position`, if there is one.
    std::optional<std::uint32_t> NeighbourRate(std::int64_t position) const;

    // An entry header that failed its tests (or was cut off), with the block position it gives,
    // to be asked for the name, rate and length of a run of blocks found later. False when it
    // is known already, or when so many are known that it is not kept (nothing is done with it).
    bool DamagedHeader(std::int64_t position, std::int64_t blockPosition);
    // The damaged header that gives `blockPosition` as its blocks' position, or -1.
    std::int64_t DamagedHeaderFor(std::int64_t blockPosition) const;

    // Something of the file that could not be restored, in plain words.
    void Missing(std::string what);
    std::vector<std::string> MissingLines() const;

    // The counter of the next recording named after the KOB file: 1, 2, ...
    int NextRescuedNumber() { return ++mRescuedNumber; }

private:
    static constexpr std::size_t kMostEntries = 4096;
    static constexpr std::size_t kMostNotes = 20;

    std::vector<std::pair<std::int64_t, std::uint32_t>> mEntries;   // position, sample rate
    std::vector<std::pair<std::int64_t, std::int64_t>> mDamaged;   // position, block position
    std::vector<std::string> mMissing;
    long mMoreMissing = 0;   // notes beyond kMostNotes
    int mRescuedNumber = 0;
};

// The session of the rescue under way on this thread, or nullptr.
RescueSession* CurrentRescue();

class ActiveRescue {
public:
    explicit ActiveRescue(RescueSession& session);
    ~ActiveRescue();
    ActiveRescue(const ActiveRescue&) = delete;
    ActiveRescue& operator=(const ActiveRescue&) = delete;

private:
    RescueSession* mPrevious;
};
