// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/disk_style_file.h"

#include "engine/style_format.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

namespace varkelon {

StyleFileSource::Result DiskStyleFile::read() {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path_, ec)) {
        // A folder of that name counts as no file at all.
        return {Status::Missing, {}};
    }
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return {Status::Unreadable, {}};
    }
    Result r{Status::Ok, {}};
    // Never read more than one byte past the valid size: that is enough to
    // reject a longer file without loading a huge one.
    const auto size = std::filesystem::file_size(path_, ec);
    if (ec) {
        return {Status::Unreadable, {}};
    }
    const auto limit = std::min<std::uintmax_t>(size, kStyleFileSize + 1);
    r.bytes.resize(static_cast<std::size_t>(limit));
    in.read(reinterpret_cast<char*>(r.bytes.data()), static_cast<std::streamsize>(limit));
    if (static_cast<std::uintmax_t>(in.gcount()) != limit) {
        return {Status::Unreadable, {}};
    }
    return r;
}

std::filesystem::path locate_style_file(const std::filesystem::path& dir,
                                        std::string_view xdg_data_dirs) {
    const std::string name(kStyleFileName);
    std::vector<std::filesystem::path> candidates{dir / name,
                                                  dir / ".." / "share" / "varkelon" / name};
    if (xdg_data_dirs.empty()) {
        xdg_data_dirs = "/usr/local/share:/usr/share"; // the default of the XDG base directories
    }
    while (!xdg_data_dirs.empty()) {
        const auto colon = xdg_data_dirs.find(':');
        const std::string_view entry = xdg_data_dirs.substr(0, colon);
        // Relative entries are invalid by the XDG rules and would depend on
        // the working folder: skipped.
        if (!entry.empty() && entry.front() == '/') {
            candidates.push_back(std::filesystem::path(entry) / "varkelon" / name);
        }
        xdg_data_dirs =
            colon == std::string_view::npos ? std::string_view{} : xdg_data_dirs.substr(colon + 1);
    }
    std::error_code ec;
    for (const auto& c : candidates) {
        if (std::filesystem::exists(c, ec)) {
            return c.lexically_normal();
        }
    }
    return candidates.front();
}

std::filesystem::path locate_style_file(const std::filesystem::path& dir) {
    const char* env = std::getenv("XDG_DATA_DIRS");
    return locate_style_file(dir, env != nullptr ? std::string_view(env) : std::string_view{});
}

std::filesystem::path executable_dir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

} // namespace varkelon
