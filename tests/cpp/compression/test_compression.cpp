// Undoing the packing of input files: Compact RINEX on small files written field by field and
// against CRX2RNX (reference_corpus.py, through the hatanaka package), gzip, Unix compress, and
// the layers recognised by content.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <map>
#include <random>

#include "compression/compact_rinex.hpp"
#include "compression/decode_input.hpp"
#include "compression/gzip_stream.hpp"
#include "compression/unix_compress.hpp"
#include "../../../fuzz/harness_bodies.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

// gzip data made by zlib, the usual writer of ".gz" files.
std::string gzip(std::string_view text, int level = 6) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, static_cast<uLong>(text.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data())), zs.avail_in = static_cast<uInt>(text.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data()), zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    return deflateEnd(&zs), out;
}

// Unix compress data as compress(1) writes it: codes from 9 bits up to `max_bits`, least
// significant bit first, in groups of eight codes padded when the width changes or the table is
// cleared; with `clear_every` the table is cleared (block mode) once full and that many codes on.
std::string unix_compress(std::string_view data, unsigned max_bits = 16, bool block = true, unsigned clear_every = 0) {
    std::string out = {'\x1f', '\x9d', static_cast<char>(max_bits | (block ? 0x80 : 0))};
    std::uint64_t bits = 0, group_start = 0, acc = 0;
    unsigned pending = 0, width = 9, since_clear = 0;
    const std::uint32_t first = block ? 257 : 256, table_size = 1u << max_bits;
    std::uint32_t next_free = first, widen_above = 511;
    auto put_bits = [&](std::uint32_t code, unsigned n) {
        acc |= std::uint64_t{code} << pending, pending += n, bits += n;
        for (; pending >= 8; pending -= 8, acc >>= 8) out.push_back(static_cast<char>(acc & 0xff));
    };
    auto pad_group = [&] {
        if (const std::uint64_t used = (bits - group_start) % (8 * width)) put_bits(0, static_cast<unsigned>(8 * width - used));
        group_start = bits;
    };
    auto emit = [&](std::uint32_t code) {
        put_bits(code, width), ++since_clear;
        if (next_free > widen_above) pad_group(), ++width, widen_above = width == max_bits ? table_size : (1u << width) - 1;
    };
    std::map<std::pair<std::uint32_t, unsigned char>, std::uint32_t> table;
    if (data.empty()) return out;
    std::uint32_t prefix = static_cast<unsigned char>(data[0]);
    for (std::size_t i = 1; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (auto it = table.find({prefix, c}); it != table.end()) {
            prefix = it->second;
            continue;
        }
        emit(prefix);
        if (next_free < table_size) table[{prefix, c}] = next_free++;
        else if (block && clear_every > 0 && since_clear >= clear_every)
            put_bits(256, width), pad_group(), table.clear(), next_free = first, width = 9, widen_above = 511, since_clear = 0;
        prefix = c;
    }
    emit(prefix);
    if (pending > 0) out.push_back(static_cast<char>(acc & 0xff));
    return out;
}

// Text with repeats near and far, like RINEX, plus noise so that tables fill and clear.
std::string sample_text(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) {
        text += "G" + std::to_string(rng() % 32) + "  " + std::to_string(rng() % 100000000) + "." +
                std::to_string(rng() % 1000) + (rng() % 3 == 0 ? " 7\n" : "    \n");
        if (rng() % 5 == 0) text.push_back(static_cast<char>(rng()));
    }
    return text;
}

// Compact RINEX 1.0 (RINEX 2, types L1 C1 S1) or 3.0 (RINEX 3, G: C1C L1C S1C and R: C1C S1C).
std::string crx_header(bool v3) {
    return header_line(v3 ? "3.0" : "1.0", "CRINEX VERS   / TYPE") + header_line("RNX2CRX ver.4.1.0", "CRINEX PROG / DATE") +
           (v3 ? header_line("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE") +
                     header_line("G    3 C1C L1C S1C", "SYS / # / OBS TYPES") + header_line("R    2 C1C S1C", "SYS / # / OBS TYPES")
               : header_line("     2.11           OBSERVATION DATA    M", "RINEX VERSION / TYPE") +
                     header_line("     3    L1    C1    S1", "# / TYPES OF OBSERV")) +
           end_of_header();
}
std::string rinex_header(bool v3) {
    const std::string h = crx_header(v3);
    return h.substr(h.find("RINEX VERSION") - 60);
}
// Text differencing: blank where unchanged, '&' where a blank appears, no trailing blanks.
std::string diff(std::string_view from, std::string_view to) {
    std::string d;
    for (std::size_t i = 0; i < std::max(from.size(), to.size()); ++i) {
        const char a = i < from.size() ? from[i] : ' ', b = i < to.size() ? to[i] : ' ';
        d.push_back(a == b ? ' ' : b == ' ' ? '&' : b);
    }
    return d.substr(0, d.find_last_not_of(' ') + 1);
}
// A decoded observation as CRX2RNX writes it (no zero before the point), and a line without
// trailing blanks.
std::string f(std::string_view value, char lli = ' ', char ssi = ' ') {
    return std::string(14 - value.size(), ' ').append(value) + lli + ssi;
}
std::string line(std::string text) { return text.erase(text.find_last_not_of(' ') + 1) + "\n"; }
std::string decoded(const std::string& crx) {
    auto r = decode_compact_rinex(crx);
    return r.ok() ? *r : "error: " + r.error();
}
// A RINEX 2 epoch line at 00:00:`second` of 2021-01-01 with flag 0.
std::string epoch2(int second, const std::string& satellites) {
    return format(" 21  1  1  0  0%11.7f  0%3d", second + 0.0, static_cast<int>(satellites.size() / 3)) + satellites;
}
const std::string kR0 = "> 2021 01 01 00 00  0.0000000  0  1      G01";
const std::string kR1 = "> 2021 01 01 00 00  1.0000000  0  1      G01";

}  // namespace

TEST(CompactRinex, ArcsFlagsSatellitesAndClocks) {
    // L1 of order 3, C1 of order 1, S1 of order 0; arcs ramp up to their order, blanks end them.
    std::vector<std::string> e;
    for (int s = 0; s <= 50; s += 10) e.push_back(epoch2(s, "G01"));
    const std::string arcs = crx_header(false) + "&" + e[0].substr(1) + "\n\n3&1000 1&-5 0&250 12\n" + diff(e[0], e[1]) +
                             "\n\n500 3 7\n" + diff(e[1], e[2]) + "\n\n100 3 8\n" + diff(e[2], e[3]) + "\n\n10 0 0\n" +
                             diff(e[3], e[4]) + "\n\n1\n";
    EXPECT_EQ(decoded(arcs), rinex_header(false) + line(e[0]) + line(f("1.000", '1', '2') + f("-.005") + f(".250")) + line(e[1]) +
                                 line(f("1.500", '1', '2') + f("-.002") + f(".007")) + line(e[2]) +
                                 line(f("2.100", '1', '2') + f(".001") + f(".008")) + line(e[3]) +
                                 line(f("2.810", '1', '2') + f(".001") + f(".000")) + line(e[4]) + line(f("3.631", '1', '2')));
    EXPECT_EQ(decoded(arcs + diff(e[4], e[5]) + "\n\n1 5&-1000\n").substr(decoded(arcs).size()),
              line(e[5]) + line(f("4.564", '1', '2') + f("-1.000")));  // 1 + 111 + 821 + 3631
    // Flags are differenced per satellite; RINEX 2 drops those of a missing observation.
    const std::string e1 = epoch2(1, "G01"), e2 = epoch2(2, "G01");
    EXPECT_EQ(decoded(crx_header(false) + "&" + e[0].substr(1) + "\n\n3&1 3&2 3&3 41 5 6\n" + diff(e[0], e1) + "\n\n 1 1  &\n" +
                      diff(e1, e2) + "\n\n3&7 1 1\n"),
              rinex_header(false) + line(e[0]) + line(f(".001", '4', '1') + f(".002", ' ', '5') + f(".003", ' ', '6')) + line(e1) +
                  line(std::string(16, ' ') + f(".003", ' ', '5') + f(".004", ' ', '6')) + line(e2) +
                  line(f(".007") + f(".005", ' ', '5') + f(".006", ' ', '6')));
    EXPECT_EQ(decoded(crx_header(true) + kR0 + "\n\n3&1 3&2 3&3 41&5&6\n" + diff(kR0, kR1) + "\n\n 1 1  7\n"),
              rinex_header(true) + line(kR0.substr(0, 35)) + line("G01" + f(".001", '4', '1') + f(".002", ' ', '5') + f(".003", ' ', '6')) +
                  line(kR1.substr(0, 35)) + line("G01" + f("", '4', '7') + f(".003", ' ', '5') + f(".004", ' ', '6')));
    // A satellite that leaves and comes back starts new arcs, its flags blank.
    const std::string s0 = epoch2(0, "G01G02"), s1 = epoch2(1, "G01"), s2 = epoch2(2, "G03G01G02");
    EXPECT_EQ(decoded(crx_header(false) + "&" + s0.substr(1) + "\n\n3&1 3&2 3&3\n3&4 3&5 3&6 9\n" + diff(s0, s1) + "\n\n1 1 1\n" +
                      diff(s1, s2) + "\n\n3&7 3&8 3&9\n1 1 1\n3&10 3&11 3&12\n"),
              rinex_header(false) + line(s0) + line(f(".001") + f(".002") + f(".003")) + line(f(".004", '9') + f(".005") + f(".006")) +
                  line(s1) + line(f(".002") + f(".003") + f(".004")) + line(s2) + line(f(".007") + f(".008") + f(".009")) +
                  line(f(".004") + f(".005") + f(".006")) + line(f(".010") + f(".011") + f(".012")));
    // Fourteen satellites wrap after twelve; the clock offset sits in columns 68-79 (RINEX 2) or
    // follows column 40 as F15.12 (RINEX 3). -0.6 s exactly is written -.5, as CRX2RNX does.
    std::string sats;
    for (int i = 1; i <= 14; ++i) sats += sat_id('G', i);
    const std::string w0 = epoch2(0, sats), w1 = epoch2(1, sats.substr(0, 39));
    EXPECT_EQ(decoded(crx_header(false) + "&" + w0.substr(1) + "\n3&-500000001\n" + std::string(14, '\n') + diff(w0, w1) +
                      "\n-99999999\n" + std::string(13, '\n')),
              rinex_header(false) + w0.substr(0, 68) + " -.500000001\n" + std::string(32, ' ') + "G13G14\n" + std::string(14, '\n') +
                  w1.substr(0, 68) + " -.500000000\n" + std::string(32, ' ') + "G13\n" + std::string(13, '\n'));
    const std::string r7 = "> 2021 01 01 00 00  0.0000000  0  1      R07";
    EXPECT_EQ(decoded(crx_header(true) + r7 + "\n2&-1234\n3&1 3&2 &&&&\n"),
              rinex_header(true) + r7.substr(0, 41) + " -.000000001234\n" + line("R07" + f(".001") + f(".002")));
    // An event epoch is copied with its records and may redefine the types; all starts afresh.
    const std::string ev = ">                              4  3", r2 = "> 2021 01 01 00 00  2.0000000  0  1      G01";
    const std::string types = header_line("G    4 C1C L1C S1C C2C", "SYS / # / OBS TYPES");
    EXPECT_EQ(decoded(crx_header(true) + kR0 + "\n\n3&1 3&2 3&3 &&&&&&\n" + ev + "\n" + types + "   \nCOMMENT TEXT   \n" + r2 +
                      "\n\n3&1 3&2 3&3 3&4 &&&&&&&&\n"),
              rinex_header(true) + line(kR0.substr(0, 35)) + line("G01" + f(".001") + f(".002") + f(".003")) + ev + "\n" + types +
                  " \nCOMMENT TEXT\n" + line(r2.substr(0, 35)) + line("G01" + f(".001") + f(".002") + f(".003") + f(".004")));
    // Header lines lose their trailing blanks; Windows line ends read alike.
    std::string commented = crx_header(false);
    commented.insert(commented.find("END OF HEADER") - 60, "A COMMENT     \n   \n\n");
    EXPECT_EQ(decoded(crlf(commented)), rinex_header(false).insert(rinex_header(false).find("END OF") - 60, "A COMMENT\n \n\n"));
}

TEST(CompactRinex, DamagedFilesNameTheProblemAndTheLine) {
    const std::string h2 = crx_header(false), h3 = crx_header(true), p0 = epoch2(0, "G01"), p1 = epoch2(1, "G01"),
                      p2 = epoch2(2, "G01"), e0 = "&" + p0.substr(1);
    const std::pair<std::string, std::string> cases[] = {
        {h2.substr(0, h2.size() - 74), "no END OF HEADER found (line 4)"},
        {"2.0" + h2.substr(3), "format version \"2.0\" is not 1.0 or 3.0 (line 1)"},
        {h2.substr(81), "first line is not a \"CRINEX VERS   / TYPE\" line (line 1)"},
        {"3.0" + h2.substr(3), "format version 3.0 cannot hold RINEX 2 observations (line 3)"},
        {h2 + e0 + "\n\n3&1 3&2 3&3", "file is truncated: its last line has no line end (line 8)"},
        {h2 + e0 + "\n\n", "file ends inside the satellite lines of an epoch (line 7)"},
        {h2 + e0 + "\n", "file ends inside an epoch, before its clock offset line (line 6)"},
        {h2 + p0 + "\n\n1 2 3\n", "observation continues an arc that was never started (line 8)"},
        // A blank field ended the arc of S1: it cannot go on without "n&".
        {h2 + e0 + "\n\n3&1 3&2 3&3\n" + diff(p0, p1) + "\n\n1 1\n" + diff(p1, p2) + "\n\n1 1 1\n",
         "observation continues an arc that was never started (line 14)"},
        {h2 + "&" + epoch2(0, "G01R05G01").substr(1) + "\n\n", "satellite \"G01\" is listed twice in the epoch (line 6)"},
        {h2 + e0 + "\n\n6&1 3&2 3&3\n", "order of differences is higher than 5 (line 8)"},
        {h2 + e0 + "\n\n3&1x 3&2 3&3\n", "observation field is not a number (line 8)"},
        {h2 + e0 + "\n\n3&1:2 3&2 3&3\n", "observation field is not a number (line 8)"},  // ':' follows '9'
        {h2 + e0 + "\n\n3&123456789/ 3&2\n", "observation field is not a number (line 8)"},  // '/' precedes '0'
        {h2 + e0 + "\n\n3& 3&2 3&3\n", "observation field is not a number (line 8)"},
        {h2 + e0 + "\n\n3&10000000000000 3&2\n", "observation value is out of the range RINEX can hold (line 8)"},
        {h2 + e0 + "\n3&100000000000\n", "receiver clock offset is out of the range RINEX can hold (line 7)"},
        {h2 + e0 + "\n12 \n", "clock offset line is not a number (line 7)"},
        {h2 + e0.substr(0, 27) + "x0  1G01\n", "epoch line has no blanks before its epoch flag (line 6)"},
        {h2 + e0.substr(0, 28) + "9  1G01\n", "epoch flag is not a digit from 0 to 6 (line 6)"},
        {h2 + e0.substr(0, 29) + " x1G01\n", "epoch line has no count of satellites or records (line 6)"},
        {h2 + e0.substr(0, 29) + "  2G01\n\n", "epoch line is too short for its count of 2 satellites (line 6)"},
        {h3 + kR0 + "\n\n3&1 3&2 3&3\nx                   1\n", "epoch line does not start with '>' (line 10)"},
        {h3 + "> 2021 01 01 00 00  0.0000000  0  1      E01\n\n",
         "satellite \"E01\" belongs to a system without \"SYS / # / OBS TYPES\" (line 7)"},
        {h3 + ">                              5  2\nonly one\n", "file ends inside the special records of an event epoch (line 8)"},
        {h3 + kR0 + "\n\n3&1 3&2 3&3\n>                              4  3\n" + header_line("G    4 C1C L1C S1C C2C", "SYS / # / OBS TYPES") +
             "\n\n" + diff(kR0, kR1) + "\n",
         "epoch after an event epoch does not start afresh (line 14)"},
    };
    for (const auto& [crx, message] : cases) EXPECT_EQ(decoded(crx), "error: compact RINEX: " + message);
}

TEST(Compression, GzipAndUnixCompress) {
    const std::string a = sample_text(200000, 7), b = "second member\n";
    EXPECT_EQ(inflate_gzip(gzip(a) + gzip(b, 0) + gzip("") + std::string(512, '\0')).value(), a + b);  // stored blocks, padding
    const std::string after_padding = std::string(3, '\0') + gzip("y");  // padding ends the stream
    EXPECT_EQ(inflate_gzip(gzip("x") + after_padding).error(), "gzip data is followed by 24 bytes that are not gzip");
    const std::string z = gzip(a.substr(0, 30000)) + gzip(a.substr(0, 30000));
    for (std::size_t n = 0; n < z.size(); n += (n < 64 || z.size() - n < 64) ? 1 : 37) {
        auto r = inflate_gzip(std::string_view(z).substr(0, n));
        EXPECT_EQ(r.ok() ? "" : r.error(), n == z.size() / 2 ? "" : "gzip data is truncated") << "cut at " << n;
    }
    std::string crc = gzip(a), method = crc;
    crc[crc.size() - 6] ^= 1, method[2] = 7;
    EXPECT_EQ(inflate_gzip(crc).error() + ", " + inflate_gzip(method).error(),
              "gzip data is corrupt: incorrect data check, gzip data is corrupt: unknown compression method");
    EXPECT_EQ(inflate_gzip(gzip(std::string(1 << 20, 'a')), 1 << 20).value().size(), std::size_t{1} << 20);
    EXPECT_EQ(inflate_gzip(gzip(std::string(1 << 20, 'a')), 1000).error(), "gzip content exceeds the limit of 1000 bytes");

    // Unix compress: "TOBEORNOT..." as written by ncompress 4.2.4, with the code that refers to the
    // entry it defines; then every code width of the writer above.
    EXPECT_EQ(expand_unix_compress(std::string("\x1f\x9d\x90\x54\x9e\x08\x29\xf2\x44\x8a\x93\x27\x54\x02\x0e\x2c\xa8\x90\xa0"
                                               "\x41\x84\x23\x00", 23)).value() + expand_unix_compress(std::string("\x1f\x9d\x90", 3)).value(),
              "TOBEORNOTTOBEORTOBEORNOT#");
    const std::pair<std::string, std::string> errors[] = {
        {"\x1f\x9d", "is truncated: no header"}, {"\x1f\x9d\x91xx", "uses 17-bit codes; only 9 to 16 bits are valid"},
        {"\x1f\x9d\x88xx", "uses 8-bit codes; only 9 to 16 bits are valid"},
        {std::string("\x1f\x9d\x90\x2c\x01", 5), "is corrupt: it starts with code 300 instead of a byte"},
        {std::string("\x1f\x9d\x90\x61\x20\x03", 6), "is corrupt: code 400 refers past the table of 257 entries"}};
    for (const auto& [data, error] : errors) EXPECT_EQ(expand_unix_compress(data).error(), "Unix compress data " + error);
    for (unsigned bits = 9; bits <= 16; ++bits)  // block mode with and without clears, and without block mode
        for (auto [block, clear] : {std::pair{true, 0u}, {true, 700u}, {false, 0u}})
            EXPECT_EQ(expand_unix_compress(unix_compress(a.substr(0, 120000), bits, block, clear)).value(), a.substr(0, 120000)) << bits;
    // No length in the format: a cut between codes gives the start of the text, inside a code an error.
    const std::string u = unix_compress(a.substr(0, 60000), 16, true, 300);
    std::size_t cut_errors = 0;
    for (std::size_t n = 3; n < u.size(); n += 29) {
        auto r = expand_unix_compress(std::string_view(u).substr(0, n));
        cut_errors += !r;
        EXPECT_EQ(r ? *r : r.error(), r ? a.substr(0, r->size()) : "Unix compress data is truncated") << "cut at " << n;
    }
    EXPECT_GT(cut_errors, 0u);
    EXPECT_EQ(expand_unix_compress(unix_compress(std::string(100000, 'x')), 100000).value().size(), 100000u);
    EXPECT_EQ(expand_unix_compress(unix_compress(std::string(100000, 'x')), 99999).error(), "Unix compress content exceeds the limit of 99999 bytes");
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {  // damage: the CRC-32 catches what deflate does not; compress just ends
        std::string g = gzip(a.substr(0, 20000)), x = u;
        g[10 + rng() % (g.size() - 10)] ^= static_cast<char>(1 + rng() % 255), x[3 + rng() % (x.size() - 3)] ^= static_cast<char>(1 + rng() % 255);
        EXPECT_EQ(inflate_gzip(g).ok() ? "unnoticed" : inflate_gzip(g).error().substr(0, 12), "gzip data is") << i;
        (void)expand_unix_compress(x);
    }
}

// Layers recognised by content and undone in turn; plain bytes come back without a copy.
TEST(Compression, LayersByContent) {
    const std::string rinex = version_line("2.11") + v2_obs_types({"S1"}) + end_of_header() + " 21  1  1  0  0  0.0000000  0  1G01\n        45.250\n";
    const std::string compact = "1.0                 COMPACT RINEX FORMAT                    CRINEX VERS   / TYPE\n" +
                                header_line("RNX2CRX ver.4.1.0", "CRINEX PROG / DATE") + version_line("2.11") + v2_obs_types({"S1"}) +
                                end_of_header() + "&21  1  1  0  0  0.0000000  0  1G01\n\n3&45250\n";
    for (const std::string& plain : {rinex, std::string(), std::string("\x1f"), std::string("\x1f\x8c rest")}) {
        auto r = decode_input(plain);
        EXPECT_TRUE(!r->owns_text() && r->text().data() == plain.data() && r->text().size() == plain.size() && r->layers().empty());
    }
    using F = InputFormat;
    const std::pair<std::string, std::vector<InputFormat>> cases[] = {
        {compact, {F::compact_rinex}}, {gzip(rinex), {F::gzip}}, {unix_compress(rinex), {F::unix_compress}},
        {gzip(unix_compress(compact)), {F::gzip, F::unix_compress, F::compact_rinex}}};
    for (const auto& [bytes, layers] : cases) {
        auto r = decode_input(bytes);
        ASSERT_TRUE(r.ok()) << r.error();
        EXPECT_EQ(r->layers(), layers);
        const DecodedInput moved = std::move(r).value();  // moving keeps the text valid
        EXPECT_TRUE(moved.owns_text() && moved.text() == rinex);
    }
    EXPECT_EQ(std::string(input_format_name(F::unix_compress)) + "," + std::string(input_format_name(F::gzip)) + "," +
                  std::string(input_format_name(F::compact_rinex)), "Unix compress,gzip,compact RINEX");
    std::string nested = rinex;
    for (int i = 0; i < 4; ++i) nested = gzip(nested);
    EXPECT_EQ(decode_input(nested).value().text(), rinex);
    // Reading goes round the text where it can, but keeps the bound on the layers.
    EXPECT_EQ(read_observation_bytes(nested, "n.obs").value().values.size(), 1u);
    EXPECT_EQ(read_observation_bytes(gzip(nested), "n.obs").error(), "input is packed in more than 4 layers of compression");
    for (const auto& [bytes, error] : std::vector<std::pair<std::string, std::string>>{
             {gzip(compact.substr(0, compact.size() - 1)), "compact RINEX: file is truncated: its last line has no line end (line 8)"},
             {gzip(rinex).substr(0, 30), "gzip data is truncated"},
             {gzip(std::string("\x1f\x9d\x95 etc")), "Unix compress data uses 21-bit codes; only 9 to 16 bits are valid"},
             {gzip(nested), "input is packed in more than 4 layers of compression"}})
        EXPECT_EQ(decode_input(bytes).error(), error);
    EXPECT_EQ(decode_input(gzip(std::string(5000, ' ')), 4999).error(), "gzip content exceeds the limit of 4999 bytes");
}

// Byte identity with CRX2RNX on every compact file of the data folder and on generated files.
TEST(CompactRinexReference, ByteIdenticalToCrx2rnx) {
    const auto dir = std::filesystem::temp_directory_path() / ("qcn0_reference_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto script = std::filesystem::path(__FILE__).parent_path() / "reference_corpus.py";
    const int status = std::system(("python3 " + script.string() + " " + dir.string() + " " + QCN0_DATA_DIR + " 40 2>" +
                                    (dir / "log").string()).c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 3 || code == 127) GTEST_SKIP() << "python3 with the hatanaka package is needed as the reference (pip install hatanaka)";
    ASSERT_EQ(code, 0) << read_bytes(dir / "log");
    std::istringstream manifest(read_bytes(dir / "manifest.tsv"));
    int cases = 0;
    for (std::string compact, reference; std::getline(manifest, compact, '\t') && std::getline(manifest, reference); ++cases) {
        auto decoded = decode_input(read_bytes(compact));
        ASSERT_TRUE(decoded.ok()) << compact << ": " << decoded.error();
        const std::string expected = read_bytes(reference);
        const std::string_view got = decoded->text();
        std::size_t at = 0;  // compared whole, reported by line: a full day is tens of megabytes
        while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
        const std::size_t from = expected.rfind('\n', at == 0 ? 0 : at - 1) + 1;
        EXPECT_TRUE(got == expected) << compact << " differs from CRX2RNX at byte " << at << ":\n  ours: "
                                     << got.substr(from, got.find('\n', from) - from)
                                     << "\n  CRX2RNX: " << expected.substr(from, expected.find('\n', from) - from);
        // Read straight into the arrays, the file holds what the reader finds in CRX2RNX's text.
        auto direct = read_observation_bytes(read_bytes(compact), "c.obs");
        auto via_text = read_observation_text(expected, "c.obs");
        ASSERT_EQ(direct.ok(), via_text.ok()) << compact;
        if (direct) {
            EXPECT_TRUE(fuzz::same_record(*direct, *via_text)) << compact << " reads differently";
        }
    }
    EXPECT_GE(cases, 81);  // every order and 40 generated files of each RINEX version
    std::filesystem::remove_all(dir);
}
