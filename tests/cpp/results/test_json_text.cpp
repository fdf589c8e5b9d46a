// How single numbers and strings appear in the JSON document.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "results/json_buffer.hpp"

using namespace qcn0;

namespace {

struct Case {
    double value;
    const char* text;
};

void expect_all(std::initializer_list<Case> cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(json_number_text(c.value), c.text) << "value " << c.value;
    }
}

}  // namespace

TEST(JsonNumber, WholeNumbersBelowTenToTheSixteenKeepAPointZero) {
    expect_all({{45.0, "45.0"},
                {7.0, "7.0"},
                {100.0, "100.0"},
                {-3.0, "-3.0"},
                {1e15, "1000000000000000.0"},
                {9007199254740992.0, "9007199254740992.0"},
                {9999999999999998.0, "9999999999999998.0"}});
}

TEST(JsonNumber, FractionsWithAnIntegerPart) {
    expect_all({{12.34, "12.34"},
                {-12.5, "-12.5"},
                {1.5, "1.5"},
                {123.456, "123.456"},
                {1234567890123456.8, "1234567890123456.8"}});
}

TEST(JsonNumber, SmallFractionsDownToTenToTheMinusFive) {
    expect_all({{0.4, "0.4"},
                {0.001234, "0.001234"},
                {1e-5, "0.00001"},
                {1.5e-5, "0.000015"},
                {0.00001234, "0.00001234"},
                {-0.25, "-0.25"},
                {0.1 + 0.2, "0.30000000000000004"}});
}

TEST(JsonNumber, ExponentFormOutsideThoseRanges) {
    expect_all({{1e16, "1e16"},
                {1.5e16, "1.5e16"},
                {123456789012345680.0, "1.2345678901234568e17"},
                {1e-6, "1e-6"},
                {0.000001234, "1.234e-6"},
                {1.234e-7, "1.234e-7"},
                {-2.5e-10, "-2.5e-10"},
                {1e300, "1e300"},
                {5e-324, "5e-324"},
                {std::numeric_limits<double>::max(), "1.7976931348623157e308"},
                {std::numeric_limits<double>::lowest(), "-1.7976931348623157e308"}});
}

TEST(JsonNumber, ZerosAndValuesWithoutJsonForm) {
    expect_all({{0.0, "0.0"}, {-0.0, "-0.0"}});
    EXPECT_EQ(json_number_text(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(json_number_text(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(json_number_text(-std::numeric_limits<double>::infinity()), "null");
}

// Any finite value, of any magnitude, reads back to exactly the same bits and never needs more
// than the shortest digits.
TEST(JsonNumber, EveryFiniteValueReadsBackExactly) {
    std::mt19937_64 rng(20240305);
    std::uniform_real_distribution<double> cn0(0.0, 60.0);
    for (int i = 0; i < 200000; ++i) {
        double v;
        if (i % 2 == 0) {
            v = std::bit_cast<double>(rng());
            if (!std::isfinite(v)) continue;
        } else {
            v = cn0(rng);
        }
        const std::string text = json_number_text(v);
        ASSERT_LE(text.size(), kJsonNumberMaxLength);
        double back = 0.0;
        auto res = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(res.ec, std::errc()) << text;
        ASSERT_EQ(res.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << text;
    }
}

TEST(JsonString, QuoteBackslashAndNamedControlEscapes) {
    EXPECT_EQ(json_string_text(""), R"("")");
    EXPECT_EQ(json_string_text("G05"), R"("G05")");
    EXPECT_EQ(json_string_text("G\"5"), R"("G\"5")");
    EXPECT_EQ(json_string_text("C:\\rinex"), R"("C:\\rinex")");
    EXPECT_EQ(json_string_text("a\bb\fc\nd\re\tf"), R"("a\bb\fc\nd\re\tf")");
}

TEST(JsonString, OtherControlCharactersAsLowercaseUnicodeEscapes) {
    EXPECT_EQ(json_string_text(std::string_view("\0", 1)), R"("\u0000")");
    EXPECT_EQ(json_string_text("\x01"), R"("\u0001")");
    EXPECT_EQ(json_string_text("\x0b"), R"("\u000b")");
    EXPECT_EQ(json_string_text("x\x1fy"), R"("x\u001fy")");
}

TEST(JsonString, EverythingElseUnchanged) {
    // DEL is not a control character below U+0020; the solidus is never escaped; UTF-8 passes
    // byte for byte.
    EXPECT_EQ(json_string_text("\x7f"), "\"\x7f\"");
    EXPECT_EQ(json_string_text("a/b"), R"("a/b")");
    EXPECT_EQ(json_string_text("45\xC2\xB0 \xC3\xA9t\xC3\xA9"), "\"45\xC2\xB0 \xC3\xA9t\xC3\xA9\"");
    EXPECT_EQ(json_string_text("\xff\xfe"), "\"\xff\xfe\"");
}

TEST(JsonBuffer, GrowsPastItsFirstCapacity) {
    JsonBuffer b(64);
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        b.number(12.5);
        b.put(',');
        b.string("x\ny");
        b.count(18446744073709551615ull);
        expected += "12.5,\"x\\ny\"18446744073709551615";
    }
    b.flag(true);
    b.null();
    expected += "truenull";
    EXPECT_EQ(b.size(), expected.size());
    EXPECT_EQ(std::move(b).take(), expected);
}
