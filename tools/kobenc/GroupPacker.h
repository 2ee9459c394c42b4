// Packs a block's residuals into groups. Each group is a 4-bit width code w, a 4-bit count code
// c, then c + 1 residuals of w + 2 bits each (two's complement): 1 to 16 residuals of 2 to 17
// bits. Fields follow each other with no alignment, most significant bit first; the last byte is
// padded with zero bits. The reader stops once it has all the block's samples, so every group we
// write holds exactly the residuals that are left and nothing lies beyond the packed bytes.
//
//     PackPlan plan = PlanGroups(residuals);            // fewest bits
//     PackPlan wide = PlanFixedWidth(residuals, 17);    // every group 17 bits wide
//     std::vector<std::uint8_t> packed = WriteGroups(residuals, plan);
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kobenc {

constexpr int kMinWidth = 2;
constexpr int kMaxWidth = 17;
constexpr int kMaxGroupLength = 16;

struct Group {
    int width; // bits per residual, 2 to 17
    int count; // residuals in the group, 1 to 16
};

struct PackPlan {
    std::vector<Group> groups; // in stream order; their counts add up to the residual count
    std::size_t bits = 0;      // total bits, group headers included
    std::size_t Bytes() const { return (bits + 7) / 8; }
};

// The narrowest field, 2 to 17 bits, that holds value; throws std::invalid_argument if none does.
int ResidualWidth(std::int32_t value);

// The grouping with the fewest bits (exact, by dynamic programming over group boundaries).
PackPlan PlanGroups(const std::vector<std::int32_t>& residuals);

// Groups of 16 (the last one shorter) at one width; throws std::invalid_argument when the width
// is outside 2 to 17 or a residual does not fit it.
PackPlan PlanFixedWidth(const std::vector<std::int32_t>& residuals, int width);

// The packed bytes of residuals grouped as the plan says.
std::vector<std::uint8_t> WriteGroups(const std::vector<std::int32_t>& residuals, const PackPlan& plan);

} // namespace kobenc
