#include "app/controls.h"

#include <charconv>
#include <stdexcept>

namespace varkelon {

std::string ControlId::to_string() const {
    return index < 0 ? name : name + "(" + std::to_string(index) + ")";
}

bool ControlId::parse(std::string_view text, ControlId& out) {
    const auto open = text.find('(');
    if (open == std::string_view::npos) {
        if (text.empty() || text.find(')') != std::string_view::npos) {
            return false;
        }
        out = ControlId{std::string(text), -1};
        return true;
    }
    if (open == 0 || text.back() != ')') {
        return false;
    }
    const auto digits = text.substr(open + 1, text.size() - open - 2);
    int index = 0;
    const auto* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, index);
    if (digits.empty() || ec != std::errc{} || ptr != end || index < 0) {
        return false;
    }
    out = ControlId{std::string(text.substr(0, open)), index};
    return true;
}

ControlModel::ControlModel(std::vector<Control> controls) : controls_(std::move(controls)) {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        by_name_.emplace(controls_[i].id.to_string(), i);
    }
}

Control* ControlModel::find(const ControlId& id) {
    const auto it = by_name_.find(id.to_string());
    return it == by_name_.end() ? nullptr : &controls_[it->second];
}

const Control* ControlModel::find(const ControlId& id) const {
    const auto it = by_name_.find(id.to_string());
    return it == by_name_.end() ? nullptr : &controls_[it->second];
}

Control& ControlModel::at(const ControlId& id) {
    Control* c = find(id);
    if (c == nullptr) {
        throw std::out_of_range("no control " + id.to_string());
    }
    return *c;
}

Control& ControlModel::at(std::string_view name, int index) {
    return at(ControlId{std::string(name), index});
}

const Control& ControlModel::at(std::string_view name, int index) const {
    const Control* c = find(ControlId{std::string(name), index});
    if (c == nullptr) {
        throw std::out_of_range("no control " + std::string(name));
    }
    return *c;
}

} // namespace varkelon
