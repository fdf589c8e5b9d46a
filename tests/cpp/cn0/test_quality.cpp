// The quality assessment stored in a result and the quality score view computed from it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cn0/quality_assessment.hpp"
#include "cn0/quality_score.hpp"

using namespace qcn0;

namespace {

AnalysisResult judged(double mean_cn0, double coverage, std::uint64_t anomalies,
                      std::uint64_t epochs) {
    AnalysisResult r;
    r.summary.mean_cn0 = mean_cn0;
    r.summary.anomaly_count = anomalies;
    r.summary.total_epochs = epochs;
    r.skyplot.coverage_percent = coverage;
    return r;
}

VisibilitySummary prediction(double confirmation, double predicted, double observed,
                             double unexpected) {
    VisibilitySummary v;
    v.has_prediction = true;
    v.confirmation_rate = confirmation;
    v.mean_predicted = predicted;
    v.mean_observed = observed;
    v.mean_unexpected = unexpected;
    return v;
}

}  // namespace

TEST(QualityAssessment, ScoresWithoutPrediction) {
    const QualityAssessment q = assess_quality(judged(42.0, 50.0, 0, 100));
    EXPECT_DOUBLE_EQ(q.cn0_score, 80.0);
    EXPECT_EQ(q.coverage_score, 50.0);
    EXPECT_EQ(q.consistency_score, 100.0);
    EXPECT_DOUBLE_EQ(q.overall, 80.5);
    EXPECT_EQ(q.grade, "B");
    EXPECT_EQ(q.interpretation, "Good GNSS signal quality");

}

TEST(QualityAssessment, ConsistencyFromAnomalyRate) {
    EXPECT_EQ(assess_quality(judged(45.0, 0.0, 3, 20)).consistency_score, 0.0);
    EXPECT_EQ(assess_quality(judged(45.0, 0.0, 1, 20)).consistency_score, 50.0);
    // A file of one epoch, or none, divides by one.
    EXPECT_EQ(assess_quality(judged(45.0, 0.0, 1, 1)).consistency_score, 0.0);
    EXPECT_EQ(assess_quality(judged(45.0, 0.0, 1, 0)).consistency_score, 0.0);
}

TEST(QualityAssessment, PredictionPenaltiesAreLimited) {
    AnalysisResult r = judged(45.0, 0.0, 0, 100);
    r.visibility = prediction(40.0, 8.0, 8.0, 2.0);  // unconfirmed 30 (limited), unexpected 10
    EXPECT_EQ(assess_quality(r).consistency_score, 60.0);

    r.visibility = prediction(120.0, 8.0, 20.0, 10.0);  // nothing unconfirmed, unexpected 20
    EXPECT_EQ(assess_quality(r).consistency_score, 80.0);

    r.visibility = prediction(0.0, 8.0, 20.0, 10.0);  // both at their limits
    EXPECT_EQ(assess_quality(r).consistency_score, 50.0);
}

TEST(QualityAssessment, PredictionThatCouldNotRunIsIgnored) {
    AnalysisResult r = judged(45.0, 100.0, 0, 100);
    VisibilitySummary failed;  // all figures zero
    failed.prediction_source = "BRDC Navigation (0 satellites)";
    r.visibility = failed;
    const QualityAssessment q = assess_quality(r);
    EXPECT_EQ(q.consistency_score, 100.0);
    EXPECT_EQ(q.interpretation, "Excellent GNSS signal quality");
}

TEST(QualityAssessment, WarningsTakeTheFirstThatApplies) {
    AnalysisResult r = judged(45.0, 100.0, 0, 100);
    // Many unexpected satellites wins even when the confirmation rate is low too.
    r.visibility = prediction(20.0, 15.0, 10.0, 6.0);
    EXPECT_EQ(assess_quality(r).interpretation,
              "Good GNSS signal quality - WARNING: Many unexpected satellites detected");

    r.visibility = prediction(45.0, 10.5, 10.0, 0.0);
    EXPECT_EQ(assess_quality(r).interpretation,
              "Good GNSS signal quality - WARNING: Low satellite confirmation rate");

    // More than ten predicted satellites are needed for the confirmation warning.
    r.visibility = prediction(45.0, 10.0, 10.0, 0.0);
    EXPECT_EQ(assess_quality(r).interpretation, "Good GNSS signal quality");

    // Five unexpected satellites are not "many", whatever their share.
    r.visibility = prediction(100.0, 5.0, 6.0, 5.0);
    EXPECT_EQ(assess_quality(r).interpretation, "Excellent GNSS signal quality");
}

TEST(QualityAssessment, GradeBoundsAreInclusive) {
    // 100 x 0.25 + 100 x 0.35 + 75 x 0.4 = 90.
    const QualityAssessment a = assess_quality(judged(45.0, 100.0, 1, 40));
    EXPECT_EQ(a.overall, 90.0);
    EXPECT_EQ(a.grade, "A");
    EXPECT_EQ(a.interpretation, "Excellent GNSS signal quality");

    const QualityAssessment f = assess_quality(judged(30.0, 0.0, 0, 10));  // overall 40
    EXPECT_EQ(f.grade, "F");
    EXPECT_EQ(f.interpretation,
              "Very poor GNSS signal quality - significant interference suspected");
}

TEST(QualityScoreView, NoConstellationStatistics) {
    AnalysisResult r;
    r.summary.systems_observed = {"GPS", "Galileo"};
    r.quality_score.cn0_score = 70.0;
    const QualityScore q = make_quality_score(r);
    EXPECT_EQ(q.availability, 50.0);
    EXPECT_EQ(q.stability, 62.5);
    EXPECT_EQ(q.continuity, 100.0);
    EXPECT_EQ(q.diversity, 50.0);
    EXPECT_EQ(q.cn0_quality, 70.0);
    EXPECT_DOUBLE_EQ(q.overall, 12.5 + 21.0 + 20.0 + 9.375 + 5.0);
    EXPECT_EQ(q.rating, "D - Poor");
    EXPECT_TRUE(q.post_processing_suitable);  // 67.875 and 70
}

TEST(QualityScoreView, FromConstellationStatistics) {
    AnalysisResult r;
    r.summary.total_epochs = 10;
    r.summary.systems_observed = {"GPS", "GLONASS", "Galileo", "BeiDou", "QZSS"};
    r.constellation_stats["GPS"] = {"GPS", 9, 0, 0, 0, 0, 2.0, 12, 0, 0, 3};
    r.constellation_stats["GLONASS"] = {"GLONASS", 6, 0, 0, 0, 0, 6.0, 3, 0, 0, 0};
    const QualityScore q = make_quality_score(r);
    EXPECT_EQ(q.availability, 100.0);  // 15 of 15
    EXPECT_EQ(q.stability, 75.0);      // mean deviation 4
    EXPECT_DOUBLE_EQ(q.continuity, 85.0);  // 3 gaps over 2 x 10
    EXPECT_EQ(q.diversity, 100.0);     // capped

}

TEST(QualityScoreView, RatingAndSuitability) {
    // 100 x 0.25 + 100 x 0.3 + 100 x 0.2 + 0 x 0.15 + 50 x 0.1 = 80.
    AnalysisResult r;
    r.summary.total_epochs = 10;
    r.summary.systems_observed = {"GPS", "Galileo"};
    r.constellation_stats["GPS"] = {"GPS", 12, 0, 0, 0, 0, 12.0, 12, 0, 0, 0};
    r.quality_score.cn0_score = 100.0;
    const QualityScore q = make_quality_score(r);
    EXPECT_EQ(q.overall, 80.0);
    EXPECT_EQ(q.rating, "B - Good");
    EXPECT_TRUE(q.post_processing_suitable);

    // A good overall score with weak signals is not enough for post-processing.
    r.quality_score.cn0_score = 59.0;
    r.summary.systems_observed = {"GPS", "Galileo", "BeiDou", "GLONASS"};
    const QualityScore weak = make_quality_score(r);
    EXPECT_GE(weak.overall, 65.0);
    EXPECT_FALSE(weak.post_processing_suitable);
}

TEST(QualityScoreView, ReprRoundsToWholeNumber) {
    QualityScore q;
    q.overall = 72.6;
    q.rating = "C - Fair";
    EXPECT_EQ(quality_score_repr(q), "QualityScore(overall=73, rating='C - Fair')");
    q.overall = 72.5;  // halves go to the even neighbour
    EXPECT_EQ(quality_score_repr(q), "QualityScore(overall=72, rating='C - Fair')");
}
