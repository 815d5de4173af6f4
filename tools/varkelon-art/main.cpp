// SPDX-License-Identifier: GPL-3.0-or-later
// varkelon-art: writes the pictures derived from the program's code.
//
//   varkelon-art icons DIR           DIR/hicolor/NxN/apps/varkelon.png, every installed size
//   varkelon-art keymap FILE.png     the computer-keyboard map of the README
//   varkelon-art keymap --check FILE.png
//                                    fails when FILE.png is not what the key table draws now
//
// Runs headless: the offscreen platform unless another is chosen.

#include "keyboard_map.h"
#include "ui/bitmaps.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage() {
    std::fprintf(stderr, "usage: varkelon-art icons DIR | keymap [--check] FILE.png\n");
    return 2;
}

int write_icons(const QString& dir) {
    for (const int size : varkelon::BitmapCache::kIconSizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(dir).arg(size);
        if (!QDir().mkpath(folder) || !varkelon::BitmapCache::render_icon(size).save(
                                          folder + QStringLiteral("/varkelon.png"))) {
            std::fprintf(stderr, "varkelon-art: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}

int keymap(const QString& file, bool check) {
    const QImage drawn = varkelon::art::draw_keyboard_map();
    if (!check) {
        if (!drawn.save(file)) {
            std::fprintf(stderr, "varkelon-art: cannot write %s\n", qPrintable(file));
            return 1;
        }
        return 0;
    }
    const QImage committed(file);
    if (committed.convertToFormat(drawn.format()) != drawn) {
        std::fprintf(stderr,
                     "varkelon-art: %s is not the map of the key table as it is now; "
                     "regenerate it: build/bin/varkelon-art keymap %s\n",
                     qPrintable(file), qPrintable(file));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("icons")) {
        return write_icons(args[1]);
    }
    if (args.size() == 2 && args[0] == QLatin1String("keymap")) {
        return keymap(args[1], false);
    }
    if (args.size() == 3 && args[0] == QLatin1String("keymap") &&
        args[1] == QLatin1String("--check")) {
        return keymap(args[2], true);
    }
    return usage();
}
