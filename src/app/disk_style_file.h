#pragma once

#include "app/ports.h"

#include <filesystem>

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

// Where the program looks for the style data file: beside the executable,
// else in the installed data folder ../share/varkelon/. When it is in neither,
// the path beside the executable (which then reports it missing).
std::filesystem::path locate_style_file(const std::filesystem::path& executable_dir);

// The folder of the running executable.
std::filesystem::path executable_dir();

} // namespace varkelon
