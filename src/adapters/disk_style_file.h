// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ports.h"

#include <filesystem>
#include <string_view>

namespace varkelon {

// The style data file on disk.
class DiskStyleFile final : public StyleFileSource {
public:
    explicit DiskStyleFile(std::filesystem::path path) : path_(std::move(path)) {}
    Result read() override;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Where the program looks for the style data file, first found wins:
//   1. beside the executable (the build tree, an unpacked folder);
//   2. ../share/varkelon/ next to the executable's folder (an installed prefix,
//      wherever it was moved);
//   3. varkelon/ in each folder of `xdg_data_dirs`, a colon-separated list as
//      in $XDG_DATA_DIRS; empty or unset means "/usr/local/share:/usr/share".
// When it is in none, the path beside the executable (which then reports it
// missing, naming the file as the program's message does).
std::filesystem::path locate_style_file(const std::filesystem::path& executable_dir,
                                        std::string_view xdg_data_dirs);
// The same with $XDG_DATA_DIRS of the environment.
std::filesystem::path locate_style_file(const std::filesystem::path& executable_dir);

// The folder of the running executable.
std::filesystem::path executable_dir();

} // namespace varkelon
