// Settings records: how the three builders fill them and what reaches the analysis.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cn0/analysis_config.hpp"

using namespace qcn0;

namespace {

using Systems = std::optional<std::vector<std::string>>;
using Letters = std::vector<char>;

AnalysisConfig built(const AnalysisConfigArguments& args) {
    auto c = make_analysis_config(args);
    EXPECT_TRUE(c.ok()) << c.error();
    return c.ok() ? *c : AnalysisConfig{};
}

}  // namespace

TEST(KeywordConstructor, DefaultsScaleLowAndHighThresholds) {
    const AnalysisConfig c = built({});
    EXPECT_EQ(c.min_elevation, 5.0);
    EXPECT_EQ(c.min_cn0, 0.0);
    EXPECT_EQ(c.max_cn0, 60.0);
    EXPECT_EQ(c.time_bin_seconds, 60u);
    EXPECT_FALSE(c.systems.has_value());
    EXPECT_EQ(c.anomaly_threshold_low, 2.25);
    EXPECT_EQ(c.anomaly_threshold_high, 4.5);
    EXPECT_EQ(c.anomaly_threshold_critical, 10.0);
    EXPECT_TRUE(c.detect_anomalies);
    EXPECT_EQ(c.anomaly_sensitivity, 0.5);
    EXPECT_EQ(c.interference_threshold_db, 6.0);
    EXPECT_FALSE(c.verbose);
    EXPECT_FALSE(c.nav_file.has_value());
    EXPECT_EQ(c.spoofing_unexpected_threshold, 0.40);
    EXPECT_EQ(c.spoofing_min_unexpected_count, 8.0);
}

TEST(KeywordConstructor, SensitivitySetsTheScaleFactor) {
    AnalysisConfigArguments a;
    a.anomaly_sensitivity = 0.0;
    EXPECT_EQ(built(a).anomaly_threshold_low, 3.0);
    EXPECT_EQ(built(a).anomaly_threshold_high, 6.0);

    a.anomaly_sensitivity = 1.0;
    a.anomaly_threshold_low = 4.0;
    a.anomaly_threshold_critical = 12.0;
    const AnalysisConfig halved = built(a);
    EXPECT_EQ(halved.anomaly_threshold_low, 2.0);
    EXPECT_EQ(halved.anomaly_threshold_high, 3.0);
    EXPECT_EQ(halved.anomaly_threshold_critical, 12.0);
    EXPECT_EQ(halved.anomaly_sensitivity, 1.0);

    // No range is enforced: beyond 2.0 the scaled thresholds turn negative.
    a.anomaly_sensitivity = 3.0;
    EXPECT_EQ(built(a).anomaly_threshold_high, -3.0);
}

TEST(KeywordConstructor, OtherValuesStoredAsGiven) {
    AnalysisConfigArguments a;
    a.min_elevation = -10.0;
    a.min_cn0 = 20.0;
    a.max_cn0 = 50.0;
    a.systems = Systems{{"R", ""}};
    a.detect_anomalies = false;
    a.interference_threshold_db = 9.5;
    a.verbose = true;
    a.nav_file = "brdc0650.24n";
    a.spoofing_unexpected_threshold = 0.25;
    a.spoofing_min_unexpected_count = 3.0;
    const AnalysisConfig c = built(a);
    EXPECT_EQ(c.min_elevation, -10.0);
    EXPECT_EQ(c.min_cn0, 20.0);
    EXPECT_EQ(c.max_cn0, 50.0);
    EXPECT_EQ(c.systems, (Systems{{"R", ""}}));
    EXPECT_FALSE(c.detect_anomalies);
    EXPECT_EQ(c.interference_threshold_db, 9.5);
    EXPECT_TRUE(c.verbose);
    EXPECT_EQ(c.nav_file, "brdc0650.24n");
    EXPECT_EQ(c.spoofing_unexpected_threshold, 0.25);
    EXPECT_EQ(c.spoofing_min_unexpected_count, 3.0);
}

TEST(KeywordConstructor, TimeBinFromEitherArgument) {
    AnalysisConfigArguments a;
    a.time_bin = 30;
    EXPECT_EQ(built(a).time_bin_seconds, 30u);
    a.time_bin_seconds = 120;
    EXPECT_EQ(built(a).time_bin_seconds, 120u);
    a.time_bin_seconds = 0;
    EXPECT_EQ(built(a).time_bin_seconds, 0u);
    a.time_bin_seconds = 4294967295;
    EXPECT_EQ(built(a).time_bin_seconds, 4294967295u);
}

TEST(KeywordConstructor, TimeBinOutsideUnsigned32BitsFails) {
    for (std::int64_t bad : {std::int64_t{-1}, std::int64_t{4294967296}, INT64_MIN, INT64_MAX}) {
        AnalysisConfigArguments a;
        a.time_bin_seconds = bad;
        auto c = make_analysis_config(a);
        ASSERT_FALSE(c.ok()) << bad;
        EXPECT_EQ(c.error(), "out of range integral type conversion attempted");
    }
    // The alias is checked even when time_bin_seconds takes precedence.
    AnalysisConfigArguments a;
    a.time_bin_seconds = 60;
    a.time_bin = -5;
    EXPECT_FALSE(make_analysis_config(a).ok());
}

TEST(FromObsConstructor, PlainDefaultsAndFirstCharactersOfSystems) {
    auto c = from_obs_analysis_config(15.0, 30, Systems{{"GPS", "", "E", "\xC3\x89tat"}});
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c->min_elevation, 15.0);
    EXPECT_EQ(c->time_bin_seconds, 30u);
    EXPECT_EQ(c->systems, (Systems{{"G", "E", "\xC3\x89"}}));
    EXPECT_EQ(c->anomaly_threshold_low, 3.0);
    EXPECT_EQ(c->anomaly_threshold_high, 6.0);
    EXPECT_EQ(c->anomaly_threshold_critical, 10.0);
    EXPECT_EQ(c->min_cn0, 0.0);
    EXPECT_EQ(c->max_cn0, 60.0);
    EXPECT_EQ(c->anomaly_sensitivity, 0.5);
    EXPECT_EQ(c->spoofing_unexpected_threshold, 0.40);
    EXPECT_EQ(c->spoofing_min_unexpected_count, 8.0);
    EXPECT_FALSE(c->nav_file.has_value());

    auto absent = from_obs_analysis_config(5.0, 60, std::nullopt);
    ASSERT_TRUE(absent.ok());
    EXPECT_FALSE(absent->systems.has_value());

    auto negative = from_obs_analysis_config(5.0, -1, std::nullopt);
    ASSERT_FALSE(negative.ok());
    EXPECT_EQ(negative.error(), "out of range integral type conversion attempted");
}

TEST(ConstellationLetters, FirstCharacterOfEachNonEmptyEntry) {
    EXPECT_EQ(constellation_letters(std::nullopt), (std::vector<char>{'G', 'R', 'E', 'C'}));
    EXPECT_EQ(constellation_letters(Systems{{"GPS"}}), std::vector<char>{'G'});
    EXPECT_EQ(constellation_letters(Systems{{"G"}}), std::vector<char>{'G'});
    // Names are not looked up: Galileo and GLONASS also start with G.
    EXPECT_EQ(constellation_letters(Systems{{"Galileo", "GLONASS"}}), (Letters{'G', 'G'}));
    EXPECT_EQ(constellation_letters(Systems{{"r", "", "J", "E"}}), (Letters{'r', 'J', 'E'}));
    EXPECT_TRUE(constellation_letters(Systems{std::vector<std::string>{}}).empty());
    EXPECT_TRUE(constellation_letters(Systems{{"", ""}}).empty());
}

TEST(Settings, CarryTheAnalysedValuesOnly) {
    AnalysisConfigArguments a;
    a.min_elevation = 10.0;
    a.min_cn0 = 20.0;
    a.max_cn0 = 50.0;
    a.time_bin = 30;
    a.systems = Systems{{"E", "C"}};
    a.anomaly_threshold_critical = 12.0;
    a.spoofing_unexpected_threshold = 0.3;
    a.spoofing_min_unexpected_count = 5.0;
    const AnalysisSettings s = analysis_settings(built(a));
    EXPECT_EQ(s.constellations, (std::vector<char>{'E', 'C'}));
    EXPECT_EQ(s.min_elevation, 10.0);
    EXPECT_EQ(s.min_cn0, 20.0);
    EXPECT_EQ(s.max_cn0, 50.0);
    EXPECT_EQ(s.time_bin_seconds, 30u);
    EXPECT_EQ(s.anomaly_threshold_low, 2.25);
    EXPECT_EQ(s.anomaly_threshold_high, 4.5);
    EXPECT_EQ(s.anomaly_threshold_critical, 12.0);
    EXPECT_EQ(s.spoofing_unexpected_threshold, 0.3);
    EXPECT_EQ(s.spoofing_min_unexpected_count, 5.0);
    EXPECT_TRUE(s.includes('E'));
    EXPECT_FALSE(s.includes('G'));

    // Settings that change no analysis leave the block as it was.
    AnalysisConfigArguments b = a;
    b.detect_anomalies = false;
    b.verbose = true;
    b.interference_threshold_db = 1.0;
    b.nav_file = "nav.rnx";
    EXPECT_EQ(analysis_settings(built(b)), s);
}

TEST(Settings, ModuleFunctionUsesUnscaledThresholds) {
    const AnalysisSettings s = analyze_cn0_settings(12.0, std::nullopt);
    EXPECT_EQ(s.constellations, (std::vector<char>{'G', 'R', 'E', 'C'}));
    EXPECT_EQ(s.min_elevation, 12.0);
    EXPECT_EQ(s.min_cn0, 0.0);
    EXPECT_EQ(s.max_cn0, 60.0);
    EXPECT_EQ(s.time_bin_seconds, 60u);
    EXPECT_EQ(s.anomaly_threshold_low, 3.0);
    EXPECT_EQ(s.anomaly_threshold_high, 6.0);
    EXPECT_EQ(s.anomaly_threshold_critical, 10.0);
    EXPECT_EQ(s.spoofing_unexpected_threshold, 0.40);
    EXPECT_EQ(s.spoofing_min_unexpected_count, 8.0);
    EXPECT_FALSE(s.includes('J'));

    const Systems none{std::vector<std::string>{}};
    EXPECT_TRUE(analyze_cn0_settings(5.0, none).constellations.empty());
}
