// Satellite positions against RTKLIB, an independent implementation of the same broadcast models, on
// the real navigation files: GPS and QZSS (Keplerian model, eph2pos) and GLONASS (Runge-Kutta, geph2pos).
// Galileo and BeiDou are left out: RTKLIB uses their own gravity constants where this system uses the
// GPS ones. RTKLIB is loaded at run time from Debian's librtklib1 (pulled in by librtklib-dev); without
// it the test is skipped. That package ships no header: the declarations follow RTKLIB 2.4.3.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <ctime>

#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/navigation_reader.hpp"
#include "support/rinex_text.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

struct gtime_t {
    std::time_t time;
    double sec;
};
struct eph_t {  // leading fields only; the reserve covers the ones that follow
    int sat, iode, iodc, sva, svh, week, code, flag;
    gtime_t toe, toc, ttr;
    double A, e, i0, OMG0, omg, M0, deln, OMGd, idot, crc, crs, cuc, cus, cic, cis, toes, fit, f0, f1, f2, reserve[32];
};
struct geph_t {
    int sat, iode, frq, svh, sva, age;
    gtime_t toe, tof;
    double pos[3], vel[3], acc[3], taun, gamn, dtaun, reserve[16];
};

}  // namespace

TEST(RtklibCrossCheck, GpsQzssAndGlonassPositionsAgreeWithinOneCentimetre) {
    QCN0_REQUIRE_DATA(dir);
    // Lazy binding: the library expects its program to define message callbacks never called here.
    void* lib = dlopen("libRTKLib.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (lib == nullptr) GTEST_SKIP() << "RTKLIB is not available (install Debian's librtklib-dev): " << dlerror();
    std::unique_ptr<void, int (*)(void*)> closer(lib, dlclose);
    const auto epoch2time = reinterpret_cast<gtime_t (*)(const double*)>(dlsym(lib, "epoch2time"));
    const auto gpst2time = reinterpret_cast<gtime_t (*)(int, double)>(dlsym(lib, "gpst2time"));
    const auto satno = reinterpret_cast<int (*)(int, int)>(dlsym(lib, "satno"));
    const auto eph2pos = reinterpret_cast<void (*)(gtime_t, const eph_t*, double*, double*, double*)>(dlsym(lib, "eph2pos"));
    const auto geph2pos = reinterpret_cast<void (*)(gtime_t, const geph_t*, double*, double*, double*)>(dlsym(lib, "geph2pos"));
    ASSERT_TRUE(epoch2time && gpst2time && satno && eph2pos && geph2pos) << "RTKLIB lacks a needed function";
    const auto time_of = [&](const EpochTime& t) {
        const double ep[6] = {double(t.year), double(t.month), double(t.day), double(t.hour), double(t.minute), t.second};
        return epoch2time(ep);
    };
    // Times of day on a 675 s grid (1/128 day) have exact day numbers: both sides see the same time.
    const auto grid = [](const EpochTime& t, long k) { return EpochTime{t.year, t.month, t.day, 0, 0, k * 675.0}; };
    const auto of_day = [](const EpochTime& t) { return t.hour * 3600.0 + t.minute * 60.0 + t.second; };
    double worst = 0.0;
    std::size_t kepler_count = 0, glonass_count = 0;
    const auto compare = [&](const Ecef& ours, const double* rs, const EpochTime& t, const std::string& id) {
        worst = std::max(worst, std::hypot(ours.x - rs[0], ours.y - rs[1], ours.z - rs[2]));
        EXPECT_LT(std::hypot(ours.x - rs[0], ours.y - rs[1], ours.z - rs[2]), 0.01) << id << " at " << format_epoch_timestamp(t);
    };
    for (const char* name : {"matrtklib_20240624_static_base.nav", "matrtklib_20230711_base.nav", "SEPT2650.21P",
                             "CORD00ARG_R_20240920000_01D_MN.rnx", "HERT00GBR_R_20240920000_01D_GN.rnx", "ELKO00USA_R_20182100000_01D_MN.rnx",
                             "BRDC00IGS_R_20230010000_01D_MN.rnx", "brdc0010.21n", "brdc1180.21n", "KMS300DNK_R_20221591000_01H_MN.rnx",
                             "ESBC00DNK_R_20201770000_01D_MN.rnx", "NYA100NOR_S_20241240000_01D_GN.rnx", "AMEL00NLD_R_20210010000_01D_MN.rnx",
                             "amel0010.21g"}) {
        auto nav = parse_navigation(read_bytes(dir + "/" + name));
        ASSERT_TRUE(nav.ok()) << name;
        double rs[6], dts[2], var;
        for (const auto& sat : nav->gps_ephemerides) {
            for (const KeplerEphemeris& r : sat.records) {
                eph_t e{};
                e.sat = satno(r.system == 'J' ? 0x10 : 0x01, static_cast<int>(r.prn)), e.week = r.week;
                e.toe = gpst2time(r.week, r.toe), e.toc = time_of(r.epoch), e.A = r.sqrt_a * r.sqrt_a, e.e = r.e, e.i0 = r.i0;
                e.OMG0 = r.omega0, e.omg = r.omega, e.M0 = r.m0, e.deln = r.delta_n, e.OMGd = r.omega_dot, e.idot = r.idot;
                e.crc = r.crc, e.crs = r.crs, e.cuc = r.cuc, e.cus = r.cus, e.cic = r.cic, e.cis = r.cis;
                e.toes = r.toe, e.f0 = r.af0, e.f1 = r.af1, e.f2 = r.af2;
                // Every grid instant of the record's 4-hour window on either side.
                for (long k = long(std::ceil((of_day(r.epoch) - 14399.0) / 675)); k <= long(std::floor((of_day(r.epoch) + 14399.0) / 675));
                     ++k, ++kepler_count) {
                    eph2pos(time_of(grid(r.epoch, k)), &e, rs, dts, &var);
                    compare(kepler_position(r, grid(r.epoch, k)), rs, grid(r.epoch, k), sat.id);
                }
            }
        }
        for (const auto& sat : nav->glonass_ephemerides) {
            for (const GlonassEphemeris& r : sat.records) {
                if (std::fmod(of_day(r.epoch), 675.0) != 0.0) continue;  // records on the grid, 56 minutes either side
                geph_t g{};
                g.sat = satno(0x04, static_cast<int>(r.slot)), g.frq = r.frequency_channel, g.toe = time_of(r.epoch);
                const double state[3][3] = {{r.x, r.y, r.z}, {r.vx, r.vy, r.vz}, {r.ax, r.ay, r.az}};
                for (int i = 0; i < 3; ++i) g.pos[i] = state[0][i], g.vel[i] = state[1][i], g.acc[i] = state[2][i];
                g.taun = -r.clock_bias, g.gamn = r.freq_bias;
                for (long k = long(of_day(r.epoch) / 675) - 5; k <= long(of_day(r.epoch) / 675) + 5; ++k, ++glonass_count) {
                    geph2pos(time_of(grid(r.epoch, k)), &g, rs, dts, &var);
                    compare(glonass_propagate(r, grid(r.epoch, k)).value(), rs, grid(r.epoch, k), sat.id);
                }
            }
        }
    }
    EXPECT_GT(kepler_count, 50000u);
    EXPECT_GT(glonass_count, 3000u);
    std::printf("RTKLIB cross-check: %zu GPS/QZSS and %zu GLONASS positions, largest difference %.3g m\n", kepler_count, glonass_count, worst);
}
