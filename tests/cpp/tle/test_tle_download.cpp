// The TLE download with a stand-in `curl` placed first on the executable search path.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tle/process_output.hpp"
#include "tle/tle_download.hpp"

using namespace qcn0;
namespace fs = std::filesystem;

namespace {

const std::string kTle =
    "GPS BIIR-2  (PRN 13)    \r\n"
    "1 24876U 97035A   24160.80187576  .00000010  00000+0  00000+0 0  9995\r\n"
    "2 24876  55.6686 127.4598 0079473  52.0264 308.6451  2.00565553197140\r\n";

// A scratch folder holding a `curl` script, put in front of PATH for the test's lifetime.
class FakeCurl {
  public:
    explicit FakeCurl(const std::string& body) {
        char pattern[] = "/tmp/qcn0_fake_curl_XXXXXX";
        dir_ = mkdtemp(pattern);
        log_ = dir_ + "/arguments.log";
        if (!body.empty()) {
            const std::string script = dir_ + "/curl";
            std::ofstream(script) << "#!/bin/sh\n"
                                  << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" << log_
                                  << "'\n"
                                  << "echo --- >> '" << log_ << "'\n"
                                  << body;
            fs::permissions(script, fs::perms::owner_all);
        }
        const char* old = std::getenv("PATH");
        old_path_ = old != nullptr ? old : "";
        // With no script the folder alone is the search path, so no curl can be found.
        const std::string path = body.empty() ? dir_ : dir_ + ":" + old_path_;
        setenv("PATH", path.c_str(), 1);
    }
    ~FakeCurl() {
        setenv("PATH", old_path_.c_str(), 1);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    FakeCurl(const FakeCurl&) = delete;
    FakeCurl& operator=(const FakeCurl&) = delete;

    // The argument lists of every run, in order.
    std::vector<std::vector<std::string>> runs() const {
        std::vector<std::vector<std::string>> out(1);
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
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_, log_, old_path_;
};

std::vector<std::string> arguments_for(std::string_view url) {
    return {"-sL", "--connect-timeout", "10", std::string(url)};
}

}  // namespace

TEST(TleSources, ThreeEndpointsInOrder) {
    const auto urls = tle_source_urls();
    EXPECT_TRUE(urls[0].ends_with("/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle"));
    EXPECT_TRUE(urls[1].ends_with("/NORAD/elements/gnss.txt"));
    EXPECT_TRUE(urls[2].ends_with("/NORAD/elements/gnss.txt"));
    // The primary host serves the first two, the secondary host the third.
    const auto host = [](std::string_view url) { return url.substr(0, url.find("/NORAD/")); };
    EXPECT_EQ(host(urls[0]), host(urls[1]));
    EXPECT_NE(host(urls[1]), host(urls[2]));
    EXPECT_TRUE(host(urls[0]).starts_with("http"));
}

TEST(TleDownload, EverySourceFailing) {
    FakeCurl curl("echo 'partial 1 2 ' ; exit 7\n");
    auto result = download_tle();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "Failed to download TLE from all sources");
    const auto urls = tle_source_urls();
    EXPECT_EQ(curl.runs(),
              (std::vector<std::vector<std::string>>{arguments_for(urls[0]), arguments_for(urls[1]),
                                                     arguments_for(urls[2])}));
}

TEST(TleDownload, FirstUsableTextIsReturnedUnchanged) {
    {
        FakeCurl curl("printf '" + std::string("%s") + "' '" + kTle +
                      "'\necho 'progress noise' >&2\n");
        auto result = download_tle();
        ASSERT_TRUE(result.ok()) << result.error();
        EXPECT_EQ(*result, kTle);
        EXPECT_EQ(curl.runs().size(), 1u);  // the first source sufficed
    }
    {
        // The query endpoint fails, the primary file is an error page without element-set
        // lines, and the secondary file is used.
        const auto urls = tle_source_urls();
        FakeCurl curl(
            "case \"$4\" in\n"
            "  '" +
            std::string(urls[0]) +
            "') exit 22 ;;\n"
            "  '" +
            std::string(urls[1]) +
            "') echo '<html>Not Found</html>' ;;\n"
            "  *) printf '%s' '" +
            kTle +
            "' ;;\n"
            "esac\n");
        auto result = download_tle();
        ASSERT_TRUE(result.ok()) << result.error();
        EXPECT_EQ(*result, kTle);
        EXPECT_EQ(curl.runs().size(), 3u);
    }
}

TEST(TleDownload, OutputMustBeUtf8TextWithElementSetLines) {
    for (const char* body :
         {"printf '1 x 2 y \\377\\n'\n", "printf ''\n", "echo '1 only'\n", "echo '2 only'\n"}) {
        FakeCurl curl(body);
        auto result = download_tle();
        EXPECT_FALSE(result.ok()) << body;
        EXPECT_EQ(curl.runs().size(), 3u) << body;
    }
    FakeCurl curl("printf '1 \\303\\251 2 \\n'\n");  // valid two-byte character
    EXPECT_TRUE(download_tle().ok());
}

TEST(TleDownload, NoCurlOnThePath) {
    FakeCurl none("");
    auto result = download_tle();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "Failed to download TLE from all sources");
}

TEST(ProcessOutput, LargeOutputsStatusAndSignals) {
    // Both streams far beyond a pipe's buffer: standard error must be drained alongside.
    auto big = run_process(
        "sh", {"-c", "yes 0123456789 | head -c 300000; yes e | head -c 300000 >&2; exit 0"});
    ASSERT_TRUE(big.ok()) << big.error();
    EXPECT_TRUE(big->success);
    EXPECT_EQ(big->out.size(), 300000u);
    EXPECT_EQ(big->out.substr(0, 11), "0123456789\n");

    auto failed = run_process("sh", {"-c", "echo partial; exit 3"});
    ASSERT_TRUE(failed.ok());
    EXPECT_FALSE(failed->success);
    EXPECT_EQ(failed->out, "partial\n");

    auto killed = run_process("sh", {"-c", "kill -9 $$"});
    ASSERT_TRUE(killed.ok());
    EXPECT_FALSE(killed->success);

    // Standard input is empty, so a program that reads it does not wait for the caller's.
    auto reads = run_process("cat", {});
    ASSERT_TRUE(reads.ok());
    EXPECT_TRUE(reads->success);
    EXPECT_EQ(reads->out, "");

    EXPECT_FALSE(run_process("qcn0-no-such-program", {}).ok());
}
