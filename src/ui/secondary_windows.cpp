// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/secondary_windows.h"

#include "app/layout.h"
#include "ui/fonts.h"
#include "ui/view_events.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>

namespace varkelon {

namespace {

QFont window_font() {
    return design_font(8.25, false);
}

// The help texts, top to bottom.
const char* const kHelpTitle = "О том, как работать с программой.";
const char* const kHelpText2 =
    "Варкелон является средством обучения основам ритммашинной музыки и основам игры на "
    "ритмическом синтезаторе. В окне программы находятся 37 виртуальных музыкальных клавищ, "
    "которые можно нажимать либо любой соответсвующей клавищей на клавиатуре компьютера, либо "
    "любой кнопкой мыши. Вся клавиатура компьютера разделена на два ряда, в которых клавищи "
    "расположены так, как на музыкальной клавиатуре. То есть \"чёрные\" находятся между "
    "\"белыми\" чуть выше их. На каждой виртуальной клавище в окне программы написан символ или "
    "знак на клавиатуре компьютера, который соответствует этой клавище. Ближний ряд на "
    "клавиатуре компьютера соответствует левой части виртуальной клавиатуры, а дальний - "
    "правой.";
const char* const kHelpText3 =
    "Кнопка \"Аккомпанемент\" включает и выключает режим \"Аккомпанемент\". В этом режиме левые "
    "12 клавищ служат для задавания тональности аккомпанемента. Все белые из этих клавищ "
    "становятся жёлтыми. При нажатии на одну клавищу звучит уже целый аккорд. По умолчанию это "
    "- мажорный аккорд, а если нажимить одновременно с клавищей Shift, получается минорный "
    "аккорд.";
const char* const kHelpText4 =
    "Кнопка \"Синхростарт\" включает и выключает режим, при котором первое нажатие на "
    "музыкальную клавищу автоматически включает ритм. Если при этом включен режим "
    "\"Аккомпанемент\" и нажатие было на одну из левых двеннадцати клавищ, то включается режим "
    "\"Автоаккомпанемент\". В этом режиме программа генерирует полноценную игру. При этом можно "
    "солировать, а тональность автоаккомпанемента задаётся нажатием на одну из левых двенадцати "
    "клавищ.";
const char* const kHelpText5 =
    "Кнопка \"Старт\" включает и выключает ритм. При этом начинают звучать только ударные "
    "инструменты.";
const char* const kHelpText6 =
    "Двойной щелчок на индикаторе номера инструмента даёт возможность ввести номер инструмента "
    "вручную с клавиатуры. Перед этим не забудьте поставить курсор на поле для ввода.";

const char* const kCloseCaption = "Закрыть";

} // namespace

SecondaryView::SecondaryView(FormId form, ViewEvents& events, int client_width_twips,
                             int client_height_twips, const QString& caption, const QIcon& icon)
    : QWidget(nullptr), form_(form), events_(events) {
    // A top-level window of its own, without owner: fixed single border,
    // no minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    design_size_ = QSize(twips_to_px(client_width_twips), twips_to_px(client_height_twips));
    setWindowTitle(caption);
    setWindowIcon(icon);
    setFont(window_font());

    // The controls lie on a page of the design's size; the page fills the
    // window, or scrolls in it when the window must be smaller.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(false);
    scroll_->viewport()->setBackgroundRole(QPalette::Window);
    page_ = new QWidget;
    page_->setFixedSize(design_size_);
    scroll_->setWidget(page_);
    fit_within(design_size_);
}

void SecondaryView::fit_within(const QSize& room) {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    QSize size = design_size_.boundedTo(room);
    // A scroll bar along one side takes room from the other: widen (or
    // heighten) the window for it while the screen allows, else that side
    // scrolls too.
    for (int pass = 0; pass < 2; ++pass) {
        const bool vertical = size.height() < design_size_.height();
        const bool horizontal = size.width() < design_size_.width();
        size = QSize(design_size_.width() + (vertical ? bar : 0),
                     design_size_.height() + (horizontal ? bar : 0))
                   .boundedTo(room)
                   .expandedTo(QSize(1, 1));
    }
    // Each bar shown exactly when its side is short: left to itself, a
    // scroll area that once was smaller keeps bars it no longer needs.
    bool vertical = size.height() < design_size_.height();
    const bool horizontal = size.width() < design_size_.width() + (vertical ? bar : 0);
    vertical = size.height() < design_size_.height() + (horizontal ? bar : 0);
    scroll_->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    scroll_->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn
                                                     : Qt::ScrollBarAlwaysOff);
    setFixedSize(size);
    scroll_->setGeometry(rect());
}

QLabel* SecondaryView::add_label(const QString& text, int left, int top, int width, int height,
                                 const QFont& font) {
    auto* label = new QLabel(page_);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(twips_to_px(left), twips_to_px(top), twips_to_px(width),
                       twips_to_px(height));
    // The face is wider than the design's: narrow it where a text would not fit.
    label->setFont(fit_wrapped(font, text, twips_to_px(width), twips_to_px(height)));
    label->setText(text);
    return label;
}

void SecondaryView::add_close_button(int left, int top, int width, int height) {
    close_button_ = new QPushButton(QString::fromUtf8(kCloseCaption), page_);
    close_button_->setGeometry(twips_to_px(left), twips_to_px(top), twips_to_px(width),
                               twips_to_px(height));
    close_button_->setAutoDefault(false);
    connect(close_button_, &QPushButton::clicked, this, [this] { events_.close(form_); });
}

void SecondaryView::sync(const SecondaryWindow& state) {
    if (!state.loaded) {
        if (isVisible()) {
            hide();
        }
        return;
    }
    if (!isVisible()) {
        // Loaded afresh: at the position it has read.
        move(twips_to_px(state.left), twips_to_px(state.top));
        show();
        raises_seen_ = state.raises;
        raise();
        activateWindow();
        return;
    }
    if (state.raises != raises_seen_) {
        raises_seen_ = state.raises;
        raise();
        activateWindow();
    }
}

void SecondaryView::closeEvent(QCloseEvent* event) {
    events_.close(form_);
    event->accept();
}

// Escape closes the window as "Закрыть" does, as in any dialog.
void SecondaryView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        events_.close(form_);
        return;
    }
    QWidget::keyPressEvent(event);
}

void SecondaryView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (isVisible()) {
        events_.moved(form_, px_to_twips(x()), px_to_twips(y()));
    }
}

HelpWindow::HelpWindow(ViewEvents& events, const QIcon& icon)
    : SecondaryView(FormId::Form2, events, 6375, 7665, QString::fromUtf8(kForm1Caption), icon) {
    struct Text {
        const char* text;
        int left, top, width, height;
    };
    const Text texts[] = {{kHelpText2, 240, 720, 5895, 2175},
                          {kHelpText3, 240, 3000, 5655, 1215},
                          {kHelpText4, 240, 4320, 5775, 1455},
                          {kHelpText5, 240, 5880, 5655, 495},
                          {kHelpText6, 240, 6480, 6015, 735}};
    // The five texts share one font, narrowed as the longest needs.
    std::vector<WrappedText> boxes;
    for (const Text& t : texts) {
        boxes.push_back({QString::fromUtf8(t.text), twips_to_px(t.width), twips_to_px(t.height)});
    }
    const QFont body = fit_wrapped(window_font(), boxes);

    // In the design's tab order; the button comes between texts 5 and 6.
    add_label(QString::fromUtf8(kHelpTitle), 1080, 240, 4215, 255, design_font(9.75, true));
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        if (i == 4) {
            add_close_button(2760, 7320, 855, 255);
        }
        const Text& t = texts[i];
        add_label(QString::fromUtf8(t.text), t.left, t.top, t.width, t.height, body);
    }
}

AboutWindow::AboutWindow(ViewEvents& events, const QIcon& icon)
    : SecondaryView(FormId::Form4, events, 5490, 3600, QString::fromUtf8(" Информация о программе"),
                    icon) {
    add_label(QString::fromUtf8(kProgramTitle), 720, 120, 3855, 255, design_font(9.75, true));
    add_label(QStringLiteral("Версия " VARKELON_VERSION), 1080, 480, 3495, 255, window_font());
    add_close_button(4560, 3120, 855, 375);
}

} // namespace varkelon
