// ClaimedRanges: the stretches of a KOB file whose blocks some recording has taken, so that a
// rescue never writes a block twice and the search of the whole file skips what is done.
//
//     ClaimedRanges claimed;
//     claimed.Add(position, position + 22 + packedLength);
//     if (claimed.EndOf(p) >= 0) ...   // p lies in a claimed stretch; go on from its end
//
// Touching stretches merge, so the blocks of an entry read back to back make one. Memory stays
// bounded whatever the file: when `capacity` stretches are held, the two closest neighbours merge,
// and the gap between them counts as claimed from then on. A block there is then never looked
// at again: it may be missed, but it is never written twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class ClaimedRanges {
public:
    static constexpr std::size_t kCapacity = 1 << 16;   // 1 MiB of stretches

    explicit ClaimedRanges(std::size_t capacity = kCapacity) : mCapacity(capacity < 2 ? 2 : capacity) {}

    void Add(std::int64_t start, std::int64_t end);
    // The end of the claimed stretch that holds `position`, or -1 when none does.
    std::int64_t EndOf(std::int64_t position) const;
    std::size_t Count() const { return mRanges.size(); }

private:
    void MergeClosest();

    std::size_t mCapacity;
    std::vector<std::pair<std::int64_t, std::int64_t>> mRanges;   // sorted, disjoint, not touching
};
