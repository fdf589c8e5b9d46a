// Decoding against the reference and the real data: byte identity with CRX2RNX on every
// Compact RINEX file of the data folder and on generated files (reference_corpus.py), the
// uncompressed twins of two compact files, and cut or damaged real files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <random>

#include "compression/compact_rinex.hpp"
#include "compression/decode_input.hpp"
#include "compression_test_support.hpp"

using namespace qcn0;
using namespace qcn0::testing;

TEST(CompactRinexReference, ByteIdenticalToCrx2rnx) {
    TempDir dir;
    const auto script = std::filesystem::path(__FILE__).parent_path() / "reference_corpus.py";
    const int status = std::system(("python3 " + script.string() + " " + dir.path().string() + " " +
                                    QCN0_DATA_DIR + " 40 2>" + (dir.path() / "log").string())
                                       .c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 3 || WEXITSTATUS(status) == 127) {
        GTEST_SKIP() << "python3 with the hatanaka package is needed as the reference "
                        "(pip install hatanaka)";
    }
    ASSERT_EQ(WEXITSTATUS(status), 0) << read_file(dir.path() / "log");
    std::istringstream manifest(read_file(dir.path() / "manifest.tsv"));
    std::string compact, reference;
    int cases = 0;
    while (std::getline(manifest, compact, '\t') && std::getline(manifest, reference)) {
        auto decoded = decode_input(read_file(compact));
        ASSERT_TRUE(decoded.ok()) << compact << ": " << decoded.error();
        // Compared as a whole, but reported by line: a full day is tens of megabytes.
        const std::string expected = read_file(reference);
        const std::string_view got = decoded->text();
        if (got != expected) {
            std::size_t at = 0;
            while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
            const std::size_t from = expected.rfind('\n', at == 0 ? 0 : at - 1) + 1;
            ADD_FAILURE() << compact << " differs from CRX2RNX at byte " << at
                          << ":\n  ours: " << got.substr(from, got.find('\n', from) - from)
                          << "\n  CRX2RNX: "
                          << expected.substr(from, expected.find('\n', from) - from);
        }
        ++cases;
    }
    EXPECT_GE(cases, 81);  // every_order and 40 generated files of each RINEX version
}

TEST(CompactRinexReference, TwinsHoldTheSameEpochs) {
    // The compact TLSE file holds the first 10 of the 11 epochs of the plain one.
    QCN0_REQUIRE_DATA("TLSE00FRA_R_20230010000_10S_01S_MO.crx", tlse_crx);
    const std::string tlse_rnx = *data_file("TLSE00FRA_R_20230010000_10S_01S_MO.rnx");
    const std::string tlse = decode_compact_rinex(tlse_crx).value();
    EXPECT_EQ(tlse_rnx.substr(0, tlse.size()), tlse);
    EXPECT_EQ(tlse_rnx.substr(tlse.size(), 29), "> 2023 01 01 00 00 10.0000000");
    // The day of DELF starts with the 105 epochs of delf0010.21o, byte for byte.
    const std::string delf_o = *data_file("delf0010.21o");
    const auto decoded = decode_input(*data_file("delf0010.21d"));
    const std::string delf(decoded.value().text().substr(0, delf_o.size() + 26));
    EXPECT_EQ(delf.substr(0, delf_o.size()), delf_o);
    EXPECT_EQ(delf.substr(delf_o.size()), " 21  1  1  0 52 30.0000000");  // the 106th
}

TEST(CompactRinexReference, CutOrDamagedRealFilesFailCleanly) {
    QCN0_REQUIRE_DATA("TLSE00FRA_R_20230010000_10S_01S_MO.crx", crx);
    const std::string full = decode_compact_rinex(crx).value();
    // A cut after a whole epoch leaves a shorter valid file; anywhere else is an error.
    int shorter = 0, lines = 0;
    const auto next_line = [&](std::size_t n) {
        return std::min(crx.find('\n', n), crx.size() - 1) + 1;
    };
    for (std::size_t n = 0; n < crx.size(); n = next_line(n)) {
        if (++lines % 3 != 0 && n % 7 != 0) continue;
        for (std::size_t cut : {n, n + 5}) {
            auto r = decode_compact_rinex(crx.substr(0, cut));
            if (r.ok()) {
                ++shorter;
                EXPECT_EQ(full.substr(0, r->size()), *r) << "cut at " << cut;
                EXPECT_TRUE(full.size() == r->size() || full.compare(r->size(), 2, "> ") == 0)
                    << "cut at " << cut;
            } else {
                EXPECT_EQ(r.error().rfind("compact RINEX: ", 0), 0u) << r.error();
            }
        }
    }
    EXPECT_GT(shorter, 0);
    std::mt19937 rng(11);
    for (int i = 0; i < 150; ++i) {
        std::string damaged = crx;
        for (int k = 0; k < 3; ++k)
            damaged[13000 + rng() % (crx.size() - 13000)] = "0123456789 &-\nx>"[rng() % 16];
        (void)decode_compact_rinex(damaged);  // must end, without a fault, either way
    }
    QCN0_REQUIRE_DATA("CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz", gz);
    for (std::size_t n : {std::size_t{5}, gz.size() / 3, gz.size() - 1}) {
        EXPECT_EQ(decode_input(std::string_view(gz).substr(0, n)).error(),
                  "gzip data is truncated");
    }
}
