// The TLE download with a stand-in `curl` placed first on the executable search path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tle/process_output.hpp"
#include "tle/tle_download.hpp"

using namespace qcn0;
namespace fs = std::filesystem;
using Runs = std::vector<std::vector<std::string>>;

namespace {

const std::string kTle =
    "GPS BIIR-2  (PRN 13)    \r\n"
    "1 24876U 97035A   24160.80187576  .00000010  00000+0  00000+0 0  9995\r\n"
    "2 24876  55.6686 127.4598 0079473  52.0264 308.6451  2.00565553197140\r\n";

// A scratch folder with a `curl` shell script (none when the body is empty) that logs its
// arguments, put in front of PATH while the object lives.
class FakeCurl {
  public:
    explicit FakeCurl(const std::string& body) {
        char pattern[] = "/tmp/qcn0_fake_curl_XXXXXX";
        dir_ = mkdtemp(pattern);
        log_ = dir_ + "/arguments.log";
        if (!body.empty()) {
            std::ofstream(dir_ + "/curl")
                << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << log_
                << "'\necho --- >> '" << log_ << "'\n"
                << body;
            fs::permissions(dir_ + "/curl", fs::perms::owner_all);
        }
        old_path_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
        setenv("PATH", (body.empty() ? dir_ : dir_ + ":" + old_path_).c_str(), 1);
    }
    ~FakeCurl() {
        setenv("PATH", old_path_.c_str(), 1);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    FakeCurl(const FakeCurl&) = delete;
    FakeCurl& operator=(const FakeCurl&) = delete;

    // The argument lists of every run, in order.
    Runs runs() const {
        Runs out(1);
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) {
            if (line == "---") {
                out.emplace_back();
            } else {
                out.back().push_back(line);
            }
        }
        out.pop_back();
        return out;
    }

  private:
    std::string dir_, log_, old_path_;
};

std::vector<std::string> args(std::string_view url) {
    return {"-sL", "--connect-timeout", "10", std::string(url)};
}

}  // namespace

TEST(TleDownload, ThreeSourcesInOrderThenTheError) {
    const auto urls = tle_source_urls();
    EXPECT_TRUE(urls[0].ends_with("/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle"));
    EXPECT_TRUE(urls[1].ends_with("/NORAD/elements/gnss.txt"));
    EXPECT_TRUE(urls[2].ends_with("/NORAD/elements/gnss.txt"));
    const auto host = [](std::string_view url) { return url.substr(0, url.find("/NORAD/")); };
    EXPECT_EQ(host(urls[0]), host(urls[1]));  // the primary host serves the first two
    EXPECT_NE(host(urls[1]), host(urls[2]));

    FakeCurl curl("echo 'partial 1 2 ' ; exit 7\n");
    auto result = download_tle();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "Failed to download TLE from all sources");
    EXPECT_EQ(curl.runs(), (Runs{args(urls[0]), args(urls[1]), args(urls[2])}));
}

TEST(TleDownload, FirstUsableTextIsReturnedUnchanged) {
    {
        FakeCurl curl("printf '%s' '" + kTle + "'\necho 'progress noise' >&2\n");
        auto result = download_tle();
        ASSERT_TRUE(result.ok()) << result.error();
        EXPECT_EQ(*result, kTle);
        EXPECT_EQ(curl.runs().size(), 1u);
    }
    // The query fails, the primary file is an error page without element-set lines, the
    // secondary file is used.
    const auto urls = tle_source_urls();
    FakeCurl curl("case \"$4\" in\n  '" + std::string(urls[0]) + "') exit 22 ;;\n  '" +
                  std::string(urls[1]) + "') echo '<html>Not Found</html>' ;;\n  *) printf '%s' '" +
                  kTle + "' ;;\nesac\n");
    auto result = download_tle();
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(*result, kTle);
    EXPECT_EQ(curl.runs().size(), 3u);
}

TEST(TleDownload, OutputMustBeUtf8WithBothLineMarks) {
    for (const char* body :
         {"printf '1 x 2 y \\377\\n'\n", "printf ''\n", "echo '1 only'\n", "echo '2 only'\n"}) {
        FakeCurl curl(body);
        EXPECT_FALSE(download_tle().ok()) << body;
    }
    FakeCurl curl("printf '1 \\303\\251 2 \\n'\n");  // a valid two-byte character
    EXPECT_TRUE(download_tle().ok());
}

TEST(TleDownload, ASourceThatNeverStopsFailsAndTheNextIsTried) {
    // The primary query streams element-set lines without end (a broken server, a proxy in a
    // loop): it is cut off rather than held in memory, and the next source answers.
    const auto urls = tle_source_urls();
    FakeCurl curl("case \"$4\" in\n  '" + std::string(urls[0]) + "') yes '1 2 ' ;;\n  *) printf '%s' '" +
                  kTle + "' ;;\nesac\n");
    auto result = download_tle();
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(*result, kTle);
    EXPECT_EQ(curl.runs().size(), 2u);
}

TEST(TleDownload, NoCurlOnThePath) {
    FakeCurl none("");
    EXPECT_EQ(download_tle().error(), "Failed to download TLE from all sources");
}

TEST(ProcessOutput, LargeOutputsStatusAndSignals) {
    // Both streams far beyond a pipe's buffer: standard error is drained alongside.
    auto big =
        run_process("sh", {"-c", "yes 0123456789 | head -c 300000; yes e | head -c 300000 >&2"});
    ASSERT_TRUE(big.ok()) << big.error();
    EXPECT_TRUE(big->success);
    EXPECT_EQ(big->out.size(), 300000u);
    auto failed = run_process("sh", {"-c", "echo partial; exit 3"});
    EXPECT_FALSE(failed->success);
    EXPECT_EQ(failed->out, "partial\n");
    EXPECT_FALSE(run_process("sh", {"-c", "kill -9 $$"})->success);
    EXPECT_EQ(run_process("cat", {})->out, "");  // standard input is empty, not the caller's
    EXPECT_FALSE(run_process("qcn0-no-such-program", {}).ok());

    // Output up to the limit is a success; beyond it the program is stopped, even one that
    // would never end, and the run is not a success.
    auto exact = run_process("sh", {"-c", "yes 0123456789 | head -c 100000"}, 100000);
    EXPECT_TRUE(exact->success);
    EXPECT_EQ(exact->out.size(), 100000u);
    auto over = run_process("sh", {"-c", "yes 0123456789 | head -c 100001"}, 100000);
    EXPECT_FALSE(over->success);
    auto endless = run_process("yes", {}, 1 << 20);
    ASSERT_TRUE(endless.ok());
    EXPECT_FALSE(endless->success);
    EXPECT_LE(endless->out.size(), std::size_t{1} << 20);
}
