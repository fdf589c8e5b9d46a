// Satellite positions against RTKLIB, an independent implementation of the same broadcast
// models, on the real navigation files: GPS and QZSS (Keplerian model with the GPS constants,
// RTKLIB's eph2pos) and GLONASS (Runge-Kutta integration of the state vector, RTKLIB's
// geph2pos). Galileo and BeiDou are left out because RTKLIB uses their own gravity constants
// (and a special geostationary model), where this system uses the GPS ones for all.
//
// RTKLIB is loaded at run time from the shared library of Debian's librtklib1 package (pulled
// in by librtklib-dev); without it the test is skipped. That package ships no header, so the
// few declarations needed are written here, following RTKLIB 2.4.3's rtklib.h.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>

#include "nav_text.hpp"
#include "navigation/glonass_orbit.hpp"
#include "navigation/kepler_orbit.hpp"
#include "navigation/navigation_reader.hpp"

using namespace qcn0;
using namespace qcn0::testing;

namespace {

namespace rtk {

struct gtime_t {
    std::time_t time;
    double sec;
};

// eph_t: broadcast Keplerian ephemeris. Only the leading fields are set; the reserve covers the
// group delays and CNAV terms that follow.
struct eph_t {
    int sat, iode, iodc, sva, svh, week, code, flag;
    gtime_t toe, toc, ttr;
    double A, e, i0, OMG0, omg, M0, deln, OMGd, idot;
    double crc, crs, cuc, cus, cic, cis;
    double toes, fit, f0, f1, f2;
    double reserve[32];
};

// geph_t: GLONASS broadcast ephemeris.
struct geph_t {
    int sat, iode, frq, svh, sva, age;
    gtime_t toe, tof;
    double pos[3], vel[3], acc[3];
    double taun, gamn, dtaun;
    double reserve[16];
};

constexpr int SYS_GPS = 0x01, SYS_GLO = 0x04, SYS_QZS = 0x10;

using epoch2time_fn = gtime_t (*)(const double*);
using gpst2time_fn = gtime_t (*)(int, double);
using satno_fn = int (*)(int, int);
using eph2pos_fn = void (*)(gtime_t, const eph_t*, double*, double*, double*);
using geph2pos_fn = void (*)(gtime_t, const geph_t*, double*, double*, double*);

}  // namespace rtk

class Rtklib {
  public:
    Rtklib() {
        // Lazy binding: the library expects its program to define the message callbacks
        // showmsg, settspan and settime, which the position functions never call.
        for (const char* name : {"libRTKLib.so.1", "libRTKLib.so"}) {
            handle_ = dlopen(name, RTLD_LAZY | RTLD_LOCAL);
            if (handle_ != nullptr) break;
        }
        if (handle_ == nullptr) {
            const char* why = dlerror();
            reason_ = why != nullptr ? why : "libRTKLib.so.1 not found";
            return;
        }
        epoch2time = reinterpret_cast<rtk::epoch2time_fn>(dlsym(handle_, "epoch2time"));
        gpst2time = reinterpret_cast<rtk::gpst2time_fn>(dlsym(handle_, "gpst2time"));
        satno = reinterpret_cast<rtk::satno_fn>(dlsym(handle_, "satno"));
        eph2pos = reinterpret_cast<rtk::eph2pos_fn>(dlsym(handle_, "eph2pos"));
        geph2pos = reinterpret_cast<rtk::geph2pos_fn>(dlsym(handle_, "geph2pos"));
        if (!epoch2time || !gpst2time || !satno || !eph2pos || !geph2pos)
            reason_ = "RTKLIB lacks a needed function";
    }
    ~Rtklib() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    Rtklib(const Rtklib&) = delete;
    Rtklib& operator=(const Rtklib&) = delete;

    bool ready() const { return reason_.empty(); }
    const std::string& reason() const { return reason_; }

    rtk::gtime_t time_of(const EpochTime& t) const {
        const double ep[6] = {double(t.year), double(t.month),  double(t.day),
                              double(t.hour), double(t.minute), t.second};
        return epoch2time(ep);
    }

    rtk::epoch2time_fn epoch2time = nullptr;
    rtk::gpst2time_fn gpst2time = nullptr;
    rtk::satno_fn satno = nullptr;
    rtk::eph2pos_fn eph2pos = nullptr;
    rtk::geph2pos_fn geph2pos = nullptr;

  private:
    void* handle_ = nullptr;
    std::string reason_;
};

// Day numbers near 2.46 million carry time in steps of 2^-31 day (about 40 microseconds), which
// this system's epoch arithmetic inherits: at an arbitrary instant its time differs from the
// exact one by up to 20 microseconds, some 8 cm along a GPS orbit. Instants whose time of day is
// a multiple of 675 s (1/128 day) have exact day numbers, so both sides see the same time there.
constexpr double kGrid = 675.0;

// Midnight of a record's day plus k grid steps (k may be negative or beyond a day).
EpochTime grid_instant(const EpochTime& day, long k) {
    return EpochTime{day.year, day.month, day.day, 0, 0, static_cast<double>(k) * kGrid};
}

double seconds_of_day(const EpochTime& t) {
    return t.hour * 3600.0 + t.minute * 60.0 + t.second;
}

const char* const kFiles[] = {
    "matrtklib_20240624_static_base.nav",
    "matrtklib_20230711_base.nav",
    "SEPT2650.21P",
    "CORD00ARG_R_20240920000_01D_MN.rnx",
    "HERT00GBR_R_20240920000_01D_GN.rnx",
    "ELKO00USA_R_20182100000_01D_MN.rnx",
    "BRDC00IGS_R_20230010000_01D_MN.rnx",
    "brdc0010.21n",
    "brdc1180.21n",
    "KMS300DNK_R_20221591000_01H_MN.rnx",
    "ESBC00DNK_R_20201770000_01D_MN.rnx",
    "NYA100NOR_S_20241240000_01D_GN.rnx",
    "AMEL00NLD_R_20210010000_01D_MN.rnx",
    "amel0010.21g",
};

}  // namespace

TEST(RtklibCrossCheck, GpsQzssAndGlonassPositionsAgreeWithinOneCentimetre) {
    QCN0_REQUIRE_DATA(dir);
    Rtklib rtklib;
    if (!rtklib.ready()) {
        GTEST_SKIP() << "RTKLIB is not available (install Debian's librtklib-dev or librtklib1): "
                     << rtklib.reason();
    }
    double worst_kepler = 0.0, worst_glonass = 0.0;
    std::size_t kepler_count = 0, glonass_count = 0;
    for (const char* name : kFiles) {
        auto nav = parse_navigation(read_bytes(dir + "/" + name));
        ASSERT_TRUE(nav.ok()) << name;

        for (const auto& sat : nav->gps_ephemerides) {
            for (const KeplerEphemeris& r : sat.records) {
                rtk::eph_t eph{};
                eph.sat = rtklib.satno(r.system == 'J' ? rtk::SYS_QZS : rtk::SYS_GPS,
                                       static_cast<int>(r.prn));
                eph.week = r.week;
                eph.toe = rtklib.gpst2time(r.week, r.toe);
                eph.toc = rtklib.time_of(r.epoch);
                eph.A = r.sqrt_a * r.sqrt_a;
                eph.e = r.e, eph.i0 = r.i0, eph.OMG0 = r.omega0, eph.omg = r.omega, eph.M0 = r.m0;
                eph.deln = r.delta_n, eph.OMGd = r.omega_dot, eph.idot = r.idot;
                eph.crc = r.crc, eph.crs = r.crs, eph.cuc = r.cuc, eph.cus = r.cus, eph.cic = r.cic,
                eph.cis = r.cis;
                eph.toes = r.toe, eph.f0 = r.af0, eph.f1 = r.af1, eph.f2 = r.af2;
                // Every grid instant of the record's 4-hour validity window on either side.
                const double toc = seconds_of_day(r.epoch);
                const EpochTime day{r.epoch.year, r.epoch.month, r.epoch.day, 0, 0, 0.0};
                for (long k = static_cast<long>(std::ceil((toc - 14399.0) / kGrid));
                     k <= static_cast<long>(std::floor((toc + 14399.0) / kGrid)); ++k) {
                    const EpochTime t = grid_instant(day, k);
                    const Ecef ours = kepler_position(r, t);
                    double rs[6] = {0}, dts[2] = {0}, var = 0.0;
                    rtklib.eph2pos(rtklib.time_of(t), &eph, rs, dts, &var);
                    const double d = std::hypot(ours.x - rs[0], ours.y - rs[1], ours.z - rs[2]);
                    worst_kepler = std::max(worst_kepler, d);
                    EXPECT_LT(d, 0.01)
                        << name << " " << sat.id << " at " << format_epoch_timestamp(t);
                    ++kepler_count;
                }
            }
        }

        for (const auto& sat : nav->glonass_ephemerides) {
            for (const GlonassEphemeris& r : sat.records) {
                // Only records whose own time is on the grid, instants up to 56 min either side.
                const double toc = seconds_of_day(r.epoch);
                if (std::fmod(toc, kGrid) != 0.0) continue;
                rtk::geph_t geph{};
                geph.sat = rtklib.satno(rtk::SYS_GLO, static_cast<int>(r.slot));
                geph.frq = r.frequency_channel;
                geph.toe = rtklib.time_of(r.epoch);
                geph.pos[0] = r.x, geph.pos[1] = r.y, geph.pos[2] = r.z;
                geph.vel[0] = r.vx, geph.vel[1] = r.vy, geph.vel[2] = r.vz;
                geph.acc[0] = r.ax, geph.acc[1] = r.ay, geph.acc[2] = r.az;
                geph.taun = -r.clock_bias, geph.gamn = r.freq_bias;
                const EpochTime day{r.epoch.year, r.epoch.month, r.epoch.day, 0, 0, 0.0};
                const long k0 = static_cast<long>(toc / kGrid);
                for (long k = k0 - 5; k <= k0 + 5; ++k) {
                    const EpochTime t = grid_instant(day, k);
                    const auto ours = glonass_propagate(r, t);
                    ASSERT_TRUE(ours.has_value());
                    double rs[6] = {0}, dts[2] = {0}, var = 0.0;
                    rtklib.geph2pos(rtklib.time_of(t), &geph, rs, dts, &var);
                    const double d = std::hypot(ours->x - rs[0], ours->y - rs[1], ours->z - rs[2]);
                    worst_glonass = std::max(worst_glonass, d);
                    EXPECT_LT(d, 0.01)
                        << name << " " << sat.id << " at " << format_epoch_timestamp(t);
                    ++glonass_count;
                }
            }
        }
    }
    EXPECT_GT(kepler_count, 50000u);
    EXPECT_GT(glonass_count, 3000u);
    std::printf(
        "RTKLIB cross-check: %zu GPS/QZSS positions, largest difference %.3g m; %zu GLONASS "
        "positions, "
        "largest difference %.3g m\n",
        kepler_count, worst_kepler, glonass_count, worst_glonass);
}
