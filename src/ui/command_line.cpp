// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace varkelon {

namespace {

// The options QGuiApplication, QApplication and the X11 platform take for
// themselves, without their leading dash; the first ones take a value.
constexpr std::array<std::string_view, 14> kQtOptionsWithValue = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowtitle",       "qwindowicon",   "session",
    "display",         "geometry",           "name",          "title",
    "style",           "stylesheet"};
constexpr std::array<std::string_view, 6> kQtFlags = {"reverse", "widgetcount", "testability",
                                                      "sync",    "nograb",      "dograb"};
// Also given as -option=value.
constexpr std::array<std::string_view, 3> kQtJoinedOptions = {
    "style=", "stylesheet=", "qmljsdebugger="};

template <std::size_t N>
bool one_of(std::string_view word, const std::array<std::string_view, N>& words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

template <std::size_t N>
bool starts_with_one_of(std::string_view word, const std::array<std::string_view, N>& words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view w) { return word.starts_with(w); });
}

CommandLine error(const std::string& russian, const std::string& english) {
    return {CommandLine::Action::Error, russian + " / " + english};
}

} // namespace

CommandLine parse_command_line(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return {CommandLine::Action::Help, {}};
        }
        if (arg == "--version") {
            return {CommandLine::Action::Version, {}};
        }
        if (arg.size() < 2 || arg[0] != '-') {
            const std::string a(arg);
            return error("лишний аргумент «" + a + "»", "unexpected argument '" + a + "'");
        }
        // Qt reads its options with one dash or two.
        std::string_view name = arg.substr(1);
        if (name.starts_with('-')) {
            name.remove_prefix(1);
        }
        if (one_of(name, kQtOptionsWithValue)) {
            if (i + 1 >= argc) {
                const std::string a(arg);
                return error("параметру «" + a + "» нужно значение",
                             "option '" + a + "' needs a value");
            }
            ++i;
            continue;
        }
        if (one_of(name, kQtFlags) || starts_with_one_of(name, kQtJoinedOptions)) {
            continue;
        }
        const std::string a(arg);
        return error("неизвестный параметр «" + a + "»", "unknown option '" + a + "'");
    }
    return {};
}

std::string usage_text() {
    return "Использование: varkelon [ПАРАМЕТР]\n"
           "Синтезатор с автоаккомпанементом для обучения.\n"
           "\n"
           "  -h, --help     показать эту справку и выйти\n"
           "      --version  показать версию и выйти\n"
           "\n"
           "Без параметров открывает окно программы. Параметры Qt (например,\n"
           "-platform offscreen или -style Fusion) действуют, как в любой программе Qt.\n"
           "\n"
           "Usage: varkelon [OPTION]\n"
           "An arranger keyboard for learning, played on the computer keyboard.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "\n"
           "Without options it opens the program's window. Qt's own options (such as\n"
           "-platform offscreen or -style Fusion) work as in any Qt program.\n";
}

std::string version_text() {
    return "varkelon " VARKELON_VERSION "\n"
           "License GPL-3.0-or-later: <https://www.gnu.org/licenses/gpl-3.0.html>\n";
}

} // namespace varkelon
