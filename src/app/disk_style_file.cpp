#include "app/disk_style_file.h"

#include "engine/style_format.h"

#include <fstream>
#include <iterator>
#include <system_error>

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

std::filesystem::path locate_style_file(const std::filesystem::path& dir) {
    auto beside = dir / std::string(kStyleFileName);
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) {
        return beside;
    }
    const auto installed = dir / ".." / "share" / "varkelon" / std::string(kStyleFileName);
    if (std::filesystem::exists(installed, ec)) {
        return installed.lexically_normal();
    }
    return beside;
}

std::filesystem::path executable_dir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

} // namespace varkelon
