// SPDX-License-Identifier: GPL-3.0-or-later
#include "script.h"

#include "adapters/disk_style_file.h"
#include "app/layout.h"
#include "ini_settings.h"
#include "midi/midi_facts.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <utility>

namespace varkelon::sim {

namespace {

bool parse_int(const Token& t, int& out) {
    if (t.quoted || t.text.empty()) {
        return false;
    }
    const char* end = t.text.data() + t.text.size();
    const auto [ptr, ec] = std::from_chars(t.text.data(), end, out);
    return ec == std::errc{} && ptr == end;
}

// A MIDI byte, in decimal or 0x hex.
bool parse_byte(const Token& t, int& out) {
    if (t.quoted || t.text.empty()) {
        return false;
    }
    const bool hex =
        t.text.size() > 2 && t.text[0] == '0' && (t.text[1] == 'x' || t.text[1] == 'X');
    const char* begin = t.text.data() + (hex ? 2 : 0);
    const char* end = t.text.data() + t.text.size();
    const auto [ptr, ec] = std::from_chars(begin, end, out, hex ? 16 : 10);
    return ec == std::errc{} && ptr == end && out >= 0 && out <= 255;
}

// False on malformed text; `out` is empty for a name that no control has,
// and an event on such a control does nothing.
bool parse_control(const Token& t, std::optional<ControlId>& out) {
    return !t.quoted && ControlId::parse(t.text, out);
}

bool parse_form(const Token& t, FormId& out) {
    if (t.text == "Form1") {
        out = FormId::Form1;
    } else if (t.text == "Form2") {
        out = FormId::Form2;
    } else if (t.text == "Form4") {
        out = FormId::Form4;
    } else {
        return false;
    }
    return !t.quoted;
}

bool parse_timer(const Token& t, TimerId& out) {
    if (t.text == "Timer1") {
        out = TimerId::Timer1;
    } else if (t.text == "Timer2") {
        out = TimerId::Timer2;
    } else if (t.text == "ChordTimer") {
        out = TimerId::ChordTimer;
    } else {
        return false;
    }
    return !t.quoted;
}

const char* icon_name(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return "critical";
    case MessageIcon::Exclamation:
        return "exclamation";
    case MessageIcon::None:
        break;
    }
    return "none";
}

std::string hex8(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

const char* boolean(bool b) {
    return b ? "True" : "False";
}

// The mask and button arguments of the mouse commands, both optional.
bool mouse_args(const std::vector<Token>& t, int& button, int& mask) {
    button = kLeftButton;
    mask = 0;
    return t.size() <= 4 && (t.size() < 3 || parse_int(t[2], button)) &&
           (t.size() < 4 || parse_int(t[3], mask));
}

} // namespace

bool tokenize(const std::string& line, std::vector<Token>& out, std::string& error) {
    out.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    t.text += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    t.text += line[i++];
                }
            }
            if (!closed) {
                error = "unterminated string";
                return false;
            }
            out.push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '#') {
                t.text += line[i++];
            }
            out.push_back(std::move(t));
        }
    }
    return true;
}

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

Simulator::Simulator(Options options, std::ostream& out, const std::filesystem::path& exe_dir)
    : options_(std::move(options)), out_(out) {
    midi_.names = options_.devices;
    midi_.open_rc = options_.open_fail;
    midi_.on_event = [this](const RecordingMidiSystem::Event& e) {
        using Kind = RecordingMidiSystem::Event::Kind;
        switch (e.kind) {
        case Kind::Send:
            out_ << "midi " << hex8(e.message) << '\n';
            sent_.emplace_back(now_ms_, e.message);
            break;
        case Kind::Open:
            out_ << "port open " << e.id << ' ' << e.rc << '\n';
            break;
        case Kind::Close:
            out_ << "port close\n";
            break;
        }
    };
    dialogs_.on_shown = [this](const ScriptedDialogs::Shown& m) {
        out_ << "msgbox " << icon_name(m.icon) << ' ' << quote(m.title) << ' ' << quote(m.text)
             << '\n';
    };
    if (options_.settings) {
        settings_ = std::make_unique<IniSettingsStore>(*options_.settings);
    } else {
        settings_ = std::make_unique<MemorySettingsStore>();
    }
    style_file_ = std::make_unique<DiskStyleFile>(options_.data ? *options_.data
                                                                : locate_style_file(exe_dir));
    program_ = std::make_unique<Program>(ProgramPorts{midi_, *settings_, *style_file_, dialogs_});
}

Simulator::~Simulator() = default;

int Simulator::run(std::istream& in, std::ostream& err) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::vector<Token> tokens;
        std::string error;
        if (!tokenize(line, tokens, error) || (!tokens.empty() && !execute(tokens, error))) {
            err << "varkelon-sim: line " << number << ": " << error << ": " << line << '\n';
            out_.flush();
            return 2;
        }
    }
    std::string error;
    if (!write_smf(error)) {
        err << "varkelon-sim: " << error << '\n';
        return 1;
    }
    return 0;
}

bool Simulator::execute(const std::vector<Token>& t, std::string& error) {
    const std::string& cmd = t[0].text;
    error = "malformed " + cmd;
    if (t[0].quoted) {
        error = "a command must not be quoted";
        return false;
    }
    if (cmd == "get") {
        return get(t, error);
    }
    Form1& form = program_->form1();
    // After the end, commands other than `get setting` have nothing to act on.
    const bool live = !program_->ended();
    std::optional<ControlId> id;
    int a = 0;
    int b = 0;
    if (cmd == "start") {
        if (t.size() != 1) {
            return false;
        }
        if (live && !form.loaded()) {
            program_->start();
        }
    } else if (cmd == "keydown" || cmd == "keyup") {
        b = 0;
        if (t.size() < 2 || t.size() > 3 || !parse_int(t[1], a) ||
            (t.size() == 3 && !parse_int(t[2], b))) {
            return false;
        }
        if (live) {
            cmd == "keydown" ? form.key_down(a, b) : form.key_up(a, b);
        }
    } else if (cmd == "midiin") {
        int status = 0;
        int mask = 0;
        if (t.size() < 4 || t.size() > 5 || !parse_byte(t[1], status) || !parse_byte(t[2], a) ||
            !parse_byte(t[3], b) || (t.size() == 5 && !parse_int(t[4], mask))) {
            return false;
        }
        if (live) {
            form.midi_in(status, a, b, mask);
        }
    } else if (cmd == "midigone" || cmd == "focusout") {
        // The MIDI keyboard is unplugged; the window loses the keyboard focus.
        if (t.size() != 1) {
            return false;
        }
        if (live) {
            cmd == "midigone" ? form.midi_keyboard_gone() : form.focus_lost();
        }
    } else if (cmd == "mousedown" || cmd == "mouseup") {
        if (t.size() < 2 || !parse_control(t[1], id) || !mouse_args(t, a, b)) {
            return false;
        }
        // The release goes where the button's press went, whichever control
        // the script names.
        if (live && cmd == "mouseup") {
            form.mouse_up(a, b);
        } else if (live && id) {
            form.mouse_down(*id, a, b);
        }
    } else if (cmd == "click" || cmd == "dblclick") {
        if (t.size() != 2 || !parse_control(t[1], id)) {
            return false;
        }
        if (live && id && cmd == "dblclick") {
            form.dbl_click(*id);
        } else if (live && id && form.reacts_to_mouse(*id)) {
            form.mouse_down(*id, kLeftButton, 0);
            form.mouse_up(kLeftButton, 0);
        } else if (live && id) {
            form.click(*id);
        }
    } else if (cmd == "scroll") {
        if (t.size() != 3 || !parse_control(t[1], id) || !parse_int(t[2], a)) {
            return false;
        }
        if (live && id) {
            form.scroll(*id, a);
        }
    } else if (cmd == "type") {
        if (t.size() != 3 || !parse_control(t[1], id) || !t[2].quoted) {
            return false;
        }
        if (live && id) {
            form.type_text(*id, t[2].text);
        }
    } else if (cmd == "close" || cmd == "move") {
        FormId f{};
        if (t.size() < 2 || !parse_form(t[1], f)) {
            return false;
        }
        if (cmd == "close") {
            if (t.size() != 2) {
                return false;
            }
            if (live) {
                program_->close(f);
            }
        } else {
            if (t.size() != 4 || !parse_int(t[2], a) || !parse_int(t[3], b)) {
                return false;
            }
            if (live) {
                program_->move(f, a, b);
            }
        }
    } else if (cmd == "tick") {
        TimerId which{};
        a = 1;
        if (t.size() < 2 || t.size() > 3 || !parse_timer(t[1], which) ||
            (t.size() == 3 && (!parse_int(t[2], a) || a < 0))) {
            return false;
        }
        for (int i = 0; i < a && !program_->ended(); ++i) {
            deliver_tick(which);
        }
    } else if (cmd == "wait") {
        if (t.size() != 2 || !parse_int(t[1], a) || a < 0) {
            return false;
        }
        const std::int64_t target = now_ms_ + a;
        sync_timers();
        // The earliest tick due first; at the same moment Timer1 before
        // Timer2 before ChordTimer.
        const std::array<std::pair<TimerGrid*, TimerId>, 3> grids = {{
            {&grid1_, TimerId::Timer1},
            {&grid2_, TimerId::Timer2},
            {&chord_grid_, TimerId::ChordTimer},
        }};
        while (!program_->ended()) {
            const std::pair<TimerGrid*, TimerId>* next = nullptr;
            std::int64_t next_due = 0;
            for (const auto& g : grids) {
                const auto due = g.first->next_due();
                if (due && *due <= target && (next == nullptr || *due < next_due)) {
                    next = &g;
                    next_due = *due;
                }
            }
            if (next == nullptr) {
                break;
            }
            now_ms_ = next_due;
            next->first->fire(now_ms_);
            deliver_tick(next->second);
        }
        now_ms_ = target;
    } else {
        error = "unknown command " + cmd;
        return false;
    }
    sync_timers();
    note_end();
    return true;
}

void Simulator::deliver_tick(TimerId which) {
    program_->form1().timer_tick(which);
    sync_timers();
    note_end();
}

void Simulator::sync_timers() {
    Form1& form = program_->form1();
    const bool running = form.loaded();
    ModelTimer off;
    grid1_.sync(running ? form.timer1 : off, now_ms_);
    grid2_.sync(running ? form.timer2 : off, now_ms_);
    chord_grid_.sync(running ? form.chord_timer : off, now_ms_);
}

void Simulator::note_end() {
    if (program_->ended() && !ended_printed_) {
        ended_printed_ = true;
        out_ << "end\n";
    }
}

bool Simulator::get(const std::vector<Token>& t, std::string& error) {
    if (t.size() == 3 && t[1].text == "setting" && !t[1].quoted) {
        const auto v = settings_->get(t[2].text);
        out_ << "setting " << t[2].text << " = " << (v ? quote(*v) : "<missing>") << '\n';
        return true;
    }
    if (t.size() != 2 || t[1].quoted) {
        return false;
    }
    const std::string& target = t[1].text;
    if (target == "layout") { // the table's, so known before the start and after the end
        print_layout();
        return true;
    }
    if (program_->ended()) {
        return true;
    }
    if (target.find('.') != std::string::npos) {
        return get_property(target, error);
    }
    const auto v = program_->form1().r.get(target);
    if (!v) {
        error = "no variable " + target;
        return false;
    }
    out_ << target << " = " << *v << '\n';
    return true;
}

bool Simulator::get_property(const std::string& target, std::string& error) {
    const auto dot = target.rfind('.');
    const std::string object = target.substr(0, dot);
    const std::string prop = target.substr(dot + 1);
    Form1& form = program_->form1();
    std::string value;

    std::optional<ControlId> id;
    if (!ControlId::parse(object, id)) {
        error = "malformed control " + object;
        return false;
    }
    if (object == "Form1" || object == "Form2" || object == "Form4") {
        FormId which{};
        parse_form(Token{object, false}, which);
        const auto [left, top] = program_->position(which);
        const bool visible = which == FormId::Form1   ? form.loaded()
                             : which == FormId::Form2 ? program_->help().loaded
                                                      : program_->about().loaded;
        if (prop == "Left") {
            value = std::to_string(left);
        } else if (prop == "Top") {
            value = std::to_string(top);
        } else if (prop == "Visible") {
            value = boolean(visible);
        } else {
            error = "no property " + prop + " of " + object;
            return false;
        }
    } else if (object == "Timer1" || object == "Timer2") {
        const ModelTimer& timer = object == "Timer1" ? form.timer1 : form.timer2;
        if (prop == "Interval") {
            value = std::to_string(timer.interval_ms);
        } else if (prop == "Enabled") {
            value = boolean(timer.enabled);
        } else {
            error = "no property " + prop + " of " + object;
            return false;
        }
    } else {
        const Control* c = id ? form.controls.find(*id) : nullptr;
        if (c == nullptr) {
            error = "no control " + object;
            return false;
        }
        if (prop == "Caption") {
            value = quote(c->caption);
        } else if (prop == "ToolTipText") {
            value = quote(c->tooltip);
        } else if (prop == "Text") {
            value = quote(c->text);
        } else if (prop == "BackColor") {
            value = c->back_color.to_string();
        } else if (prop == "ForeColor") {
            value = c->fore_color.to_string();
        } else if (prop == "Visible") {
            value = boolean(c->visible);
        } else if (prop == "Enabled") {
            value = boolean(c->enabled);
        } else if (prop == "Checked") {
            value = boolean(c->checked);
        } else if (prop == "Value") {
            value = std::to_string(c->value);
        } else if (prop == "Picture") {
            value = std::to_string(c->picture);
        } else if (prop == "Left") {
            value = std::to_string(c->left);
        } else if (prop == "Top") {
            value = std::to_string(c->top);
        } else if (prop == "Width") {
            value = std::to_string(c->width);
        } else if (prop == "Height") {
            value = std::to_string(c->height);
        } else {
            error = "no property " + prop + " of " + object;
            return false;
        }
    }
    out_ << target << " = " << value << '\n';
    return true;
}

namespace {

const char* kind_name(ControlKind kind) {
    switch (kind) {
    case ControlKind::CommandButton:
        return "CommandButton";
    case ControlKind::CheckBox:
        return "CheckBox";
    case ControlKind::Label:
        return "Label";
    case ControlKind::Frame:
        return "Frame";
    case ControlKind::PictureBox:
        return "PictureBox";
    case ControlKind::TextBox:
        return "TextBox";
    case ControlKind::HScrollBar:
        return "HScrollBar";
    case ControlKind::Timer:
        return "Timer";
    case ControlKind::MenuTitle:
        return "MenuTitle";
    case ControlKind::MenuItem:
        return "MenuItem";
    }
    return "?";
}

} // namespace

// The controls on the main window's face in stacking order, so that a test
// driving the real window aims at them without a copy of the layout table.
void Simulator::print_layout() {
    out_ << "Form1.Layout = Form - 0 0 " << kForm1ClientWidth << ' ' << kForm1ClientHeight << '\n';
    for (const Control& c : program_->form1().controls.all()) {
        if (c.kind == ControlKind::MenuTitle || c.kind == ControlKind::MenuItem ||
            c.kind == ControlKind::Timer) {
            continue;
        }
        out_ << c.id.to_string() << ".Layout = " << kind_name(c.kind) << ' '
             << (c.container ? std::string(control_name(*c.container)) : std::string("Form1"))
             << ' ' << c.left << ' ' << c.top << ' ' << c.width << ' ' << c.height << '\n';
    }
}

// A format-0 Standard MIDI File with one tick per millisecond of the virtual clock.
bool Simulator::write_smf(std::string& error) const {
    if (!options_.smf) {
        return true;
    }
    std::vector<std::uint8_t> track;
    auto put_var = [&track](std::uint32_t v) {
        std::uint8_t bytes[5];
        int n = 0;
        bytes[n++] = static_cast<std::uint8_t>(v & 0x7F);
        while ((v >>= 7) != 0) {
            bytes[n++] = static_cast<std::uint8_t>(0x80 | (v & 0x7F));
        }
        while (n > 0) {
            track.push_back(bytes[--n]);
        }
    };
    // Tempo 1,000,000 us per quarter note with 1000 ticks per quarter: 1 tick = 1 ms.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40});
    std::int64_t last = 0;
    for (const auto& [when, msg] : sent_) {
        put_var(static_cast<std::uint32_t>(when - last));
        last = when;
        const ShortMessage m = unpack_short_message(msg);
        track.push_back(m.status);
        track.push_back(data_value(m.data1));
        if (data_byte_count(m.status) == 2) {
            track.push_back(data_value(m.data2));
        }
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::ofstream out(*options_.smf, std::ios::binary | std::ios::trunc);
    const auto size = static_cast<std::uint32_t>(track.size());
    const std::uint8_t header[] = {'M',
                                   'T',
                                   'h',
                                   'd',
                                   0,
                                   0,
                                   0,
                                   6,
                                   0,
                                   0,
                                   0,
                                   1,
                                   0x03,
                                   0xE8,
                                   'M',
                                   'T',
                                   'r',
                                   'k',
                                   static_cast<std::uint8_t>(size >> 24),
                                   static_cast<std::uint8_t>(size >> 16),
                                   static_cast<std::uint8_t>(size >> 8),
                                   static_cast<std::uint8_t>(size)};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(track.data()), static_cast<std::streamsize>(size));
    if (!out) {
        error = "cannot write " + options_.smf->string();
        return false;
    }
    return true;
}

} // namespace varkelon::sim
