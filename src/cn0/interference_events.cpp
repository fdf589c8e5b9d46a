#include "cn0/interference_events.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "cn0/signal_bands.hpp"

namespace qcn0 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kNever = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kBands = kBandNames.size();

constexpr std::size_t kMinSignals = 5;     // signals with a nominal for a band's median
constexpr std::size_t kHistory = 5;        // values in a signal's own reference
constexpr std::size_t kMinHistory = 3;     // values before a reference is trusted
constexpr double kHistorySeconds = 600.0;  // outside events, older references are not trusted
constexpr double kFreshSeconds = 120.0;    // an event ends by its level only this young
constexpr double kSigmas = 6.0;
// Real stations show common C/N0 movements of up to 2 dB for a minute or two (receiver gain
// control, antenna heating, snow): below that nothing is reported. Above 2.5 dB a 3 dB event
// could hide in the noise.
constexpr double kMinThreshold = 2.0;  // dB
constexpr double kMaxThreshold = 2.5;  // dB

constexpr double kLostShare = 0.6;     // of the tracked signals, lost at one epoch
constexpr std::size_t kMinLost = 5;
constexpr std::size_t kEdge = 5;        // samples on each side of an edge
constexpr std::size_t kMinSpread = 8;   // satellites for a constellation's spread
constexpr double kFlatSpread = 1.0;     // dB
constexpr double kFlatShare = 0.25;     // of the usual spread
constexpr double kFlatSeconds = 300.0;
constexpr double kElevationBin = 2.0;  // degrees
constexpr int kElevationBins = 46;

enum Kind { kDrop = 0, kRise = 1, kFlat = 2 };
constexpr std::array<const char*, 3> kKindNames = {"cn0_drop", "cn0_rise", "cn0_flattening"};

// Median of the values; reorders them.
double median_of(std::vector<double>& v) {
    if (v.empty()) return kNaN;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    double m = *mid;
    if (v.size() % 2 == 0) m = 0.5 * (m + *std::max_element(v.begin(), mid));
    return m;
}

struct Point {
    std::uint32_t t;  // timestamp index
    double cn0;
    double elevation;
    double curve = 0.0;  // the station's C/N0 at this elevation (0 without an orbit)
};

struct Signal {
    char system;
    int band;
    bool positioned;
    std::vector<Point> points;  // ascending t, one per t
};

// The samples arranged per signal, and per band and epoch: entries[first[b*T+t] .. first[b*T+t+1])
// are (signal, position in its series) for the signals of band b present at epoch t.
struct Layout {
    std::vector<Signal> signals;
    std::size_t epochs = 0;
    std::vector<std::uint32_t> first;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
    std::array<std::vector<std::uint32_t>, kBands> band_signals;

    std::size_t begin(std::size_t band, std::size_t t) const { return first[band * epochs + t]; }
    std::size_t end(std::size_t band, std::size_t t) const { return first[band * epochs + t + 1]; }
};

Layout arrange(const SampleSet& set) {
    Layout layout;
    layout.epochs = set.timestamps.size();
    const std::size_t n_codes = set.signals.size();
    std::vector<std::uint32_t> id(set.satellites.size() * n_codes, kNever);
    // Points per signal first, so that each series is allocated once.
    std::vector<std::uint32_t> count(id.size(), 0);
    for (const Cn0Sample& s : set.samples) ++count[static_cast<std::size_t>(s.satellite) * n_codes + s.signal];
    for (const Cn0Sample& s : set.samples) {
        std::uint32_t& k = id[static_cast<std::size_t>(s.satellite) * n_codes + s.signal];
        if (k == kNever) {
            const int band = band_of(s.system, set.signals[s.signal]);
            if (band == kNoBand) continue;
            k = static_cast<std::uint32_t>(layout.signals.size());
            const bool positioned = s.satellite < set.positioned.size() && set.positioned[s.satellite] != 0;
            layout.signals.push_back(Signal{s.system, band, positioned, {}});
            layout.signals.back().points.reserve(count[static_cast<std::size_t>(s.satellite) * n_codes + s.signal]);
            layout.band_signals[static_cast<std::size_t>(band)].push_back(k);
        }
        layout.signals[k].points.push_back(Point{s.time, s.cn0, s.elevation});
    }
    const std::size_t T = layout.epochs;
    layout.first.assign(kBands * T + 1, 0);
    for (Signal& sig : layout.signals) {
        // Epochs come in file order; a file out of time order, or one epoch written twice, is
        // put in order here (the later value of a repeated time wins).
        if (!std::is_sorted(sig.points.begin(), sig.points.end(),
                            [](const Point& a, const Point& b) { return a.t < b.t; })) {
            std::stable_sort(sig.points.begin(), sig.points.end(),
                             [](const Point& a, const Point& b) { return a.t < b.t; });
        }
        std::size_t w = 0;
        for (std::size_t i = 0; i < sig.points.size(); ++i) {
            if (w > 0 && sig.points[w - 1].t == sig.points[i].t) {
                sig.points[w - 1] = sig.points[i];
            } else {
                sig.points[w++] = sig.points[i];
            }
        }
        sig.points.resize(w);
        for (const Point& p : sig.points) ++layout.first[static_cast<std::size_t>(sig.band) * T + p.t + 1];
    }
    for (std::size_t i = 1; i < layout.first.size(); ++i) layout.first[i] += layout.first[i - 1];
    layout.entries.resize(layout.first.back());
    std::vector<std::uint32_t> fill(layout.first.begin(), layout.first.end() - 1);
    for (std::uint32_t k = 0; k < layout.signals.size(); ++k) {
        const Signal& sig = layout.signals[k];
        for (std::uint32_t i = 0; i < sig.points.size(); ++i) {
            layout.entries[fill[static_cast<std::size_t>(sig.band) * T + sig.points[i].t]++] = {k, i};
        }
    }
    return layout;
}

// The station's C/N0 against elevation for each band and constellation (robust bin medians,
// empty bins taken from their neighbours), fitted on the points outside `excluded` epochs, and
// stored with every point of a positioned signal.
void fit_elevation_nominals(Layout& layout, const std::array<std::vector<char>, kBands>& excluded) {
    struct Curve {
        std::array<std::vector<double>, kElevationBins> bins;
        std::array<double, kElevationBins> level{};
    };
    // Limited before the conversion: a degenerate orbit can give any elevation, or none.
    auto bin_of = [](double elevation) {
        if (std::isnan(elevation)) return 0;
        return static_cast<int>(std::clamp(std::floor(elevation / kElevationBin), 0.0, double(kElevationBins - 1)));
    };
    auto usable = [&](const Signal& sig, const Point& p) {
        const auto& ex = excluded[static_cast<std::size_t>(sig.band)];
        return ex.empty() || !ex[p.t];
    };
    std::vector<std::pair<std::pair<int, char>, Curve>> curves;
    auto curve_of = [&](const Signal& sig) -> Curve& {
        for (auto& c : curves) {
            if (c.first == std::make_pair(sig.band, sig.system)) return c.second;
        }
        curves.emplace_back(std::make_pair(sig.band, sig.system), Curve{});
        return curves.back().second;
    };
    // A few tens of thousands of points fix a curve well; a day at 1 Hz has millions.
    std::size_t total = 0;
    for (const Signal& sig : layout.signals) total += sig.positioned ? sig.points.size() : 0;
    const std::size_t stride = std::max<std::size_t>(1, total / 50000);
    std::size_t index = 0;
    for (const Signal& sig : layout.signals) {
        if (!sig.positioned) continue;
        Curve& c = curve_of(sig);
        for (const Point& p : sig.points) {
            if (index++ % stride == 0 && usable(sig, p)) {
                c.bins[static_cast<std::size_t>(bin_of(p.elevation))].push_back(p.cn0);
            }
        }
    }
    for (auto& [key, c] : curves) {
        std::array<double, kElevationBins> raw;
        for (int b = 0; b < kElevationBins; ++b) raw[static_cast<std::size_t>(b)] = median_of(c.bins[static_cast<std::size_t>(b)]);
        for (int b = 0; b < kElevationBins; ++b) {
            // Nearest filled bins below and above, interpolated.
            int lo = b, hi = b;
            while (lo >= 0 && std::isnan(raw[static_cast<std::size_t>(lo)])) --lo;
            while (hi < kElevationBins && std::isnan(raw[static_cast<std::size_t>(hi)])) ++hi;
            double v = kNaN;
            if (lo >= 0 && hi < kElevationBins) {
                const double a = raw[static_cast<std::size_t>(lo)], z = raw[static_cast<std::size_t>(hi)];
                v = hi == lo ? a : a + (z - a) * (b - lo) / double(hi - lo);
            } else if (lo >= 0) {
                v = raw[static_cast<std::size_t>(lo)];
            } else if (hi < kElevationBins) {
                v = raw[static_cast<std::size_t>(hi)];
            }
            c.level[static_cast<std::size_t>(b)] = v;
        }
    }
    for (Signal& sig : layout.signals) {
        if (!sig.positioned) continue;
        const Curve& c = curve_of(sig);
        for (Point& p : sig.points) {
            const double level = c.level[static_cast<std::size_t>(bin_of(p.elevation))];
            p.curve = std::isnan(level) ? 0.0 : level;
        }
    }
}

struct Span {
    std::uint32_t start;
    std::uint32_t end;  // inclusive
    Kind kind;
};

// Median of a signal's own last values, less the elevation curve where there is one: the
// signal's nominal C/N0 is the curve at its present elevation plus this level.
struct History {
    std::array<double, kHistory> values{};
    std::size_t count = 0, next = 0;
    double newest = -1e300;  // seconds
    double trimmed = 0.0;    // kept up to date by push()

    void push(double v, double when) {
        values[next] = v;
        next = (next + 1) % kHistory;
        count = std::min(count + 1, kHistory);
        newest = when;
        // The mean without the highest and the lowest value: the median of three or four values,
        // and for five as robust against one outlier, at a fraction of a sort's cost.
        double sum = values[0], lo = values[0], hi = values[0];
        for (std::size_t i = 1; i < count; ++i) {
            sum += values[i];
            lo = std::min(lo, values[i]);
            hi = std::max(hi, values[i]);
        }
        trimmed = count > 2 ? (sum - lo - hi) / static_cast<double>(count - 2) : sum / static_cast<double>(count);
    }
    double level() const { return trimmed; }
};

struct Timing {
    const std::vector<double>& seconds;
    double interval;
    // Whether epoch t directly follows epoch t - 1 (no epochs missing between them).
    bool follows(std::size_t t) const { return t > 0 && seconds[t] - seconds[t - 1] <= 2.5 * interval; }
};

// One pass over the epochs of a band: the median deviation of its signals from their nominal
// values, tested against the threshold, with a state machine that needs two epochs to open an
// event and closes it when the median comes back within half the threshold or the signals step
// back up together. Fills `deviations` (NaN where undefined) when given.
std::vector<Span> scan_band(const Layout& layout, std::size_t band, const Timing& timing, double threshold,
                            std::vector<double>* deviations, bool* alarmed = nullptr) {
    const std::size_t T = layout.epochs;
    std::vector<Span> spans;
    std::vector<History> history(layout.signals.size());
    std::vector<std::uint32_t> seen_at(layout.signals.size(), kNever);
    std::vector<char> had_nominal(layout.signals.size(), 0);
    std::vector<double> residuals, steps, nominals;
    if (deviations) deviations->assign(T, kNaN);

    enum { kIdle, kPending, kActive } state = kIdle;
    Span current{0, 0, kDrop};
    double onset = 0.0;
    std::size_t onset_tracked = 0;

    auto nominal_of = [&](std::uint32_t k, const Point& p) -> double {
        const History& h = history[k];
        if (h.count < kMinHistory) return kNaN;
        if (state == kIdle && timing.seconds[p.t] - h.newest > kHistorySeconds) return kNaN;
        return p.curve + h.level();
    };

    for (std::size_t t = 0; t < T; ++t) {
        const std::size_t b0 = layout.begin(band, t), b1 = layout.end(band, t);
        // Signals tracked (with a nominal) at the epoch before, and how many of them are gone.
        std::size_t tracked = 0, lost = 0;
        if (timing.follows(t)) {
            for (std::size_t i = layout.begin(band, t - 1); i < layout.end(band, t - 1); ++i) {
                const std::uint32_t k = layout.entries[i].first;
                if (!had_nominal[k]) continue;
                ++tracked;
            }
        }
        // The band is not observed here (an epoch during a drop still counts: its signals may all
        // be lost).
        if (b0 == b1 && tracked == 0 && !(state != kIdle && current.kind == kDrop)) continue;
        residuals.clear();
        steps.clear();
        nominals.clear();
        std::size_t returned = 0;  // signals back after an absence, or new
        std::size_t low = 0;       // signals tracked at the epoch before, now below their nominal
        const bool after = timing.follows(t);
        for (std::size_t i = b0; i < b1; ++i) {
            const auto [k, pos] = layout.entries[i];
            const Point& p = layout.signals[k].points[pos];
            if (seen_at[k] == kNever || seen_at[k] + 1 < t) ++returned;
            const double nominal = nominal_of(k, p);
            nominals.push_back(nominal);
            if (!std::isnan(nominal)) {
                residuals.push_back(p.cn0 - nominal);
                if (after && had_nominal[k] && seen_at[k] + 1 == t && p.cn0 - nominal <= -threshold) ++low;
            }
            if (state == kActive && pos > 0 && after && layout.signals[k].points[pos - 1].t == t - 1) {
                steps.push_back(p.cn0 - layout.signals[k].points[pos - 1].cn0);
            }
        }
        if (tracked > 0) {
            for (std::size_t i = layout.begin(band, t - 1); i < layout.end(band, t - 1); ++i) {
                const std::uint32_t k = layout.entries[i].first;
                if (had_nominal[k] && seen_at[k] != t) {
                    const auto& pts = layout.signals[k].points;
                    const std::uint32_t pos = layout.entries[i].second;
                    if (pos + 1 >= pts.size() || pts[pos + 1].t != t) ++lost;
                }
            }
        }
        const std::size_t n = residuals.size();
        const double deviation = n > 0 ? median_of(residuals) : kNaN;
        // The common step only decides the end of an event.
        const double step = state == kActive && steps.size() >= kMinSignals ? median_of(steps) : kNaN;
        if (deviations && state == kIdle && n >= kMinSignals) (*deviations)[t] = deviation;

        // Most of the signals tracked a moment ago lost or far below their nominal: a drop, even
        // when too few are left to take a median.
        const bool mass_loss = lost + low >= kMinLost &&
                               static_cast<double>(lost + low) >= kLostShare * static_cast<double>(tracked);
        // During a drop, few signals left, or the few left still low, is evidence it goes on.
        const bool still_lost = state != kIdle && current.kind == kDrop && n < kMinSignals &&
                                (2 * (b1 - b0) < onset_tracked || (n > 0 && deviation <= -threshold));
        const bool drop = (n >= kMinSignals && deviation <= -threshold) || mass_loss || still_lost;
        const bool rise = n >= kMinSignals && deviation >= threshold;

        bool clean = false;
        if (state == kActive) {
            const double sign = current.kind == kDrop ? -1.0 : 1.0;
            // Frozen references drift with elevation (without an orbit, the whole change; with one,
            // where a signal leaves its constellation's curve): their level is trusted for the end
            // of an event only while it is young. The common step and the returning signals end
            // older events.
            const double age = timing.seconds[t] - timing.seconds[current.start];
            const bool fresh = age <= std::max(kFreshSeconds, kEdge * timing.interval);
            const bool back = fresh && n >= kMinSignals && sign * deviation <= 0.5 * threshold;
            const bool stepped_back = !std::isnan(step) && -sign * step >= std::max(threshold, 0.5 * std::fabs(onset));
            // Signals all coming back at once end a drop, whatever the old references say (after
            // a long event they are partly other satellites).
            const bool reacquired = current.kind == kDrop && returned >= kMinLost &&
                                    static_cast<double>(returned) >= 0.4 * static_cast<double>(onset_tracked);
            if (back || stepped_back || reacquired) {
                spans.push_back(current);
                state = kIdle;
                // References from before the event are stale now; start them afresh.
                for (std::uint32_t k : layout.band_signals[band]) history[k] = History{};
            } else {
                current.end = static_cast<std::uint32_t>(t);
            }
        } else if (state == kPending) {
            if ((current.kind == kDrop && drop) || (current.kind == kRise && rise)) {
                state = kActive;
                current.end = static_cast<std::uint32_t>(t);
            } else {
                state = kIdle;
            }
        }
        if (state == kIdle) {
            if (drop || rise) {
                state = kPending;
                if (alarmed) *alarmed = true;
                current = Span{static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(t), drop ? kDrop : kRise};
                onset = std::isnan(deviation) ? 0.0 : deviation;
                onset_tracked = std::max(tracked, b1 - b0);
            } else {
                clean = true;
            }
        }
        for (std::size_t i = b0; i < b1; ++i) {
            const auto [k, pos] = layout.entries[i];
            const Point& p = layout.signals[k].points[pos];
            seen_at[k] = static_cast<std::uint32_t>(t);
            had_nominal[k] = !std::isnan(nominals[i - b0]);  // it can count as lost at the next epoch
            if (clean) history[k].push(p.cn0 - p.curve, timing.seconds[t]);
        }
    }
    if (state == kActive) spans.push_back(current);
    return spans;
}

// The noise level of a band's median deviation: 1.4826 times its median absolute deviation.
double robust_sigma(std::vector<double> values) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
    if (values.size() < 10) return kNaN;
    const double m = median_of(values);
    for (double& v : values) v = std::fabs(v - m);
    return 1.4826 * median_of(values);
}

// What one event did to each signal of its bands, measured at its edges (a few samples before
// and after the onset and the recovery), so that slow elevation changes over a long event do
// not enter the depth.
struct EdgeMeasure {
    std::vector<double> changes;  // drop in dB of affected signals tracked through (negative: rise)
    std::vector<double> partial_changes;  // of those that came and went
    std::vector<double> lost_headroom;  // of signals lost throughout: level before minus floor
    std::uint64_t affected = 0;
    std::uint64_t tracked = 0;
};

void measure_edges(const Layout& layout, std::size_t band, const Span& span, const Timing& timing,
                   double threshold, double floor, EdgeMeasure& out) {
    const double reach = 10.0 * timing.interval;
    std::vector<double> pre, first, last, post;
    const std::size_t event_epochs = span.end - span.start + 1;
    for (std::uint32_t k : layout.band_signals[band]) {
        const auto& pts = layout.signals[k].points;
        const auto at = std::lower_bound(pts.begin(), pts.end(), span.start,
                                         [](const Point& p, std::uint32_t t) { return p.t < t; });
        const std::size_t i0 = static_cast<std::size_t>(at - pts.begin());
        // Tracked: seen within a few epochs before the onset.
        if (i0 == 0 || timing.seconds[span.start] - timing.seconds[pts[i0 - 1].t] > 2.5 * timing.interval) continue;
        ++out.tracked;
        pre.clear();
        first.clear();
        last.clear();
        post.clear();
        for (std::size_t i = i0; i-- > 0 && pre.size() < kEdge;) {
            if (timing.seconds[span.start] - timing.seconds[pts[i].t] > reach) break;
            pre.push_back(pts[i].cn0);
        }
        std::size_t i1 = i0;
        while (i1 < pts.size() && pts[i1].t <= span.end) ++i1;
        const std::size_t inside = i1 - i0;
        for (std::size_t i = i0; i < i1 && first.size() < kEdge; ++i) first.push_back(pts[i].cn0);
        for (std::size_t i = i1; i-- > i0 && last.size() < kEdge;) last.push_back(pts[i].cn0);
        for (std::size_t i = i1; i < pts.size() && post.size() < kEdge; ++i) {
            if (timing.seconds[pts[i].t] - timing.seconds[span.end] > reach) break;
            post.push_back(pts[i].cn0);
        }
        const double before = median_of(pre);
        if (inside == 0) {
            ++out.affected;
            out.lost_headroom.push_back(before - floor);
            continue;
        }
        double sum = 0.0;
        int edges = 0;
        sum += before - median_of(first);
        ++edges;
        if (!post.empty()) {
            sum += median_of(post) - median_of(last);
            ++edges;
        }
        const double change = sum / edges;
        const bool mostly_lost = 2 * inside < event_epochs;
        const bool moved = span.kind == kDrop ? change >= 0.5 * threshold : change <= -0.5 * threshold;
        if (moved || mostly_lost) ++out.affected;
        // The depth comes from signals tracked through: one that comes and goes near the tracking
        // threshold shows only its better moments.
        if (moved) (10 * inside >= 9 * event_epochs ? out.changes : out.partial_changes).push_back(change);
    }
}

constexpr std::array<char, 5> kSpreadSystems = {'G', 'R', 'E', 'C', 'J'};

// The spread (standard deviation) of C/N0 across the signals of each constellation in one band,
// epoch by epoch (NaN with fewer than kMinSpread signals), in one pass over the band.
std::array<std::vector<double>, kSpreadSystems.size()> band_spreads(const Layout& layout, std::size_t band) {
    const std::size_t T = layout.epochs;
    std::array<std::vector<double>, kSpreadSystems.size()> spreads;
    std::array<std::size_t, 128> slot;
    slot.fill(kSpreadSystems.size());
    for (std::size_t i = 0; i < kSpreadSystems.size(); ++i) slot[static_cast<std::size_t>(kSpreadSystems[i])] = i;
    std::array<std::size_t, kSpreadSystems.size() + 1> signals{};
    for (std::uint32_t k : layout.band_signals[band]) ++signals[slot[static_cast<std::size_t>(layout.signals[k].system) & 127U]];
    for (std::size_t c = 0; c < kSpreadSystems.size(); ++c) {
        if (signals[c] >= kMinSpread) spreads[c].assign(T, kNaN);
    }
    for (std::size_t t = 0; t < T; ++t) {
        std::array<double, kSpreadSystems.size() + 1> sum{}, sum2{};
        std::array<std::size_t, kSpreadSystems.size() + 1> n{};
        for (std::size_t i = layout.begin(band, t); i < layout.end(band, t); ++i) {
            const auto [k, pos] = layout.entries[i];
            const std::size_t c = slot[static_cast<std::size_t>(layout.signals[k].system) & 127U];
            const double v = layout.signals[k].points[pos].cn0;
            sum[c] += v;
            sum2[c] += v * v;
            ++n[c];
        }
        for (std::size_t c = 0; c < kSpreadSystems.size(); ++c) {
            if (n[c] < kMinSpread || spreads[c].empty()) continue;
            const double mean = sum[c] / static_cast<double>(n[c]);
            spreads[c][t] = std::sqrt(std::max(0.0, sum2[c] / static_cast<double>(n[c]) - mean * mean));
        }
    }
    return spreads;
}

// The stretches where a spread collapsed far below its usual value.
std::vector<Span> flat_stretches(const std::vector<double>& spread, const Timing& timing, double& usual,
                                 std::vector<double>& during) {
    const std::size_t T = spread.size();
    std::vector<double> filled;
    for (double s : spread) {
        if (!std::isnan(s)) filled.push_back(s);
    }
    std::vector<Span> spans;
    if (filled.size() < 10) return spans;
    usual = median_of(filled);
    const double limit = std::min(kFlatSpread, kFlatShare * usual);
    std::size_t t = 0;
    while (t < T) {
        if (std::isnan(spread[t]) || spread[t] >= limit) {
            ++t;
            continue;
        }
        std::size_t e = t;
        while (e + 1 < T && timing.follows(e + 1) && !std::isnan(spread[e + 1]) && spread[e + 1] < limit) ++e;
        if (e - t + 1 >= 3 && timing.seconds[e] - timing.seconds[t] + timing.interval >= kFlatSeconds) {
            spans.push_back(Span{static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(e), kFlat});
            std::vector<double> inside(spread.begin() + static_cast<std::ptrdiff_t>(t),
                                       spread.begin() + static_cast<std::ptrdiff_t>(e + 1));
            during.push_back(median_of(inside));
        }
        t = e + 1;
    }
    return spans;
}

struct BandEvent {
    Span span;
    std::size_t band;
    EdgeMeasure measure;
};

double nominal_interval(const std::vector<double>& seconds, double interval) {
    if (interval > 0.0) return interval;
    std::vector<double> d;
    for (std::size_t i = 1; i < seconds.size(); ++i) {
        if (seconds[i] > seconds[i - 1]) d.push_back(seconds[i] - seconds[i - 1]);
    }
    return d.empty() ? 1.0 : median_of(d);
}

}  // namespace

std::vector<InterferenceEvent> detect_interference_events(const SampleSet& set, double interval) {
    std::vector<InterferenceEvent> events;
    if (set.samples.empty() || set.seconds.size() != set.timestamps.size()) return events;
    Layout layout = arrange(set);
    const Timing timing{set.seconds, nominal_interval(set.seconds, interval)};
    const std::size_t T = layout.epochs;

    bool any_positioned = false;
    for (const Signal& s : layout.signals) any_positioned = any_positioned || s.positioned;
    std::array<std::vector<char>, kBands> excluded;
    if (any_positioned) fit_elevation_nominals(layout, excluded);

    std::vector<BandEvent> found;
    for (std::size_t band = 0; band < kBands; ++band) {
        if (layout.band_signals[band].empty()) continue;
        double floor = std::numeric_limits<double>::infinity();
        for (std::uint32_t k : layout.band_signals[band]) {
            for (const Point& p : layout.signals[k].points) floor = std::min(floor, p.cn0);
        }
        // The band's noise level from a first pass at the highest threshold, then the events.
        // The band's noise level from a pass at the lowest threshold; on a quiet band that pass
        // is already the answer, on a noisy one it is repeated at the threshold its noise needs.
        std::vector<double> deviations;
        // A pass that never saw evidence at the lowest threshold would see none at a higher one.
        bool alarmed = false;
        std::vector<Span> spans = scan_band(layout, band, timing, kMinThreshold, &deviations, &alarmed);
        const double sigma = robust_sigma(deviations);
        const double threshold = std::isnan(sigma) ? kMaxThreshold : std::clamp(kSigmas * sigma, kMinThreshold, kMaxThreshold);
        if (alarmed && threshold != kMinThreshold) spans = scan_band(layout, band, timing, threshold, nullptr);
        if (any_positioned && !spans.empty()) {
            // Refit the elevation curve without the event epochs, then look again.
            excluded[band].assign(T, 0);
            for (const Span& s : spans) std::fill(excluded[band].begin() + s.start, excluded[band].begin() + s.end + 1, 1);
            fit_elevation_nominals(layout, excluded);
            spans = scan_band(layout, band, timing, threshold, nullptr);
        }
        for (const Span& s : spans) {
            BandEvent ev{s, band, {}};
            measure_edges(layout, band, s, timing, threshold, floor, ev.measure);
            // A jammer moves most signals of its band, and by about the same amount: an event
            // whose signals did not step at its edges was the nominal model, not the band.
            EdgeMeasure& m = ev.measure;
            std::vector<double> changes = !m.changes.empty() ? m.changes : m.partial_changes;
            const double depth = changes.empty() ? (m.lost_headroom.empty() ? 0.0 : threshold) : median_of(changes);
            const double sign = s.kind == kDrop ? 1.0 : -1.0;
            if (m.tracked < kMinSignals || 2 * m.affected < m.tracked || sign * depth < threshold) continue;
            found.push_back(std::move(ev));
        }
    }
    for (std::size_t band = 0; band < kBands; ++band) {
        const auto spreads = band_spreads(layout, band);
        for (std::size_t c = 0; c < kSpreadSystems.size(); ++c) {
            const char system = kSpreadSystems[c];
            double usual = 0.0;
            std::vector<double> during;
            const std::vector<Span> spans = flat_stretches(spreads[c], timing, usual, during);
            for (std::size_t i = 0; i < spans.size(); ++i) {
                BandEvent ev{spans[i], band, {}};
                ev.measure.changes.push_back(usual - during[i]);
                for (std::uint32_t k : layout.band_signals[band]) {
                    if (layout.signals[k].system != system) continue;
                    const auto& pts = layout.signals[k].points;
                    const auto at = std::lower_bound(pts.begin(), pts.end(), spans[i].start,
                                                     [](const Point& p, std::uint32_t t) { return p.t < t; });
                    if (at != pts.end() && at->t <= spans[i].end) {
                        ++ev.measure.affected;
                        ++ev.measure.tracked;
                    }
                }
                found.push_back(std::move(ev));
            }
        }
    }

    // Events of the same kind that overlap in time are one event over several bands.
    std::sort(found.begin(), found.end(), [](const BandEvent& a, const BandEvent& b) {
        return a.span.start != b.span.start ? a.span.start < b.span.start : a.span.kind < b.span.kind;
    });
    std::vector<char> used(found.size(), 0);
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (used[i]) continue;
        Span span = found[i].span;
        std::array<char, kBands> bands{};
        EdgeMeasure all;
        for (std::size_t j = i; j < found.size(); ++j) {
            if (used[j] || found[j].span.kind != span.kind || found[j].span.start > span.end + 1) continue;
            used[j] = 1;
            span.end = std::max(span.end, found[j].span.end);
            bands[found[j].band] = 1;
            const EdgeMeasure& m = found[j].measure;
            all.changes.insert(all.changes.end(), m.changes.begin(), m.changes.end());
            all.partial_changes.insert(all.partial_changes.end(), m.partial_changes.begin(), m.partial_changes.end());
            all.lost_headroom.insert(all.lost_headroom.end(), m.lost_headroom.begin(), m.lost_headroom.end());
            all.affected += m.affected;
            all.tracked += m.tracked;
        }
        InterferenceEvent ev;
        ev.start = set.timestamps[span.start];
        ev.end = set.timestamps[span.end];
        // Epoch times are exact to the microsecond; their difference in floating point is not.
        ev.duration_s = std::round((set.seconds[span.end] - set.seconds[span.start] + timing.interval) * 1e6) / 1e6;
        ev.kind = kKindNames[span.kind];
        for (std::size_t b = 0; b < kBands; ++b) {
            if (bands[b]) ev.bands.emplace_back(kBandNames[b]);
        }
        // Signals lost throughout give only a lower bound; it is used when no signal stayed.
        ev.depth_db = !all.changes.empty()           ? median_of(all.changes)
                      : !all.partial_changes.empty() ? median_of(all.partial_changes)
                      : !all.lost_headroom.empty()   ? median_of(all.lost_headroom)
                                                     : 0.0;
        ev.signals_affected = all.affected;
        ev.signals_tracked = all.tracked;
        events.push_back(std::move(ev));
    }
    return events;
}

std::string interference_verdict(const std::vector<InterferenceEvent>& events) {
    bool drop = false;
    for (const InterferenceEvent& e : events) {
        if (e.kind == kKindNames[kRise] || e.kind == kKindNames[kFlat]) return "possible_spoofing";
        drop = drop || e.kind == kKindNames[kDrop];
    }
    return drop ? "interference" : "none";
}

}  // namespace qcn0
