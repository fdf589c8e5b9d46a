// Unix compress (".Z") expansion: the code widths, table clears and padding of the format,
// checked on data made by compress(1) itself and by the writer in the test support, whose
// output gzip's independent decoder must accept too.
#include <gtest/gtest.h>

#include <random>

#include "compression/unix_compress.hpp"
#include "compression_test_support.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

// Text with repeats near and far, like RINEX, plus noise so that tables fill and clear.
std::string sample_text(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        text += "G" + std::to_string(rng() % 32) + "  " + std::to_string(rng() % 100000000) + ".";
        text += std::to_string(rng() % 1000) + (rng() % 3 == 0 ? " 7\n" : "    \n");
        if (rng() % 5 == 0) text.push_back(static_cast<char>(rng()));
    }
    return text;
}

std::string expand_ok(std::string_view z) {
    auto r = expand_unix_compress(z);
    EXPECT_TRUE(r.ok()) << r.error();
    return r.ok() ? *r : std::string();
}

}  // namespace

TEST(UnixCompress, ExpandsWhatCompressWrote) {
    // "TOBEORNOT..." as written by ncompress 4.2.4: literals, table entries, and the code that
    // refers to the entry it defines (KwKwK: the "TOBEORTOB" run).
    const std::string z(
        "\x1f\x9d\x90\x54\x9e\x08\x29\xf2\x44\x8a\x93\x27\x54\x02\x0e\x2c\xa8\x90\xa0\x41\x84\x23"
        "\x00",
        23);
    EXPECT_EQ(expand_ok(z), "TOBEORNOTTOBEORTOBEORNOT#");
    EXPECT_EQ(expand_ok("\x1f\x9d\x90\x61\x02\x0a\x1c\x48\xb0\xa0\x41\x81"), std::string(31, 'a'));
    EXPECT_EQ(expand_ok(std::string("\x1f\x9d\x90", 3)), "");
}

TEST(UnixCompress, EveryCodeWidthLimitWithAndWithoutClears) {
    const std::string text = sample_text(120000, 1);
    for (unsigned max_bits = 9; max_bits <= 16; ++max_bits) {
        for (unsigned clear_every : {0u, 700u}) {
            EXPECT_EQ(expand_ok(unix_compress(text, max_bits, true, clear_every)), text)
                << max_bits << " bits, clear every " << clear_every;
        }
        // Without block mode code 256 is an ordinary table entry.
        EXPECT_EQ(expand_ok(unix_compress(text, max_bits, false)), text) << max_bits << " bits";
    }
}

TEST(UnixCompress, AgreesWithTheToolsWhenInstalled) {
    TempDir dir;
    const std::string text = sample_text(400000, 2);
    write_file(dir.path() / "text", text);
    // gzip decodes .Z independently: it must read the test writer's data as the original.
    const std::string ours = unix_compress(text, 12, true, 500);
    write_file(dir.path() / "ours.Z", ours);
    const auto ours_path = (dir.path() / "ours.Z").string();
    if (command_succeeds("gzip -dc < " + ours_path + " > " + ours_path + ".out")) {
        EXPECT_EQ(read_file(ours_path + ".out"), text);
    }
    // compress(1) (Debian's ncompress); its -b 9 writes data that no decoder, not even its
    // own, reads back, so widths start at 10.
    const auto path = (dir.path() / "text").string();
    if (!command_succeeds("compress -V"))
        GTEST_SKIP() << "compress(1) is not installed (Debian's ncompress)";
    for (int bits = 10; bits <= 16; ++bits) {
        ASSERT_TRUE(command_succeeds("compress -c -b " + std::to_string(bits) + " " + path + " > " +
                                     path + ".Z"));
        EXPECT_EQ(expand_ok(read_file(path + ".Z")), text) << bits << " bits";
    }
}

TEST(UnixCompress, RejectsBadHeadersAndCodes) {
    EXPECT_EQ(expand_unix_compress("\x1f\x9d").error(),
              "Unix compress data is truncated: no header");
    EXPECT_EQ(expand_unix_compress("\x1f\x9d\x91xx").error(),
              "Unix compress data uses 17-bit codes; only 9 to 16 bits are valid");
    EXPECT_EQ(expand_unix_compress("\x1f\x9d\x88xx").error(),
              "Unix compress data uses 8-bit codes; only 9 to 16 bits are valid");
    // First code 300: no byte to start from. Then 'a' followed by code 400 past a table of 257.
    EXPECT_EQ(expand_unix_compress(std::string("\x1f\x9d\x90\x2c\x01", 5)).error(),
              "Unix compress data is corrupt: it starts with code 300 instead of a byte");
    EXPECT_EQ(expand_unix_compress(std::string("\x1f\x9d\x90\x61\x20\x03", 6)).error(),
              "Unix compress data is corrupt: code 400 refers past the table of 257 entries");
}

TEST(UnixCompress, CutOrDamagedDataFailsOrYieldsAPrefix) {
    const std::string text = sample_text(60000, 3);
    const std::string z = unix_compress(text, 16, true, 300);
    // The format has no length: a cut between codes looks complete, but what comes out is
    // then the start of the text; a cut inside a code is an error.
    std::size_t errors = 0;
    for (std::size_t n = 3; n < z.size(); n += 29) {
        auto r = expand_unix_compress(std::string_view(z).substr(0, n));
        if (!r) {
            ++errors;
            EXPECT_EQ(r.error(), "Unix compress data is truncated");
        } else {
            EXPECT_EQ(*r, text.substr(0, r->size())) << "cut at " << n;
        }
    }
    EXPECT_GT(errors, 0u);
    std::mt19937 rng(4);
    for (int i = 0; i < 300; ++i) {
        std::string damaged = z;
        damaged[3 + rng() % (damaged.size() - 3)] ^= static_cast<char>(1 + rng() % 255);
        (void)expand_unix_compress(damaged);  // must end, without a fault, either way
    }
}

TEST(UnixCompress, StopsAtTheOutputLimit) {
    const std::string z = unix_compress(std::string(100000, 'x'));
    EXPECT_EQ(expand_unix_compress(z, 100000).value().size(), 100000u);
    EXPECT_EQ(expand_unix_compress(z, 99999).error(),
              "Unix compress content exceeds the limit of 99999 bytes");
}
