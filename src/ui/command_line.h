// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's own command-line options, read before anything else starts
// (no display, no audio, no Qt application): --help and --version answer at
// once, as every program does. Qt's own options (-platform offscreen,
// -style Fusion, -display :1, ...) pass through to the application.

#include <string>

namespace varkelon {

struct CommandLine {
    enum class Action : unsigned char { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string error; // for Error: what was wrong, in Russian and English
};

CommandLine parse_command_line(int argc, const char* const* argv);

// What --help prints: a short usage in Russian, then in English.
std::string usage_text();

// What --version prints: the name and the version, then the licence.
std::string version_text();

} // namespace varkelon
