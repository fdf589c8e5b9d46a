// One arc of higher-order differences, the way Compact RINEX carries a series of integers.
//
// An arc starts with "n&value": the value itself and the order n of differencing used from
// then on. Each later item is a difference of the current order, where the order ramps up
// by one per epoch until it reaches n: the second value comes as a first difference, the third
// as a second difference, and so on. Keeping the last value and its differences of every
// lower order lets each item be undone with at most n additions.
#pragma once

#include <cstdint>

namespace qcn0 {

class DifferenceArc {
  public:
    // The largest order Compact RINEX allows.
    static constexpr int kMaxOrder = 5;

    void start(int order, std::int64_t value) {
        order_ = static_cast<std::uint8_t>(order);
        restart(value);
    }

    // Undoes one difference and returns the restored value. Sums wrap instead of overflowing:
    // a real file never comes near the limits, and a damaged one is caught by the caller's
    // range check on the value.
    std::int64_t add(std::int64_t difference) {
        const int k = depth_ < order_ ? depth_ : order_;
        // The difference takes the place of order k. Every order adds its difference to the one
        // below; the terms above k are zero (never written since the arc started), so adding all
        // of them is adding those up to k. In registers, without a branch on k and without a
        // store at a varying place that the loads after it would have to wait for.
        const auto d = static_cast<std::uint64_t>(difference);
        std::uint64_t t[kMaxOrder + 1];
        for (int j = 0; j <= kMaxOrder; ++j) t[j] = j == k ? d : terms_[j];
        for (int j = kMaxOrder - 1; j >= 0; --j) t[j] += t[j + 1];
        for (int j = 0; j <= kMaxOrder; ++j) terms_[j] = t[j];
        if (depth_ <= kMaxOrder) ++depth_;
        return static_cast<std::int64_t>(t[0]);
    }

    // Continues after a gap as a new arc of the same order whose first value is `value`; the
    // receiver clock offset of Compact RINEX may restart this way without an "n&" marker.
    void restart(std::int64_t value) {
        for (auto& term : terms_) term = 0;
        terms_[0] = static_cast<std::uint64_t>(value);
        depth_ = 1;
    }

    std::int64_t value() const { return static_cast<std::int64_t>(terms_[0]); }

  private:
    std::uint64_t terms_[kMaxOrder + 1] = {};
    std::uint8_t order_ = 0;
    std::uint8_t depth_ = 0;  // values seen since the arc started, capped above kMaxOrder
};

}  // namespace qcn0
