#include "convert/ClaimedRanges.h"

#include <algorithm>

void ClaimedRanges::Add(std::int64_t start, std::int64_t end) {
    if (start >= end) return;
    // The first stretch that ends at or after start: the first that may touch the new one.
    auto first = std::lower_bound(mRanges.begin(), mRanges.end(), start,
                                  [](const auto& range, std::int64_t at) { return range.second < at; });
    auto last = first;
    while (last != mRanges.end() && last->first <= end) {
        start = std::min(start, last->first);
        end = std::max(end, last->second);
        ++last;
    }
    if (first != last) {
        *first = {start, end};
        mRanges.erase(first + 1, last);
        return;
    }
    mRanges.insert(first, {start, end});
    if (mRanges.size() > mCapacity) MergeClosest();
}

void ClaimedRanges::MergeClosest() {
    std::size_t best = 0;
    for (std::size_t i = 1; i + 1 < mRanges.size(); ++i)
        if (mRanges[i + 1].first - mRanges[i].second < mRanges[best + 1].first - mRanges[best].second) best = i;
    mRanges[best].second = mRanges[best + 1].second;
    mRanges.erase(mRanges.begin() + static_cast<std::ptrdiff_t>(best) + 1);
}

std::int64_t ClaimedRanges::EndOf(std::int64_t position) const {
    auto at = std::upper_bound(mRanges.begin(), mRanges.end(), position,
                               [](std::int64_t p, const auto& range) { return p < range.first; });
    if (at == mRanges.begin()) return -1;
    --at;
    return position < at->second ? at->second : -1;
}
