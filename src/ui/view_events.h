// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the widgets report: every user action, as an event of the core. The
// program view implements it by forwarding to the core and then bringing the
// widgets in line with the model.

#include "app/controls.h"
#include "app/program.h"

#include <optional>
#include <string>

class QWidget;

namespace varkelon {

class ViewEvents {
public:
    virtual ~ViewEvents() = default;

    virtual void key_down(int key_code, int mask) = 0;
    virtual void key_up(int key_code, int mask) = 0;
    // The control that a widget stands for, when the control takes mouse
    // presses and releases rather than clicks.
    virtual std::optional<ControlId> mouse_control(const QWidget* widget) = 0;
    virtual void mouse_down(const ControlId& id, int button, int mask) = 0;
    // The release of a mouse button whose press went to mouse_down.
    virtual void mouse_up(int button, int mask) = 0;

    virtual void click(const ControlId& id) = 0;
    virtual void dbl_click(const ControlId& id) = 0;
    virtual void scroll(const ControlId& id, int value) = 0;
    virtual void type_text(const ControlId& id, const std::string& text) = 0;

    virtual void close(FormId form) = 0;
    virtual void moved(FormId form, int left_twips, int top_twips) = 0;
    // The application lost the keyboard; what it held has been released.
    virtual void focus_lost() = 0;
};

} // namespace varkelon
