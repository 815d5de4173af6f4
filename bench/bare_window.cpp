// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for start-up: a bare Qt Widgets window as big as ours, with
// as many widgets of the same stock kinds (95: 37 keys, 22 push buttons,
// 6 frames, 16 labels, 10 pictures, 3 scroll bars, a line edit) and a menu
// bar of four menus, in the Fusion style, and nothing else: no MIDI, no
// synth, no settings. bench/startup_compare.sh launches it beside the program.

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare"));
    auto* central = new QWidget(&window);
    central->setFixedSize(760, 430);
    window.setCentralWidget(central);

    int n = 0;
    auto place = [&n](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(x, y, width, height);
        ++n;
    };
    for (int k = 0; k < 37; ++k) {
        auto* key = new QPushButton(QString::number(k), central);
        key->setCheckable(true);
        place(key, 10 + k * 20, 300, 20, 120);
    }
    for (int b = 0; b < 22; ++b) {
        place(new QPushButton(QStringLiteral("Кнопка %1").arg(b), central), 10 + (b % 11) * 68,
              200 + (b / 11) * 40, 64, 32);
    }
    for (int f = 0; f < 6; ++f) {
        place(new QGroupBox(QStringLiteral("Рамка %1").arg(f), central), 10 + f * 125, 10, 120, 90);
    }
    for (int l = 0; l < 16; ++l) {
        place(new QLabel(QStringLiteral("Надпись %1").arg(l), central), 10 + (l % 8) * 94,
              110 + (l / 8) * 20, 90, 18);
    }
    QPixmap digit(17, 23);
    digit.fill(Qt::darkGreen);
    for (int p = 0; p < 10; ++p) {
        auto* picture = new QLabel(central);
        picture->setPixmap(digit);
        place(picture, 10 + p * 22, 160, 17, 23);
    }
    for (int s = 0; s < 3; ++s) {
        place(new QScrollBar(Qt::Horizontal, central), 300 + s * 150, 160, 140, 17);
    }
    place(new QLineEdit(central), 250, 160, 40, 20);
    Q_ASSERT(n == 95);

    for (const char* title : {"Файл", "Устройство", "Справка", "Выход"}) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromUtf8(title));
        for (int i = 0; i < 3; ++i) {
            menu->addAction(QStringLiteral("Пункт %1").arg(i));
        }
    }
    window.show();
    return QApplication::exec();
}
