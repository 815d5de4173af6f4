// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_window_view.h"

#include "app/layout.h"
#include "ui/bitmaps.h"
#include "ui/control_widgets.h"
#include "ui/fonts.h"
#include "ui/palette_colors.h"
#include "ui/slider_style.h"
#include "ui/view_events.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace varkelon {

namespace {

QString qstr(const std::string& s) {
    return QString::fromStdString(s);
}

// Menu texts are shown as they are: "&" is no mnemonic here.
QString menu_text(const std::string& s) {
    return qstr(s).replace(u'&', QStringLiteral("&&"));
}

} // namespace

MainWindowView::MainWindowView(Form1& form, BitmapCache& bitmaps, ViewEvents& events)
    : form_(form), bitmaps_(bitmaps), events_(events) {
    // Fixed size, no minimise or maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromUtf8(kForm1Caption));
    setWindowIcon(bitmaps_.window_icon());
    // Shared by the four sliders; kept until the application ends, so that no
    // slider outlives the style it draws with.
    slider_style_ = new SliderStyle;
    slider_style_->setParent(QCoreApplication::instance());
    build();
    // The widgets take the model's state at the first sync(), which the
    // program view runs before it shows the window.
}

MainWindowView::~MainWindowView() = default;

QRect MainWindowView::geometry_px(const Control& c) const {
    QRect r(twips_to_px(c.left), twips_to_px(c.top), twips_to_px(c.width), twips_to_px(c.height));
    if (c.kind == ControlKind::PictureBox && c.picture != pictures::kNone) {
        // A picture box takes the size of its bitmap (and border).
        const QPixmap& pm = bitmaps_.picture(c.picture);
        if (!pm.isNull()) {
            const int border = c.has_border ? 2 * PictureWidget::kBorderPx : 0;
            r.setSize(pm.deviceIndependentSize().toSize() + QSize(border, border));
        }
    }
    return r;
}

void MainWindowView::build() {
    auto* central = new QWidget(this);
    central->setFixedSize(twips_to_px(kForm1ClientWidth), twips_to_px(kForm1ClientHeight));
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, to_qcolor(colors::kButtonFace, pal));
    central->setPalette(pal);
    central->setAutoFillBackground(true);
    setCentralWidget(central);

    const auto& all = form_.controls.all();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Control& c = all[i];
        if (c.kind == ControlKind::MenuTitle || c.kind == ControlKind::MenuItem ||
            c.kind == ControlKind::Timer) {
            continue;
        }
        const auto container = c.container ? containers_.find(*c.container) : containers_.end();
        QWidget* parent = container != containers_.end() ? container->second : central;
        QWidget* w = create_widget(c, parent);
        by_widget_[w] = bindings_.size();
        bindings_.push_back(Binding{i, w, nullptr, std::nullopt});
        if (c.kind == ControlKind::Frame) {
            containers_[c.id.ctl] = w;
        }
    }
    build_menus();

    // Focus order: the design's tab order, so key(0) has the focus at start.
    std::vector<std::pair<int, QWidget*>> tab;
    for (const Binding& b : bindings_) {
        const Control& c = all[b.index];
        if (c.tab_index >= 0) {
            tab.emplace_back(c.tab_index, b.widget);
        }
    }
    std::sort(tab.begin(), tab.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tab.size(); ++i) {
        setTabOrder(tab[i - 1].second, tab[i].second);
    }
    if (!tab.empty()) {
        tab.front().second->setFocus(Qt::OtherFocusReason);
    }

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* MainWindowView::create_widget(const Control& c, QWidget* parent) {
    const ControlId id = c.id;
    QWidget* w = nullptr;
    switch (c.kind) {
    case ControlKind::CommandButton:
    case ControlKind::CheckBox: {
        auto* b = new ButtonWidget(c.kind == ControlKind::CheckBox ? ButtonWidget::Role::Key
                                                                   : ButtonWidget::Role::Push,
                                   parent);
        if (c.kind == ControlKind::CheckBox) {
            b->setPalette(piano_palette()); // its system colours, bevel included
        }
        connect(b, &QAbstractButton::clicked, this, [this, id] { events_.click(id); });
        w = b;
        break;
    }
    case ControlKind::Label:
        w = new LabelWidget(parent);
        break;
    case ControlKind::Frame:
        w = new FrameWidget(parent);
        break;
    case ControlKind::PictureBox: {
        auto* p = new PictureWidget(parent);
        connect(p, &PictureWidget::double_clicked, this, [this, id] { events_.dbl_click(id); });
        w = p;
        break;
    }
    case ControlKind::TextBox: {
        auto* e = new QLineEdit(parent);
        connect(e, &QLineEdit::textEdited, this,
                [this, id](const QString& text) { events_.type_text(id, text.toStdString()); });
        w = e;
        break;
    }
    case ControlKind::HScrollBar: {
        auto* s = new QScrollBar(Qt::Horizontal, parent);
        // The change is delivered when the thumb is let go, and at once for
        // the arrows and the trough; one step each, as the design has it.
        s->setTracking(false);
        s->setSingleStep(1);
        s->setPageStep(1);
        s->setContextMenuPolicy(Qt::NoContextMenu); // Qt's own scrolling menu is no part of it
        s->setStyle(slider_style_);
        connect(s, &QScrollBar::valueChanged, this,
                [this, id](int value) { events_.scroll(id, value); });
        w = s;
        break;
    }
    default:
        w = new QWidget(parent);
        break;
    }
    w->setObjectName(QString::fromStdString(c.id.to_string()));
    w->setFocusPolicy(c.tab_index >= 0 ? Qt::StrongFocus : Qt::NoFocus);
    return w;
}

void MainWindowView::build_menus() {
    const auto& all = form_.controls.all();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Control& title = all[i];
        if (title.kind != ControlKind::MenuTitle) {
            continue;
        }
        const bool has_items = std::any_of(all.begin(), all.end(), [&](const Control& c) {
            return c.kind == ControlKind::MenuItem && c.container == title.id.ctl;
        });
        const ControlId title_id = title.id;
        if (!has_items) {
            // A command of its own in the menu bar.
            QAction* a = menuBar()->addAction(menu_text(title.caption));
            connect(a, &QAction::triggered, this, [this, title_id] { events_.click(title_id); });
            bindings_.push_back(Binding{i, nullptr, a, std::nullopt});
            continue;
        }
        QMenu* menu = menuBar()->addMenu(menu_text(title.caption));
        menus_[title.id.ctl] = menu;
        bindings_.push_back(Binding{i, nullptr, menu->menuAction(), std::nullopt});
        for (std::size_t j = 0; j < all.size(); ++j) {
            const Control& item = all[j];
            if (item.kind != ControlKind::MenuItem || item.container != title.id.ctl) {
                continue;
            }
            const ControlId item_id = item.id;
            QAction* a = item.caption == "-" ? menu->addSeparator()
                                             : menu->addAction(menu_text(item.caption));
            connect(a, &QAction::triggered, this, [this, item_id] { events_.click(item_id); });
            bindings_.push_back(Binding{j, nullptr, a, std::nullopt});
        }
    }
}

void MainWindowView::sync() {
    const auto& all = form_.controls.all();
    for (Binding& b : bindings_) {
        const Control& c = all[b.index];
        follow_user_state(b, c);
        // An event or a tick changes a few controls at most: the others are
        // neither copied nor touched.
        if (b.shown && *b.shown == c) {
            continue;
        }
        if (b.action != nullptr) {
            apply_action(b, c);
        } else {
            apply(b, c);
        }
        b.shown = c;
    }
    // Once placed, the window follows the model's position.
    if (placed_ && (placed_->first != form_.left || placed_->second != form_.top)) {
        place();
    }
}

void MainWindowView::place() {
    move(twips_to_px(form_.left), twips_to_px(form_.top));
    placed_ = std::make_pair(form_.left, form_.top);
}

void MainWindowView::apply_action(const Binding& b, const Control& c) {
    QAction* a = b.action;
    const Control* old = b.shown ? &*b.shown : nullptr;
    if (!old || old->caption != c.caption) {
        a->setText(menu_text(c.caption));
    }
    if (!old || old->visible != c.visible) {
        a->setVisible(c.visible);
    }
    if (!old || old->enabled != c.enabled) {
        a->setEnabled(c.enabled);
    }
}

// Compared with the widget itself on every sync, not with what was last
// shown: the user changes these in the widget, and the model may keep its
// value all the same (a press dropped while a message box is open).
void MainWindowView::follow_user_state(const Binding& b, const Control& c) {
    switch (c.kind) {
    case ControlKind::MenuItem: {
        // Qt toggles a checkable action on its own when it is chosen. Only a
        // ticked item shows its check mark.
        QAction* a = b.action;
        if (a->isCheckable() != c.checked || a->isChecked() != c.checked) {
            const QSignalBlocker block(a);
            a->setCheckable(c.checked);
            a->setChecked(c.checked);
        }
        break;
    }
    case ControlKind::TextBox: {
        auto* e = static_cast<QLineEdit*>(b.widget);
        if (e->text() != qstr(c.text)) {
            const QSignalBlocker block(e);
            e->setText(qstr(c.text));
        }
        break;
    }
    case ControlKind::HScrollBar: {
        auto* s = static_cast<QScrollBar*>(b.widget);
        const QSignalBlocker block(s);
        if (s->minimum() != c.min || s->maximum() != c.max) {
            s->setRange(c.min, c.max);
        }
        if (s->value() != c.value) {
            s->setValue(c.value);
        }
        break;
    }
    default:
        break;
    }
}

void MainWindowView::apply(const Binding& b, const Control& c) {
    QWidget* w = b.widget;
    const Control* old = b.shown ? &*b.shown : nullptr;
    const QPalette& pal = w->palette();
    auto changed = [old, &c](auto member) { return old == nullptr || old->*member != c.*member; };

    if (changed(&Control::left) || changed(&Control::top) || changed(&Control::width) ||
        changed(&Control::height) || changed(&Control::picture) || changed(&Control::has_border)) {
        w->setGeometry(geometry_px(c));
    }
    if (changed(&Control::enabled)) {
        w->setEnabled(c.enabled);
    }
    if (changed(&Control::tooltip)) {
        w->setToolTip(qstr(c.tooltip));
    }
    if (old == nullptr || old->font.size_pt != c.font.size_pt || old->font.bold != c.font.bold) {
        w->setFont(design_font(c.font));
    }
    const bool colours_changed = changed(&Control::back_color) || changed(&Control::fore_color) ||
                                 changed(&Control::graphical);

    switch (c.kind) {
    case ControlKind::CommandButton:
    case ControlKind::CheckBox: {
        auto* bw = static_cast<ButtonWidget*>(w);
        if (changed(&Control::caption)) {
            bw->set_caption(qstr(c.caption));
        }
        if (colours_changed) {
            // Only graphical buttons show a colour of their own.
            const QColor back =
                c.graphical ? to_qcolor(c.back_color, pal) : pal.color(QPalette::Button);
            // A key's colours are exact; a button's text must stay readable on
            // its colour under a dark theme too.
            const QColor fore = to_qcolor(c.fore_color, pal);
            bw->set_colors(back, c.kind == ControlKind::CheckBox ? fore : legible_text(fore, back));
        }
        if (changed(&Control::picture)) {
            bw->set_picture(bitmaps_.picture(c.picture));
        }
        if (changed(&Control::value)) {
            bw->set_pressed_in(c.kind == ControlKind::CheckBox && c.value == 1);
        }
        break;
    }
    case ControlKind::Label: {
        auto* lw = static_cast<LabelWidget*>(w);
        if (changed(&Control::caption)) {
            lw->set_text(qstr(c.caption));
        }
        if (colours_changed) {
            const QColor back = to_qcolor(c.back_color, pal);
            lw->set_colors(back, legible_text(to_qcolor(c.fore_color, pal), back));
        }
        break;
    }
    case ControlKind::Frame: {
        auto* fw = static_cast<FrameWidget*>(w);
        if (changed(&Control::caption)) {
            fw->set_caption(qstr(c.caption));
        }
        if (colours_changed) {
            const QColor back = to_qcolor(c.back_color, pal);
            fw->set_colors(back, legible_text(to_qcolor(c.fore_color, pal), back));
        }
        break;
    }
    case ControlKind::PictureBox: {
        auto* pw = static_cast<PictureWidget*>(w);
        if (changed(&Control::picture)) {
            pw->set_picture(bitmaps_.picture(c.picture));
        }
        if (changed(&Control::has_border)) {
            pw->set_border(c.has_border);
        }
        if (colours_changed) {
            pw->set_back(to_qcolor(c.back_color, pal));
        }
        break;
    }
    case ControlKind::TextBox: {
        auto* e = static_cast<QLineEdit*>(w);
        if (colours_changed) {
            QPalette p = e->palette();
            p.setColor(QPalette::Base, to_qcolor(c.back_color, pal));
            p.setColor(QPalette::Text, to_qcolor(c.fore_color, pal));
            e->setPalette(p);
        }
        break;
    }
    default:
        break; // a scroll bar follows the model in follow_user_state()
    }
    // Last, so a control appears with its new look at once.
    if (changed(&Control::visible)) {
        w->setVisible(c.visible);
    }
}

QWidget* MainWindowView::widget_of(const ControlId& id) const {
    const auto& all = form_.controls.all();
    for (const Binding& b : bindings_) {
        if (b.widget != nullptr && all[b.index].id == id) {
            return b.widget;
        }
    }
    return nullptr;
}

QAction* MainWindowView::action_of(const ControlId& id) const {
    const auto& all = form_.controls.all();
    for (const Binding& b : bindings_) {
        if (b.action != nullptr && all[b.index].id == id) {
            return b.action;
        }
    }
    return nullptr;
}

std::optional<ControlId> MainWindowView::control_of(const QWidget* widget) const {
    const auto it = by_widget_.find(widget);
    if (it == by_widget_.end()) {
        return std::nullopt;
    }
    return form_.controls.all()[bindings_[it->second].index].id;
}

void MainWindowView::closeEvent(QCloseEvent* event) {
    events_.close(FormId::Form1);
    event->accept();
}

void MainWindowView::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible()) {
        // Left and Top are those of the outer window, as the design measures them.
        const int left = px_to_twips(x());
        const int top = px_to_twips(y());
        placed_ = std::make_pair(left, top);
        events_.moved(FormId::Form1, left, top);
    }
}

} // namespace varkelon
