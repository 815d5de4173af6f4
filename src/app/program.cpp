// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program.h"

#include "app/layout.h"
#include "engine/style_format.h"

namespace varkelon {

std::string missing_file_message() {
    return "Отсутствует  файл  \"" + std::string(kStyleFileName) + "\"";
}

std::string not_original_message() {
    return "Файл  \"" + std::string(kStyleFileName) +
           "\"  не является орегинальным, или повреждён.";
}

StyleFileCheck check_style_file(const StyleFileSource::Result& file) {
    if (file.status == StyleFileSource::Status::Missing) {
        return StyleFileCheck::Missing;
    }
    if (file.status != StyleFileSource::Status::Ok || !style_file_is_original(file.bytes)) {
        return StyleFileCheck::NotOriginal;
    }
    return StyleFileCheck::Ok;
}

StyleFileCheck check_style_file(StyleFileSource& source) {
    return check_style_file(source.read());
}

void SecondaryWindow::show(SettingsStore& settings) {
    if (!loaded) {
        left = read_position(settings, left_key, default_left);
        top = read_position(settings, top_key, default_top);
        loaded = true;
    }
    ++raises;
}

void SecondaryWindow::unload(SettingsStore& settings) {
    if (!loaded) {
        return;
    }
    write_position(settings, left_key, left);
    write_position(settings, top_key, top);
    loaded = false;
}

Program::Program(ProgramPorts ports)
    : ports_(ports), form1_(ports.midi, ports.settings, ports.dialogs, *this),
      help_{"left2", "top2", 4200, 1900}, about_{"left4", "top4", 4650, 4000} {}

bool Program::start() {
    // One read: Load plays the very bytes that were verified.
    auto file = ports_.style_file.read();
    switch (check_style_file(file)) {
    case StyleFileCheck::Missing:
        ports_.dialogs.message_box(MessageIcon::Critical, kProgramTitle, missing_file_message());
        ended_ = true;
        return false;
    case StyleFileCheck::NotOriginal:
        ports_.dialogs.message_box(MessageIcon::Critical, kProgramTitle, not_original_message());
        ended_ = true;
        return false;
    case StyleFileCheck::Ok:
        break;
    }
    form1_.load(std::move(file.bytes));
    return true;
}

void Program::show_help() {
    help_.show(ports_.settings);
}

void Program::show_about() {
    about_.show(ports_.settings);
}

void Program::exit_program() {
    if (form1_.loaded()) {
        form1_.unload();
    }
    help_.unload(ports_.settings);
    about_.unload(ports_.settings);
    ended_ = true;
}

void Program::close(FormId form) {
    switch (form) {
    case FormId::Form1:
        if (form1_.loaded()) {
            form1_.unload();
        }
        break;
    case FormId::Form2:
        help_.unload(ports_.settings);
        break;
    case FormId::Form4:
        about_.unload(ports_.settings);
        break;
    }
    end_if_no_window_left();
}

void Program::move(FormId form, int left, int top) {
    switch (form) {
    case FormId::Form1:
        form1_.left = left;
        form1_.top = top;
        break;
    case FormId::Form2:
        help_.left = left;
        help_.top = top;
        break;
    case FormId::Form4:
        about_.left = left;
        about_.top = top;
        break;
    }
}

Program::Position Program::position(FormId form) const {
    switch (form) {
    case FormId::Form2:
        return {help_.left, help_.top};
    case FormId::Form4:
        return {about_.left, about_.top};
    case FormId::Form1:
        break;
    }
    return {form1_.left, form1_.top};
}

void Program::end_if_no_window_left() {
    if (!form1_.loaded() && !help_.loaded && !about_.loaded) {
        ended_ = true;
    }
}

} // namespace varkelon
