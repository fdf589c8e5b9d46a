// gzip inflation: single and concatenated members, padding, and every way the data can be
// cut short or damaged.
#include <gtest/gtest.h>

#include <random>

#include "compression/gzip_stream.hpp"
#include "compression_test_support.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

std::string some_text(std::size_t size) {
    std::mt19937 rng(7);
    std::string text;
    while (text.size() < size)
        text += " G" + std::to_string(rng() % 33) + "   " + std::to_string(rng()) + "\n";
    return text;
}

}  // namespace

TEST(Gzip, InflatesMembersOneAfterAnother) {
    const std::string a = some_text(200000), b = "second member\n";
    EXPECT_EQ(inflate_gzip(gzip(a)).value(), a);
    EXPECT_EQ(inflate_gzip(gzip(a, 0)).value(), a);  // stored blocks
    EXPECT_EQ(inflate_gzip(gzip(a) + gzip(b) + gzip("")).value(), a + b);
    // Some writers pad with zeros up to a block size.
    EXPECT_EQ(inflate_gzip(gzip(b) + std::string(512, '\0')).value(), b);
}

TEST(Gzip, RejectsTrailingBytesThatAreNotGzip) {
    EXPECT_EQ(inflate_gzip(gzip("x") + "junk").error(),
              "gzip data is followed by 4 bytes that are not gzip");
    // Padding ends the stream: a member after it is not taken for more data.
    const std::string after_padding = std::string(3, '\0') + gzip("y");
    EXPECT_EQ(inflate_gzip(gzip("x") + after_padding).error(),
              "gzip data is followed by " + std::to_string(after_padding.size()) +
                  " bytes that are not gzip");
}

TEST(Gzip, EveryCutIsReportedAsTruncated) {
    const std::string text = some_text(30000);
    const std::string z = gzip(text) + gzip(text);
    for (std::size_t n = 0; n < z.size(); n += (n < 64 || z.size() - n < 64) ? 1 : 37) {
        auto r = inflate_gzip(std::string_view(z).substr(0, n));
        if (n == z.size() / 2) {
            EXPECT_EQ(r.value(), text);  // exactly the first member
            continue;
        }
        ASSERT_FALSE(r.ok()) << "cut at " << n;
        EXPECT_EQ(r.error(), "gzip data is truncated") << "cut at " << n;
    }
}

TEST(Gzip, DamageIsReportedAsCorrupt) {
    const std::string text = some_text(20000);
    const std::string z = gzip(text);
    std::string bad_crc = z;
    bad_crc[z.size() - 6] ^= 1;
    EXPECT_EQ(inflate_gzip(bad_crc).error(), "gzip data is corrupt: incorrect data check");
    std::string bad_method = z;
    bad_method[2] = 7;
    EXPECT_EQ(inflate_gzip(bad_method).error(), "gzip data is corrupt: unknown compression method");
    std::mt19937 rng(3);
    for (int i = 0; i < 500; ++i) {
        std::string damaged = z;
        damaged[10 + rng() % (z.size() - 10)] ^= static_cast<char>(1 + rng() % 255);
        auto r = inflate_gzip(damaged);
        // The CRC-32 of the member catches what the deflate stream itself does not.
        if (r.ok())
            ADD_FAILURE() << "damage went unnoticed in run " << i;
        else
            EXPECT_EQ(r.error().rfind("gzip data is", 0), 0u) << r.error();
    }
}

TEST(Gzip, StopsAtTheOutputLimit) {
    const std::string z = gzip(std::string(1 << 20, 'a'));
    EXPECT_EQ(inflate_gzip(z, 1 << 20).value().size(), std::size_t{1} << 20);
    EXPECT_EQ(inflate_gzip(z, 1000).error(), "gzip content exceeds the limit of 1000 bytes");
}
