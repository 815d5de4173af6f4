// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ports.h"

namespace varkelon {

// Modal message boxes with a single OK button.
class QtDialogs final : public Dialogs {
public:
    void message_box(MessageIcon icon, const std::string& title, const std::string& text) override;
};

} // namespace varkelon
