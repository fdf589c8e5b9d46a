// Which signal-strength values become C/N0 samples: the C/N0 window, the constellation selection
// and the elevation mask, with and without satellite positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/obs_text.hpp"
#include "cn0/analysis.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

AnalysisSettings settings_for(std::optional<std::vector<std::string>> systems = std::nullopt,
                              double min_elevation = 5.0) {
    return analyze_cn0_settings(min_elevation, systems);
}

std::vector<double> values_of(const SampleSet& set) {
    std::vector<double> out;
    for (const auto& s : set.samples) out.push_back(s.cn0);
    return out;
}

std::vector<std::string> satellites_of(const SampleSet& set) {
    std::vector<std::string> out;
    for (const auto& s : set.samples) {
        const std::string& id = set.satellites[s.satellite];
        if (std::find(out.begin(), out.end(), id) == out.end()) out.push_back(id);
    }
    return out;
}

// One epoch with one satellite of every constellation letter the reader knows.
RinexObsData every_constellation() {
    return Rinex3Text()
        .epoch(0, {{"G01", {41.0}},
                   {"R02", {42.0}},
                   {"E03", {43.0}},
                   {"C04", {44.0}},
                   {"J05", {45.0}},
                   {"S20", {46.0}},
                   {"I06", {47.0}}})
        .parse();
}

}  // namespace

TEST(SampleFilter, Cn0WindowIsInclusiveAndRejectsNotANumber) {
    const RinexObsData obs =
        Rinex3Text()
            .codes('G', {"S1C", "S2W", "S5Q", "S1W", "S2L", "S7Q"})
            .epoch(0, {{"G01", {19.999, 20.0, 35.0, 50.0, 50.001, Field::raw("nan")}},
                       {"G02", {Field::raw("inf"), Field::raw("-inf"), 49.0}}})
            .parse();
    ASSERT_EQ(obs.epochs.size(), 1u);
    AnalysisSettings s = settings_for();
    s.min_cn0 = 20.0;
    s.max_cn0 = 50.0;
    EXPECT_EQ(values_of(collect_samples(obs, s, nullptr)),
              (std::vector<double>{20.0, 35.0, 50.0, 49.0}));

    // The default window 0..60 still refuses not-a-number and the infinities.
    EXPECT_EQ(values_of(collect_samples(obs, settings_for(), nullptr)),
              (std::vector<double>{19.999, 20.0, 35.0, 50.0, 50.001, 49.0}));
}

TEST(SampleFilter, OnlySignalStrengthCodesGiveSamples) {
    const RinexObsData obs = Rinex3Text()
                                 .codes('G', {"C1C", "L1C", "D1C", "S1C", "S2W"})
                                 .epoch(0, {{"G01", {2.2e7, 1.1e8, -120.5, 45.5, 38.25}}})
                                 .parse();
    const SampleSet set = collect_samples(obs, settings_for(), nullptr);
    ASSERT_EQ(set.samples.size(), 2u);
    EXPECT_EQ(set.signals[set.samples[0].signal], "S1C");
    EXPECT_EQ(set.samples[0].cn0, 45.5);
    EXPECT_EQ(set.signals[set.samples[1].signal], "S2W");
    EXPECT_EQ(set.samples[1].cn0, 38.25);
}

TEST(SampleFilter, WithoutPositionsEverySampleSitsAt45Degrees) {
    const RinexObsData obs = Rinex3Text().epoch(0, {{"G01", {41.0}}, {"E03", {43.0}}}).parse();
    const SampleSet set = collect_samples(obs, settings_for(std::nullopt, 45.0), nullptr);
    ASSERT_EQ(set.samples.size(), 2u);
    for (const auto& s : set.samples) {
        EXPECT_EQ(s.elevation, 45.0);
        EXPECT_EQ(s.azimuth, 0.0);
    }
    // A mask above 45 degrees rejects every sample when there is no position to compare with.
    EXPECT_TRUE(collect_samples(obs, settings_for(std::nullopt, 45.001), nullptr).samples.empty());
    EXPECT_TRUE(collect_samples(obs, settings_for(std::nullopt, 50.0), nullptr).samples.empty());
}

TEST(SampleFilter, ConstellationSelection) {
    const RinexObsData obs = every_constellation();
    using Ids = std::vector<std::string>;
    // Absent: GPS, GLONASS, Galileo and BeiDou only.
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(), nullptr)),
              (Ids{"G01", "R02", "E03", "C04"}));
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(Ids{"R"}), nullptr)), (Ids{"R02"}));
    // Entries select by their first character: "Galileo" and "GLONASS" both mean G.
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(Ids{"Galileo"}), nullptr)),
              (Ids{"G01"}));
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(Ids{"GLONASS"}), nullptr)),
              (Ids{"G01"}));
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(Ids{"GPS", "", "E"}), nullptr)),
              (Ids{"G01", "E03"}));
    EXPECT_EQ(satellites_of(collect_samples(obs, settings_for(Ids{"J", "S", "I"}), nullptr)),
              (Ids{"J05", "S20", "I06"}));
    // Letters are compared as written.
    EXPECT_TRUE(collect_samples(obs, settings_for(Ids{"g"}), nullptr).samples.empty());
    // A list given empty, or holding only empty entries, selects nothing.
    EXPECT_TRUE(collect_samples(obs, settings_for(Ids{}), nullptr).samples.empty());
    EXPECT_TRUE(collect_samples(obs, settings_for(Ids{"", ""}), nullptr).samples.empty());
}

TEST(SampleFilter, SampleCarriesItsConstellationName) {
    const RinexObsData obs = every_constellation();
    const SampleSet set = collect_samples(
        obs, settings_for(std::vector<std::string>{"G", "R", "E", "C", "J", "S", "I"}), nullptr);
    std::vector<std::string> names;
    for (const auto& s : set.samples) names.emplace_back(SampleSet::constellation_of(s));
    // A sample of IRNSS is named "Unknown"; only the list of observed systems names IRNSS.
    EXPECT_EQ(names, (std::vector<std::string>{"GPS", "GLONASS", "Galileo", "BeiDou", "QZSS",
                                               "SBAS", "Unknown"}));
}

TEST(SampleFilter, LookAnglesFromNavigationData) {
    NavigationData nav;
    add_orbit(nav, equatorial_orbit('G', 1, 0.0));    // at the zenith
    add_orbit(nav, equatorial_orbit('G', 2, 180.0));  // behind the Earth
    add_orbit(nav,
              equatorial_orbit('G', 4, central_angle_for_elevation(30.0)));  // east, 30 degrees up
    // G03 has no ephemeris: it keeps the fixed 45 degrees.
    Rinex3Text text;
    text.epoch(0, {{"G01", {50.0}}, {"G02", {30.0}}, {"G03", {40.0}}, {"G04", {35.0}}});

    // With a receiver position the satellites are placed by their orbits.
    const RinexObsData with_position = Rinex3Text(text).position(kEarthRadius, 0.0, 0.0).parse();
    SampleSet set = collect_samples(with_position, settings_for(), &nav);
    ASSERT_EQ(satellites_of(set), (std::vector<std::string>{"G01", "G03", "G04"}));
    EXPECT_GT(set.samples[0].elevation, 89.9);
    EXPECT_EQ(set.samples[1].elevation, 45.0);
    EXPECT_EQ(set.samples[1].azimuth, 0.0);
    EXPECT_NEAR(set.samples[2].elevation, 30.0, 1e-6);
    EXPECT_NEAR(set.samples[2].azimuth, 90.0, 1e-6);

    // The mask compares with the computed elevation: 40 keeps the zenith and the fixed 45.
    set = collect_samples(with_position, settings_for(std::nullopt, 40.0), &nav);
    EXPECT_EQ(satellites_of(set), (std::vector<std::string>{"G01", "G03"}));
    set = collect_samples(with_position, settings_for(std::nullopt, 50.0), &nav);
    EXPECT_EQ(satellites_of(set), (std::vector<std::string>{"G01"}));
    // A negative mask lets the satellite below the horizon through.
    set = collect_samples(with_position, settings_for(std::nullopt, -90.0), &nav);
    ASSERT_EQ(satellites_of(set), (std::vector<std::string>{"G01", "G02", "G03", "G04"}));
    EXPECT_LT(set.samples[1].elevation, -60.0);

    // Without "APPROX POSITION XYZ" navigation data cannot place anything.
    const RinexObsData without_position = text.parse();
    set = collect_samples(without_position, settings_for(), &nav);
    ASSERT_EQ(set.samples.size(), 4u);
    for (const auto& s : set.samples) {
        EXPECT_EQ(s.elevation, 45.0);
        EXPECT_EQ(s.azimuth, 0.0);
    }
}
