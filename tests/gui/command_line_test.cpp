// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own options are answered; Qt's pass through to Qt, with
// their values; anything else is an error that names the argument.

#include "ui/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace varkelon::testing {
namespace {

using Action = CommandLine::Action;

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "varkelon");
    return parse_command_line(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, OwnOptionsQtOptionsAndErrors) {
    struct Case {
        std::vector<const char*> args;
        Action action;
    };
    const Case cases[] = {
        {{}, Action::Run},
        {{"--help"}, Action::Help},
        {{"-h"}, Action::Help},
        {{"--version"}, Action::Version},
        {{"-platform", "offscreen"}, Action::Run},
        {{"--platform", "offscreen"}, Action::Run},
        {{"-style", "Fusion", "-reverse"}, Action::Run},
        {{"-style=Fusion"}, Action::Run},
        {{"-display", ":1", "-session", "abc"}, Action::Run},
        {{"-platform", "--version"}, Action::Run}, // "--version" is the platform's name
        {{"-platform", "offscreen", "--version"}, Action::Version},
        {{"--version", "--bogus"}, Action::Version}, // answered before the rest is read
        {{"--bogus"}, Action::Error},
        {{"-help"}, Action::Error},
        {{"-"}, Action::Error},
        {{"song.mid"}, Action::Error},
        {{"-platform"}, Action::Error}, // its value is missing
        {{"-style", "Fusion", "--verbose"}, Action::Error},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const char* a : c.args) {
            line += std::string(a) + " ";
        }
        const CommandLine parsed = parse(c.args);
        EXPECT_EQ(parsed.action, c.action) << line;
        EXPECT_EQ(parsed.error.empty(), c.action != Action::Error) << line;
        if (c.action == Action::Error) {
            EXPECT_NE(parsed.error.find(c.args.back()), std::string::npos)
                << line << ": " << parsed.error;
        }
    }
}

TEST(CommandLine, TheUsageIsInRussianAndEnglishAndTheVersionNamesTheProgram) {
    const std::string usage = usage_text();
    EXPECT_EQ(usage.rfind("Использование: varkelon", 0), 0U) << usage;
    EXPECT_NE(usage.find("\nUsage: varkelon"), std::string::npos) << usage;
    EXPECT_NE(usage.find("--version"), std::string::npos);
    EXPECT_EQ(version_text().rfind("varkelon " VARKELON_VERSION "\n", 0), 0U) << version_text();
}

} // namespace
} // namespace varkelon::testing
