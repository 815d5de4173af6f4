// SPDX-License-Identifier: GPL-3.0-or-later
// The style data file on disk: reading it as the start-up check does, and
// where the program looks for it.

#include "adapters/disk_style_file.h"
#include "core_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace varkelon::test {
namespace {

// The file on disk, as the program finds it beside itself.
class DiskFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("varkelon-core-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path path() const { return dir_ / "brelmonddat1.dat"; }

    std::filesystem::path dir_;
};

TEST_F(DiskFile, ShippedFileChecksOut) {
    DiskStyleFile file{VARKELON_DATA_FILE};
    EXPECT_EQ(check_style_file(file), StyleFileCheck::Ok);
}

TEST_F(DiskFile, AbsentFileIsMissing) {
    DiskStyleFile file{path()};
    EXPECT_EQ(check_style_file(file), StyleFileCheck::Missing);
}

TEST_F(DiskFile, LongerFileIsNotOriginal) {
    auto bytes = shipped_style_bytes();
    bytes.resize(100000, 0);
    std::ofstream(path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    DiskStyleFile file{path()};
    EXPECT_EQ(check_style_file(file), StyleFileCheck::NotOriginal);
}

// A folder is not a file: with no file of that name the program reports the
// file as missing (message A), not as damaged.
TEST_F(DiskFile, FolderOfThatNameIsMissing) {
    std::filesystem::create_directory(path());
    DiskStyleFile file{path()};
    EXPECT_EQ(check_style_file(file), StyleFileCheck::Missing);
}

// Where the program finds the file: beside itself, in its prefix's share
// folder, then along the XDG data folders, first found wins. Each case puts
// copies in some of the places (relative to a scratch root) and names the one
// that must be found, or "" for none.
TEST_F(DiskFile, SearchOrderBesideThenPrefixThenXdgDataDirs) {
    struct Case {
        std::vector<std::string> present;
        std::string xdg;
        std::string found;
    };
    const std::string beside = "opt/bin/brelmonddat1.dat";
    const std::string prefix = "opt/share/varkelon/brelmonddat1.dat";
    const std::string xdg1 = "x1/varkelon/brelmonddat1.dat";
    const std::string xdg2 = "x2/varkelon/brelmonddat1.dat";
    const std::string root = dir_.string();
    const std::string both = root + "/x1:" + root + "/x2";
    const Case cases[] = {
        {{beside, prefix, xdg1}, both, beside},
        {{prefix, xdg1}, both, prefix},
        {{xdg1, xdg2}, both, xdg1},
        {{xdg2}, both, xdg2},
        {{xdg2}, "x1:relative/x2::" + root + "/x2", xdg2}, // relative entries skipped
        {{xdg1}, "", "-"}, // the default folders only: not in the scratch root
        {{}, both, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir_);
        for (const std::string& rel : c.present) {
            std::filesystem::create_directories((dir_ / rel).parent_path());
            std::ofstream(dir_ / rel) << "x";
        }
        std::filesystem::create_directories(dir_ / "opt/bin");
        const auto got = locate_style_file(dir_ / "opt/bin", c.xdg);
        if (c.found == "-") {
            EXPECT_NE(got, (dir_ / xdg1).lexically_normal());
            continue;
        }
        const auto want = c.found.empty() ? dir_ / beside : dir_ / c.found;
        EXPECT_EQ(got, want.lexically_normal()) << "XDG_DATA_DIRS=" << c.xdg;
    }
}

} // namespace
} // namespace varkelon::test
