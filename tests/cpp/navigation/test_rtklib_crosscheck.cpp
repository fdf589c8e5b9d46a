// Satellite positions against RTKLIB, an independent implementation of the same broadcast models,
// on the real navigation files: GPS and QZSS (Keplerian model, RTKLIB's eph2pos) and GLONASS
// (Runge-Kutta integration, geph2pos). Galileo and BeiDou are left out: RTKLIB uses their own
// gravity constants where this system uses the GPS ones for all.
//
// RTKLIB is loaded at run time from Debian's librtklib1 (pulled in by librtklib-dev); without it
// the test is skipped. That package ships no header: the few declarations follow RTKLIB 2.4.3.
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
struct eph_t {  // only the leading fields are set; the reserve covers the ones that follow
    int sat, iode, iodc, sva, svh, week, code, flag;
    gtime_t toe, toc, ttr;
    double A, e, i0, OMG0, omg, M0, deln, OMGd, idot, crc, crs, cuc, cus, cic, cis, toes, fit, f0, f1, f2;
    double reserve[32];
};
struct geph_t {
    int sat, iode, frq, svh, sva, age;
    gtime_t toe, tof;
    double pos[3], vel[3], acc[3], taun, gamn, dtaun;
    double reserve[16];
};
constexpr int kSysGps = 0x01, kSysGlo = 0x04, kSysQzs = 0x10;

// Instants whose time of day is a multiple of 675 s (1/128 day) have exact day numbers, so both
// sides see the same time there.
constexpr double kGrid = 675.0;

}  // namespace

TEST(RtklibCrossCheck, GpsQzssAndGlonassPositionsAgreeWithinOneCentimetre) {
    QCN0_REQUIRE_DATA(dir);
    // Lazy binding: the library expects its program to define message callbacks never called here.
    void* lib = dlopen("libRTKLib.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (lib == nullptr) lib = dlopen("libRTKLib.so", RTLD_LAZY | RTLD_LOCAL);
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
    double worst = 0.0;
    std::size_t kepler_count = 0, glonass_count = 0;
    for (const char* name : {"matrtklib_20240624_static_base.nav", "matrtklib_20230711_base.nav", "SEPT2650.21P",
                             "CORD00ARG_R_20240920000_01D_MN.rnx", "HERT00GBR_R_20240920000_01D_GN.rnx",
                             "ELKO00USA_R_20182100000_01D_MN.rnx", "BRDC00IGS_R_20230010000_01D_MN.rnx", "brdc0010.21n",
                             "brdc1180.21n", "KMS300DNK_R_20221591000_01H_MN.rnx", "ESBC00DNK_R_20201770000_01D_MN.rnx",
                             "NYA100NOR_S_20241240000_01D_GN.rnx", "AMEL00NLD_R_20210010000_01D_MN.rnx", "amel0010.21g"}) {
        auto nav = parse_navigation(read_bytes(dir + "/" + name));
        ASSERT_TRUE(nav.ok()) << name;
        const auto compare = [&](const Ecef& ours, const double* rs, const EpochTime& t, const std::string& id) {
            const double d = std::hypot(ours.x - rs[0], ours.y - rs[1], ours.z - rs[2]);
            worst = std::max(worst, d);
            EXPECT_LT(d, 0.01) << name << " " << id << " at " << format_epoch_timestamp(t);
        };
        for (const auto& sat : nav->gps_ephemerides) {
            for (const KeplerEphemeris& r : sat.records) {
                eph_t eph{};
                eph.sat = satno(r.system == 'J' ? kSysQzs : kSysGps, static_cast<int>(r.prn));
                eph.week = r.week;
                eph.toe = gpst2time(r.week, r.toe);
                eph.toc = time_of(r.epoch);
                eph.A = r.sqrt_a * r.sqrt_a, eph.e = r.e, eph.i0 = r.i0, eph.OMG0 = r.omega0, eph.omg = r.omega;
                eph.M0 = r.m0, eph.deln = r.delta_n, eph.OMGd = r.omega_dot, eph.idot = r.idot;
                eph.crc = r.crc, eph.crs = r.crs, eph.cuc = r.cuc, eph.cus = r.cus, eph.cic = r.cic, eph.cis = r.cis;
                eph.toes = r.toe, eph.f0 = r.af0, eph.f1 = r.af1, eph.f2 = r.af2;
                // Every grid instant of the record's 4-hour window on either side.
                const double toc = r.epoch.hour * 3600.0 + r.epoch.minute * 60.0 + r.epoch.second;
                for (long k = long(std::ceil((toc - 14399.0) / kGrid)); k <= long(std::floor((toc + 14399.0) / kGrid)); ++k) {
                    const EpochTime t{r.epoch.year, r.epoch.month, r.epoch.day, 0, 0, double(k) * kGrid};
                    double rs[6] = {0}, dts[2] = {0}, var = 0.0;
                    eph2pos(time_of(t), &eph, rs, dts, &var);
                    compare(kepler_position(r, t), rs, t, sat.id);
                    ++kepler_count;
                }
            }
        }
        for (const auto& sat : nav->glonass_ephemerides) {
            for (const GlonassEphemeris& r : sat.records) {
                // Records whose own time is on the grid, instants up to 56 minutes either side.
                const double toc = r.epoch.hour * 3600.0 + r.epoch.minute * 60.0 + r.epoch.second;
                if (std::fmod(toc, kGrid) != 0.0) continue;
                geph_t geph{};
                geph.sat = satno(kSysGlo, static_cast<int>(r.slot));
                geph.frq = r.frequency_channel;
                geph.toe = time_of(r.epoch);
                const double pos[3] = {r.x, r.y, r.z}, vel[3] = {r.vx, r.vy, r.vz}, acc[3] = {r.ax, r.ay, r.az};
                for (int i = 0; i < 3; ++i) geph.pos[i] = pos[i], geph.vel[i] = vel[i], geph.acc[i] = acc[i];
                geph.taun = -r.clock_bias, geph.gamn = r.freq_bias;
                for (long k = long(toc / kGrid) - 5; k <= long(toc / kGrid) + 5; ++k) {
                    const EpochTime t{r.epoch.year, r.epoch.month, r.epoch.day, 0, 0, double(k) * kGrid};
                    double rs[6] = {0}, dts[2] = {0}, var = 0.0;
                    geph2pos(time_of(t), &geph, rs, dts, &var);
                    compare(glonass_propagate(r, t).value(), rs, t, sat.id);
                    ++glonass_count;
                }
            }
        }
    }
    EXPECT_GT(kepler_count, 50000u);
    EXPECT_GT(glonass_count, 3000u);
    std::printf("RTKLIB cross-check: %zu GPS/QZSS and %zu GLONASS positions, largest difference %.3g m\n", kepler_count,
                glonass_count, worst);
}
