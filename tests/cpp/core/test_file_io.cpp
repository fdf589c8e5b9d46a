// Whole-file reads, file names of paths, and the split of a file's text into lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/file_io.hpp"
#include "core/lines.hpp"
#include "core/text.hpp"

using namespace qcn0;

namespace {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qcn0_io_XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name, const std::string& content) const {
        std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace

TEST(FileName, LastComponentOfThePath) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"site.obs", "site.obs"},
        {"/data/site.obs", "site.obs"},
        {"data/obs/", "obs"},
        {"data/obs//", "obs"},
        {"//data//site.24o", "site.24o"},
        {"./site.obs", "site.obs"},
        {"data/.", "data"},
        {"data/./", "data"},
        {"../site.obs", "site.obs"},
        {"a/../b.obs", "b.obs"},
        {"...", "..."},
        {".hidden", ".hidden"},
        {"with space.obs", "with space.obs"},
        {"caf\xC3\xA9.obs", "caf\xC3\xA9.obs"},
        // No name: parent-directory component, roots, the current directory, nothing.
        {"..", "unknown.obs"},
        {"data/..", "unknown.obs"},
        {"data/../", "unknown.obs"},
        {"/", "unknown.obs"},
        {"//", "unknown.obs"},
        {"/.", "unknown.obs"},
        {".", "unknown.obs"},
        {"./", "unknown.obs"},
        {"", "unknown.obs"},
        // A name that is not UTF-8.
        {"data/\xFF.obs", "unknown.obs"},
        {"\xC3(.obs", "unknown.obs"},
    };
    for (const auto& c : cases) EXPECT_EQ(file_name_of(c.path), c.name) << "path: " << c.path;
}

TEST(FileName, Utf8Validity) {
    EXPECT_TRUE(is_valid_utf8(""));
    EXPECT_TRUE(is_valid_utf8("plain"));
    EXPECT_TRUE(is_valid_utf8("\xE2\x82\xAC"));       // euro sign
    EXPECT_TRUE(is_valid_utf8("\xF0\x9F\x98\x80"));   // four-byte form
    EXPECT_FALSE(is_valid_utf8("\xC0\x80"));          // overlong NUL
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_FALSE(is_valid_utf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(is_valid_utf8("\x80"));              // lone continuation byte
}

TEST(ReadFile, WholeContentAsBytes) {
    TempDir dir;
    std::string content = std::string("line\r\n\0\xB0\xFF", 9) + std::string(200000, 'x');
    auto bytes = read_file(dir.file("data.obs", content));
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    EXPECT_EQ(*bytes, content);
    auto empty = read_file(dir.file("empty.obs", ""));
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(*empty, "");
}

TEST(ReadFile, OperatingSystemErrors) {
    TempDir dir;
    auto missing = read_file(dir.path() + "/missing.obs");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), "No such file or directory (os error 2)");
    EXPECT_EQ(missing.error_kind(), ErrorKind::InputOutput);

    auto directory = read_file(dir.path());
    ASSERT_FALSE(directory.ok());
    EXPECT_EQ(directory.error(), "Is a directory (os error 21)");
    EXPECT_EQ(directory.error_kind(), ErrorKind::InputOutput);

    // A trailing separator after a file name asks for a directory.
    auto not_dir = read_file(dir.file("site.obs", "x") + "/");
    ASSERT_FALSE(not_dir.ok());
    EXPECT_EQ(not_dir.error(), "Not a directory (os error 20)");

    EXPECT_EQ(os_error_text(13), "Permission denied (os error 13)");
}

TEST(ReadFile, ContentBeyondTheLimitIsAnError) {
    TempDir dir;
    const std::string path = dir.file("ten.obs", "0123456789");
    auto exact = read_file(path, 10);
    ASSERT_TRUE(exact.ok()) << exact.error();
    EXPECT_EQ(*exact, "0123456789");
    auto short_limit = read_file(path, 9);
    ASSERT_FALSE(short_limit.ok());
    EXPECT_EQ(short_limit.error(), "File too large (os error 27)");
    EXPECT_EQ(short_limit.error_kind(), ErrorKind::InputOutput);

    // A device that never ends has no size to check beforehand: reading stops at the limit
    // instead of taking all memory.
    if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
    for (std::size_t limit : {std::size_t{0}, std::size_t{1000}, std::size_t{65536}, std::size_t{300000}}) {
        auto endless = read_file("/dev/zero", limit);
        ASSERT_FALSE(endless.ok()) << limit;
        EXPECT_EQ(endless.error(), "File too large (os error 27)");
    }
}

TEST(Lines, SplitAtLineFeeds) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(split_lines(""), V{});
    EXPECT_EQ(split_lines("\n"), V{""});
    EXPECT_EQ(split_lines("\n\n"), (V{"", ""}));
    EXPECT_EQ(split_lines("a\nb"), (V{"a", "b"}));
    EXPECT_EQ(split_lines("a\nb\n"), (V{"a", "b"}));
    EXPECT_EQ(split_lines("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(split_lines("a\r\n\r\nb"), (V{"a", "", "b"}));
    // Only one carriage return right before the line feed goes with it.
    EXPECT_EQ(split_lines("a\r\r\nb\rc"), (V{"a\r", "b\rc"}));
    EXPECT_EQ(split_lines("a\r"), V{"a\r"});
}

// The window over the next few lines sees exactly the lines of the split, whatever it looks
// ahead and however far it moves at a time.
TEST(Lines, WindowSeesTheLinesOfTheSplit) {
    for (std::string_view text : {"", "\n", "\n\n\n", "a", "a\nb", "a\r\nb\r\n", "a\r\r\nb\rc\n\nd",
                                  "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11"}) {
        const auto lines = split_lines(text);
        for (std::size_t step = 1; step <= 4; ++step) {
            LineWindow<3> window{LineCursor(text)};
            std::size_t at = 0;
            while (true) {
                for (std::size_t k = 0; k < 3; ++k) {
                    ASSERT_EQ(window.has(k), at + k < lines.size()) << text << " step " << step;
                    if (at + k < lines.size()) {
                        EXPECT_EQ(window[k], lines[at + k]);
                    }
                }
                if (window.at_end()) break;
                window.advance(step);
                at = std::min(at + step, lines.size());
            }
            EXPECT_EQ(at, lines.size());
        }
    }
}

TEST(Lines, BytesAbove127ReadAsQuestionMarks) {
    EXPECT_EQ(ascii_text("25\xB0"
                         "C \xC2\xB0"),
              "25?C ??");
    EXPECT_EQ(ascii_text(std::string("\x7F\x80\x00", 3)), std::string("\x7F?\x00", 3));
}
