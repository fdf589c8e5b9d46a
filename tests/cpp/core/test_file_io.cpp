// Whole-file reads, file names of paths, and the split of a file's text into lines.
#include <gtest/gtest.h>

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

TEST(Lines, BytesAbove127ReadAsQuestionMarks) {
    EXPECT_EQ(ascii_text("25\xB0"
                         "C \xC2\xB0"),
              "25?C ??");
    EXPECT_EQ(ascii_text(std::string("\x7F\x80\x00", 3)), std::string("\x7F?\x00", 3));
}
