// The entry point of every reader: packing recognised by content, nested layers undone in
// turn, plain text handed back without a copy, and failures named after their layer.
#include <gtest/gtest.h>

#include "compression/compact_rinex.hpp"
#include "compression/decode_input.hpp"
#include "compression_test_support.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

const std::string kCompact =
    "1.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE\n"
    "RNX2CRX ver.4.1.0                                           CRINEX PROG / DATE\n"
    "     2.11           OBSERVATION DATA    G                   RINEX VERSION / TYPE\n"
    "     1    S1                                                # / TYPES OF OBSERV\n"
    "                                                            END OF HEADER\n"
    "&21  1  1  0  0  0.0000000  0  1G01\n\n3&45250\n";
const std::string kRinex =
    "     2.11           OBSERVATION DATA    G                   RINEX VERSION / TYPE\n"
    "     1    S1                                                # / TYPES OF OBSERV\n"
    "                                                            END OF HEADER\n"
    " 21  1  1  0  0  0.0000000  0  1G01\n        45.250\n";

}  // namespace

TEST(DecodeInput, PlainBytesAreHandedBackWithoutACopy) {
    for (const std::string& plain :
         {kRinex, std::string(), std::string("\x1f"), std::string("\x1f\x8c rest")}) {
        auto r = decode_input(plain);
        ASSERT_TRUE(r.ok());
        EXPECT_FALSE(r->owns_text());
        EXPECT_EQ(r->text().data(), plain.data());
        EXPECT_EQ(r->text().size(), plain.size());
        EXPECT_TRUE(r->layers().empty());
    }
}

TEST(DecodeInput, LayersAreRecognisedByContentAndUndoneInTurn) {
    using F = InputFormat;
    const std::pair<std::string, std::vector<InputFormat>> cases[] = {
        {kCompact, {F::compact_rinex}},
        {gzip(kRinex), {F::gzip}},
        {unix_compress(kRinex), {F::unix_compress}},
        {gzip(kCompact), {F::gzip, F::compact_rinex}},
        {unix_compress(kCompact), {F::unix_compress, F::compact_rinex}},
        {gzip(unix_compress(kCompact)), {F::gzip, F::unix_compress, F::compact_rinex}},
    };
    for (const auto& [bytes, layers] : cases) {
        auto r = decode_input(bytes);
        ASSERT_TRUE(r.ok()) << r.error();
        EXPECT_TRUE(r->owns_text());
        EXPECT_EQ(r->text(), kRinex);
        EXPECT_EQ(r->layers(), layers);
        // Moving the result keeps its text valid.
        DecodedInput moved = std::move(r).value();
        EXPECT_EQ(moved.text(), kRinex);
    }
    EXPECT_EQ(input_format_name(F::unix_compress), "Unix compress");
}

TEST(DecodeInput, FailuresNameTheLayerAndTheProblem) {
    const std::string cut = kCompact.substr(0, kCompact.size() - 1);
    EXPECT_EQ(decode_input(gzip(cut)).error(),
              "compact RINEX: file is truncated: its last line has no line end (line 8)");
    EXPECT_EQ(decode_input(gzip(kRinex).substr(0, 30)).error(), "gzip data is truncated");
    EXPECT_EQ(decode_input(gzip(std::string("\x1f\x9d\x95 etc"))).error(),
              "Unix compress data uses 21-bit codes; only 9 to 16 bits are valid");
    std::string nested = kRinex;
    for (int i = 0; i < 4; ++i) nested = gzip(nested);
    EXPECT_EQ(decode_input(nested).value().text(), kRinex);
    EXPECT_EQ(decode_input(gzip(nested)).error(),
              "input is packed in more than 4 layers of compression");
    EXPECT_EQ(decode_input(gzip(std::string(5000, ' ')), 4999).error(),
              "gzip content exceeds the limit of 4999 bytes");
}
