#include "tools/kobenc/GroupPacker.h"

#include "tools/kobenc/BitWriter.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace kobenc {

namespace {

constexpr std::size_t kGroupHeaderBits = 8;

} // namespace

int ResidualWidth(std::int32_t value) {
    for (int width = kMinWidth; width <= kMaxWidth; ++width) {
        const std::int64_t half = std::int64_t{1} << (width - 1);
        if (value >= -half && value < half) return width;
    }
    throw std::invalid_argument("residual " + std::to_string(value) + " needs more than 17 bits");
}

PackPlan PlanGroups(const std::vector<std::int32_t>& residuals) {
    const std::size_t n = residuals.size();
    std::vector<int> widths(n);
    for (std::size_t i = 0; i < n; ++i) widths[i] = ResidualWidth(residuals[i]);

    // best[i]: fewest bits for the first i residuals; length[i]: length of the last group there.
    std::vector<std::size_t> best(n + 1, std::numeric_limits<std::size_t>::max());
    std::vector<int> length(n + 1, 0);
    std::vector<int> width(n + 1, 0);
    best[0] = 0;
    for (std::size_t i = 1; i <= n; ++i) {
        int widest = kMinWidth;
        for (int len = 1; len <= kMaxGroupLength && static_cast<std::size_t>(len) <= i; ++len) {
            widest = std::max(widest, widths[i - static_cast<std::size_t>(len)]);
            const std::size_t cost = best[i - static_cast<std::size_t>(len)] + kGroupHeaderBits +
                                     static_cast<std::size_t>(len) * static_cast<std::size_t>(widest);
            if (cost < best[i]) {
                best[i] = cost;
                length[i] = len;
                width[i] = widest;
            }
        }
    }

    PackPlan plan;
    plan.bits = best[n];
    for (std::size_t i = n; i > 0; i -= static_cast<std::size_t>(length[i])) {
        plan.groups.push_back({width[i], length[i]});
    }
    std::reverse(plan.groups.begin(), plan.groups.end());
    return plan;
}

PackPlan PlanFixedWidth(const std::vector<std::int32_t>& residuals, int width) {
    if (width < kMinWidth || width > kMaxWidth) {
        throw std::invalid_argument("residual width " + std::to_string(width) + " is not 2 to 17");
    }
    for (std::int32_t value : residuals) {
        if (ResidualWidth(value) > width) {
            throw std::invalid_argument("residual " + std::to_string(value) + " does not fit in " +
                                        std::to_string(width) + " bits");
        }
    }
    PackPlan plan;
    for (std::size_t left = residuals.size(); left > 0;) {
        const int count = static_cast<int>(std::min<std::size_t>(left, kMaxGroupLength));
        plan.groups.push_back({width, count});
        plan.bits += kGroupHeaderBits + static_cast<std::size_t>(count) * static_cast<std::size_t>(width);
        left -= static_cast<std::size_t>(count);
    }
    return plan;
}

std::vector<std::uint8_t> WriteGroups(const std::vector<std::int32_t>& residuals, const PackPlan& plan) {
    BitWriter out;
    std::size_t next = 0;
    for (const Group& group : plan.groups) {
        if (group.width < kMinWidth || group.width > kMaxWidth || group.count < 1 ||
            group.count > kMaxGroupLength || next + static_cast<std::size_t>(group.count) > residuals.size()) {
            throw std::invalid_argument("group plan does not match the residuals");
        }
        out.Put(static_cast<std::uint32_t>(group.width - kMinWidth), 4);
        out.Put(static_cast<std::uint32_t>(group.count - 1), 4);
        for (int k = 0; k < group.count; ++k) out.PutSigned(residuals[next++], group.width);
    }
    if (next != residuals.size()) throw std::invalid_argument("group plan does not cover every residual");
    return out.Finish();
}

} // namespace kobenc
