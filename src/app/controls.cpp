// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controls.h"

#include <charconv>

namespace varkelon {

namespace {

constexpr auto kControlCount = static_cast<std::size_t>(kCtlCount);

// The first slot of each control; its members follow in a row.
constexpr std::array<std::uint16_t, kControlCount + 1> kFirstSlot = [] {
    std::array<std::uint16_t, kControlCount + 1> first{};
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const int members = member_count(static_cast<Ctl>(i));
        first[i + 1] = static_cast<std::uint16_t>(first[i] + (members == 0 ? 1 : members));
    }
    return first;
}();

// The slot of a control or member; kFirstSlot.back() when the index does not fit.
std::size_t slot_of(ControlId id) {
    const auto c = static_cast<std::size_t>(id.ctl);
    if (c >= kControlCount) {
        return kFirstSlot.back();
    }
    const int members = member_count(id.ctl);
    if (members == 0 ? id.index != -1 : (id.index < 0 || id.index >= members)) {
        return kFirstSlot.back();
    }
    return kFirstSlot[c] + static_cast<std::size_t>(members == 0 ? 0 : id.index);
}

} // namespace

std::string ControlId::to_string() const {
    const std::string name(control_name(ctl));
    return index < 0 ? name : name + "(" + std::to_string(index) + ")";
}

bool ControlId::parse(std::string_view text, std::optional<ControlId>& out) {
    out.reset();
    const auto open = text.find('(');
    std::string_view name = text;
    int index = -1;
    if (open == std::string_view::npos) {
        if (text.empty() || text.find(')') != std::string_view::npos) {
            return false;
        }
    } else {
        if (open == 0 || text.back() != ')') {
            return false;
        }
        const auto digits = text.substr(open + 1, text.size() - open - 2);
        const auto* end = digits.data() + digits.size();
        const auto [ptr, ec] = std::from_chars(digits.data(), end, index);
        if (digits.empty() || ec != std::errc{} || ptr != end || index < 0) {
            return false;
        }
        name = text.substr(0, open);
    }
    if (const auto c = control_named(name)) {
        out = ControlId{*c, index};
    }
    return true;
}

ControlModel::ControlModel(std::vector<Control> controls)
    : controls_(std::move(controls)), position_(kFirstSlot.back(), 0) {
    std::vector<bool> filled(kFirstSlot.back(), false);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const std::size_t slot = slot_of(controls_[i].id);
        if (slot == kFirstSlot.back() || filled[slot]) {
            throw std::logic_error("control out of the table or twice: " +
                                   controls_[i].id.to_string());
        }
        filled[slot] = true;
        position_[slot] = static_cast<std::uint16_t>(i);
    }
    for (const bool f : filled) {
        if (!f) {
            throw std::logic_error("a control of the table is missing");
        }
    }
}

Control* ControlModel::find(ControlId id) {
    const std::size_t slot = slot_of(id);
    return slot < position_.size() ? &controls_[position_[slot]] : nullptr;
}

const Control* ControlModel::find(ControlId id) const {
    const std::size_t slot = slot_of(id);
    return slot < position_.size() ? &controls_[position_[slot]] : nullptr;
}

Control& ControlModel::at(ControlId id) {
    Control* c = find(id);
    if (c == nullptr) {
        throw std::out_of_range("no control " + id.to_string());
    }
    return *c;
}

const Control& ControlModel::at(ControlId id) const {
    const Control* c = find(id);
    if (c == nullptr) {
        throw std::out_of_range("no control " + id.to_string());
    }
    return *c;
}

} // namespace varkelon
