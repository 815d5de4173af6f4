// SPDX-License-Identifier: GPL-3.0-or-later
// stylec: compiles the readable style source into the style data file,
// checks a style data file against the limits of its format, and dumps a
// file back into source.

#include "style_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace varkelon;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage:\n"
    "  stylec SOURCE -o OUT        compile SOURCE (a directory, whose *.txt files are read\n"
    "                              in name order, or one file) into the style data file OUT\n"
    "  stylec --check FILE         name every breach of the format; exit 1 if there is any\n"
    "  stylec --dump FILE [-o DIR] print FILE as source; with -o, write one file per style\n"
    "                              into DIR instead\n";

bool read_file(const fs::path& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "stylec: cannot read " << path.string() << ": " << std::strerror(errno)
                  << '\n';
        return false;
    }
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool read_bytes(const fs::path& path, StyleBytes& bytes) {
    std::string contents;
    if (!read_file(path, contents)) {
        return false;
    }
    bytes.assign(contents.begin(), contents.end());
    return true;
}

// Writes beside the target and renames, so a failed write never leaves a
// half-written file where a good one was.
bool write_file(const fs::path& path, const std::string& contents) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        out.close();
        if (!out) {
            std::cerr << "stylec: cannot write " << temporary.string() << '\n';
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::cerr << "stylec: cannot write " << path.string() << ": " << error.message() << '\n';
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

int compile(const fs::path& source, const fs::path& output) {
    std::vector<fs::path> files;
    std::error_code error;
    if (fs::is_directory(source, error)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(source, error)) {
            if (entry.is_regular_file() && entry.path().extension() == ".txt") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        if (files.empty()) {
            std::cerr << "stylec: " << source.string() << ": no .txt files\n";
            return kExitFailed;
        }
    } else {
        files.push_back(source);
    }

    std::vector<stylec::StyleSource> styles;
    std::vector<std::string> errors;
    for (const fs::path& file : files) {
        std::string text;
        if (!read_file(file, text)) {
            return kExitFailed;
        }
        stylec::parse_style_source(file.string(), text, styles, errors);
    }
    if (errors.empty()) {
        stylec::CompileResult result = stylec::compile_styles(styles, source.string());
        errors = std::move(result.errors);
        if (errors.empty()) {
            if (!write_file(output, std::string(result.bytes.begin(), result.bytes.end()))) {
                return kExitFailed;
            }
            std::cout << output.string() << ": " << result.bytes.size() << " bytes, byte sum "
                      << style_file_byte_sum(result.bytes) << ", " << result.free_bytes
                      << " of them filled\n";
            return kExitOk;
        }
    }
    for (const std::string& message : errors) {
        std::cerr << message << '\n';
    }
    std::cerr << "stylec: " << output.string() << " not written\n";
    return kExitFailed;
}

int check(const fs::path& file) {
    StyleBytes bytes;
    if (!read_bytes(file, bytes)) {
        return kExitFailed;
    }
    const std::vector<StyleBreach> breaches = validate_style_file(bytes);
    for (const StyleBreach& breach : breaches) {
        std::cout << file.string() << ": " << describe_breach(breach) << '\n';
    }
    if (breaches.empty()) {
        std::cout << file.string() << ": no breaches\n";
        return kExitOk;
    }
    return kExitFailed;
}

int dump(const fs::path& file, const fs::path* directory) {
    StyleBytes bytes;
    if (!read_bytes(file, bytes)) {
        return kExitFailed;
    }
    const stylec::DumpResult result = stylec::dump_style_file(bytes);
    for (const std::string& message : result.errors) {
        std::cerr << file.string() << ": " << message << '\n';
    }
    if (!result.ok()) {
        return kExitFailed;
    }
    if (directory != nullptr) {
        std::error_code error;
        fs::create_directories(*directory, error);
        for (const stylec::DumpedFile& dumped : result.files) {
            if (!write_file(*directory / dumped.name, dumped.text)) {
                return kExitFailed;
            }
        }
    } else {
        for (const stylec::DumpedFile& dumped : result.files) {
            std::cout << dumped.text << '\n';
        }
    }
    // The source of a file with breaches does not compile; say so rather than
    // let the dump pass for a faithful copy.
    const std::vector<StyleBreach> breaches = validate_style_file(bytes);
    for (const StyleBreach& breach : breaches) {
        std::cerr << file.string() << ": " << describe_breach(breach) << '\n';
    }
    if (!breaches.empty()) {
        std::cerr << "stylec: the source will not compile until these are mended\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--check") {
        return check(args[1]);
    }
    if (args.size() == 2 && args[0] == "--dump") {
        return dump(args[1], nullptr);
    }
    if (args.size() == 4 && args[0] == "--dump" && args[2] == "-o") {
        const fs::path directory = args[3];
        return dump(args[1], &directory);
    }
    if (args.size() == 3 && args[0].rfind("--", 0) != 0 && args[1] == "-o") {
        return compile(args[0], args[2]);
    }
    std::cerr << kUsage;
    return kExitUsage;
}
