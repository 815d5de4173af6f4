#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The real window sends exactly what the core sends.

A seeded sequence of real input actions is played into the program under Xvfb
with xdotool: presses and releases of every mouse button on the keys, the drum
pads, the style and instrument arrows, "В начало", "ОК" and "Назад" (hidden
and disabled ones included, pressed at their places on the screen), clicks on
the tempo arrows and the sliders' arrows, double clicks on the instrument
number, text typed into the number box, computer keys with and without
modifiers, the menu items, and "Выход" at the end. The same actions go to varkelon-sim as a
script, and the window's MIDI log (VARKELON_MIDI_LOG) must equal the
simulator's messages line by line.

The rhythm and the demonstration stay stopped: "Старт", "Демо",
"Синхростарт" and "Аккомпанемент" (which arms the start) are never pressed,
and an action after which the simulator's Timer1 runs is not played. An
action that would open a message box (an entry "ОК" refuses) is not played
either: its modal loop is no part of what is compared here.

Left out, because the window's own widgets would act on them and the core
never hears of it: Space, Return, Tab and the arrow keys (they press, move
the focus or move a slider), the middle and right buttons on the number box
(paste, context menu), the sliders' trough and thumb (where they land depends
on the thumb's place) and the wheel. Ctrl with Alt is left out too: the X
server keeps Ctrl+Alt+F1..F12 for itself.

The simulator answers, after every action, what the screen shows (which
controls are visible and enabled, the sliders' values, the box's text), so
that each press goes where the window's pointer lands: to the control on top
at that point. A press at a hidden control's place with no control beneath
that takes mouse presses goes to the hidden control in the script; the core
must refuse it, as the window gives it nothing.

    window_vs_sim.py --bin BUILD/bin [--seed N] [--actions N] [--keep DIR]
"""

import argparse
import difflib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TWIPS_PER_PX = 15
VERBOSE = os.environ.get("WINDOW_VS_SIM_VERBOSE") == "1"
T0 = time.monotonic()


def px(twips):
    return twips // TWIPS_PER_PX


# ---------------------------------------------------------------- the layout
# The main window's controls in stacking order, as varkelon-sim reports them
# from the layout table (twips, relative to their container). Kinds: frame,
# label, picture, button (a push button), key, slider, text.

KINDS = {"Frame": "frame", "Label": "label", "PictureBox": "picture",
         "CommandButton": "button", "CheckBox": "key", "HScrollBar": "slider",
         "TextBox": "text"}

# Controls with mouse press and release handlers of their own.
MOUSE_CONTROLS = re.compile(r"^(key|Command17|Command1|Command4|Command10|Command9|Command27)\b")
# Never pressed: they start the rhythm or the demonstration, or arm the start.
EXCLUDED = {"Command15", "Command7", "Command3", "Command2"}
# Whose visibility or enabled state the program changes.
DYNAMIC = ["Command1(0)", "Command1(1)", "Command4(0)", "Command4(1)", "Command5(0)",
           "Command5(1)", "Command9", "Command10", "Command27", "Text1", "Picture3(0)",
           "Picture3(1)", "Picture3(2)"]
SLIDERS = ["HScroll1", "HScroll2", "HScroll3", "HScroll4"]


class Control:
    def __init__(self, name, kind, container, rect, frames):
        self.name, self.kind, self.container = name, kind, container
        left, top, width, height = rect
        x0 = y0 = 0
        if container != "Form1":
            x0, y0 = px(frames[container][0]), px(frames[container][1])
        self.x, self.y = x0 + px(left), y0 + px(top)
        self.w, self.h = px(width), px(height)
        if kind == "picture" and name.startswith("Picture") and self.w == 17:
            self.w, self.h = 16, 19  # a digit's bitmap and its border
        self.focusable = kind in ("button", "key", "slider", "text")

    def contains(self, x, y, margin=0):
        return (self.x - margin <= x < self.x + self.w + margin
                and self.y - margin <= y < self.y + self.h + margin)


LAYOUT, BY_NAME = [], {}
CLIENT_W = CLIENT_H = 0


def load_layout(sim_exe):
    """Asks varkelon-sim for the window's client size and its controls."""
    global CLIENT_W, CLIENT_H
    out = subprocess.run([sim_exe], input="get layout\n", capture_output=True, text=True,
                         check=True, timeout=30).stdout
    rows, frames = [], {}
    for line in out.splitlines():
        if ".Layout = " not in line:
            continue
        name, value = line.split(".Layout = ")
        kind, container, *rect = value.split()
        rect = tuple(int(v) for v in rect)
        if kind == "Form":
            CLIENT_W, CLIENT_H = px(rect[2]), px(rect[3])
            continue
        if kind == "Frame":
            frames[name] = rect
        rows.append((name, KINDS[kind], container, rect))
    if not rows or not CLIENT_W:
        raise RuntimeError(f"varkelon-sim gave no layout: {out!r}")
    LAYOUT[:] = [Control(*row, frames) for row in rows]
    BY_NAME.clear()
    BY_NAME.update((c.name, c) for c in LAYOUT)


def hit(state, x, y):
    """The control on top at (x, y) of the client area, as Qt picks it."""
    def top_of(container):
        for c in reversed(LAYOUT):
            if c.container == container and state.visible(c.name) and c.contains(x, y):
                if c.kind == "frame":
                    return top_of(c.name) or c
                return c
        return None
    return top_of("Form1")


def unambiguous(x, y):
    """No edge of any control within two pixels of the point."""
    return all(c.contains(x, y, -2) or not c.contains(x, y, 2) for c in LAYOUT)


# --------------------------------------------------------------- the simulator

class State:
    def __init__(self, answers):
        self.a = answers

    def visible(self, name):
        return self.a.get(f"{name}.Visible", "True") == "True"

    def enabled(self, name):
        return self.a.get(f"{name}.Enabled", "True") == "True"

    def value(self, slider):
        return int(self.a[f"{slider}.Value"])

    def text(self):
        quoted = self.a["Text1.Text"][1:-1]
        return re.sub(r"\\(.)", r"\1", quoted)


QUERIES = ([f"get {n}.Visible" for n in DYNAMIC] + [f"get {n}.Enabled" for n in DYNAMIC]
           + [f"get {s}.Value" for s in SLIDERS]
           + ["get Text1.Text", "get Timer1.Enabled", "get Timer2.Enabled",
              "get Form2.Visible", "get Form4.Visible"])


class Sim:
    """varkelon-sim kept running and fed one action at a time.

    It prints through a buffer that goes out only when full, so every action
    ends with a marker and enough padding to push the marker out; the padding
    that follows it is skipped. An action that must not be played is undone by
    starting afresh from the accepted script.
    """

    PADDING = "get setting ~"
    PAD_LINES = 400  # more than the 8 KiB buffer holds

    def __init__(self, exe):
        self.exe = exe
        self.script = ["start", "wait 600"]
        self.messages = []
        self.proc = None
        self.marks = 0
        self.restart()

    def restart(self):
        if self.proc is not None:
            self.proc.kill()
            self.proc.wait()
        self.proc = subprocess.Popen([self.exe], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True)
        self.messages = []
        messages, self.state, _ = self.send(self.script)
        self.messages = messages

    def send(self, lines):
        self.marks += 1
        mark = f"setting mark{self.marks} = <missing>"
        script = lines + QUERIES + [f"get setting mark{self.marks}"]
        self.proc.stdin.write("\n".join(script + [self.PADDING] * self.PAD_LINES) + "\n")
        self.proc.stdin.flush()
        messages, answers, other = [], {}, []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError(f"varkelon-sim ended early (status {self.proc.wait()})")
            line = line.rstrip("\n")
            if line == mark:
                break
            if line.startswith("setting ~ "):
                continue
            if line.startswith("midi 0x"):
                messages.append(line[7:])
            elif " = " in line:
                k, v = line.split(" = ", 1)
                answers[k] = v
            elif not line.startswith("port "):
                other.append(line)
        return messages, State(answers), other

    def try_action(self, lines, final=False):
        """Runs LINES; their messages and the new state, or None (undone) when the
        action must not be played."""
        messages, state, other = self.send(lines)
        bad = other and not final
        if not final and (state.a.get("Timer1.Enabled") != "False"
                          or state.a.get("Form2.Visible") != "False"
                          or state.a.get("Form4.Visible") != "False"):
            bad = True
        if bad:
            self.restart()
            return None
        if not final and state.a.get("Timer2.Enabled") == "True":
            # The silence timer: the window fires it half a second later; so does this.
            more, state, _ = self.send(["wait 600"])
            messages += more
            lines = lines + ["wait 600"]
        self.script += lines
        self.messages += messages
        self.state = state
        return lines

    def close(self):
        if self.proc is not None:
            self.proc.stdin.close()
            self.proc.wait()
            self.proc = None


# ---------------------------------------------------------------- the window

class Window:
    def __init__(self, binary, work):
        self.work = work
        self.procs = []
        disp_r, disp_w = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(disp_w), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", "-ardelay", "60000", "-arinterval", "1000"],
            pass_fds=(disp_w,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(work, "xvfb.log"), "w"))
        self.procs.append(xvfb)
        os.close(disp_w)
        with os.fdopen(disp_r) as f:
            display = f.readline().strip()
        if not display:
            raise RuntimeError("Xvfb did not start")
        env = dict(os.environ)
        # No sound server of the machine's (nor a JACK server another test
        # or a benchmark may be starting or stopping) reaches the program.
        env.update(DISPLAY=f":{display}", HOME=work, XDG_CONFIG_HOME=f"{work}/.config",
                   XDG_RUNTIME_DIR=work, PIPEWIRE_RUNTIME_DIR=work,
                   JACK_DEFAULT_SERVER=f"window-vs-sim-{os.getpid()}",
                   VARKELON_MIDI_LOG=f"{work}/midi.log")
        env.pop("QT_QPA_PLATFORM", None)
        self.env = env
        with open(f"{work}/.asoundrc", "w") as f:
            f.write("pcm.!default { type null }\n")
        self.log = env["VARKELON_MIDI_LOG"]
        open(self.log, "w").close()
        self.xdo("setxkbmap", "us", tool=True)
        self.program = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL,
                                        stderr=open(f"{work}/stderr", "w"))
        self.procs.append(self.program)
        try:
            self.wid = self.xdo("search", "--sync", "--onlyvisible", "--pid",
                                str(self.program.pid), "--name", "Варкелон",
                                timeout=60).split()[0]
        except subprocess.TimeoutExpired:
            with open(f"{work}/stderr") as f:
                raise RuntimeError("the window did not show within 60 s; the program said:\n"
                                   + f.read()) from None
        self.focus()
        self.xdo(*PARK)
        geometry = self.xdo("getwindowgeometry", "--shell", self.wid)
        g = dict(line.split("=") for line in geometry.split())
        self.x, self.y = int(g["X"]), int(g["Y"])
        self.menu_bar = int(g["HEIGHT"]) - CLIENT_H
        self.last_press = (None, -100, -100, 0.0)

    def xdo(self, *args, tool=False, timeout=20):
        cmd = list(args) if tool else ["xdotool", *args]
        out = subprocess.run(cmd, env=self.env, capture_output=True, text=True,
                             timeout=timeout, check=True)
        return out.stdout

    def focus(self):
        self.xdo("windowfocus", "--sync", self.wid)

    def lines(self):
        with open(self.log) as f:
            return [line.strip() for line in f if line.endswith("\n")]

    def screen(self, x, y):
        return self.x + x, self.y + self.menu_bar + y

    def wait_lines(self, count, limit):
        end = time.monotonic() + limit
        while True:
            n = len(self.lines())
            if n >= count or time.monotonic() > end:
                return n
            time.sleep(0.005)

    def press_at(self, button, x, y, *actions):
        """Moves the pointer to (x, y) of the client area and does `actions` there.

        Two presses of one button at one place within the double-click time
        make a double click in the window: such presses are kept apart."""
        b, lx, ly, at = self.last_press
        if b == button and abs(lx - x) <= 8 and abs(ly - y) <= 8:
            gap = time.monotonic() - at
            if gap < 0.6:
                time.sleep(0.6 - gap)
        sx, sy = self.screen(x, y)
        self.xdo("mousemove", "--sync", str(sx), str(sy), *actions)
        self.last_press = (button, x, y, time.monotonic())

    def menu_titles(self):
        """The middle of each title of the menu bar, left to right (x in the window)."""
        shot = subprocess.run(
            f"import -window {self.wid} miff:- | convert miff:- -crop "
            f"{CLIENT_W}x{self.menu_bar}+0+0 +repage -colorspace gray -threshold 50% txt:-",
            shell=True, env=self.env, capture_output=True, text=True, check=True).stdout
        dark = set()
        for line in shot.splitlines():
            m = re.match(r"^(\d+),\d+:.*(#000000|gray\(0\))", line)
            if m:
                dark.add(int(m.group(1)))
        titles, start, last = [], None, None
        for x in sorted(dark):
            if last is not None and x - last > 10:
                titles.append((start + last) // 2)
                start = None
            start = x if start is None else start
            last = x
        if last is not None:
            titles.append((start + last) // 2)
        return titles

    def popup(self, known):
        """The one top-level window of the program that is not in KNOWN."""
        end = time.monotonic() + 20
        while time.monotonic() < end:
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                  str(self.program.pid), ""], env=self.env,
                                 capture_output=True, text=True, check=False).stdout.split()
            new = [w for w in out if w not in known]
            if new:
                g = dict(line.split("=") for line in
                         self.xdo("getwindowgeometry", "--shell", new[0]).split())
                return new[0], int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])
            time.sleep(0.02)
        raise RuntimeError("no new window appeared")

    def visible_windows(self):
        return subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                               str(self.program.pid), ""], env=self.env, capture_output=True,
                              text=True, check=False).stdout.split()

    def stop(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()


# ---------------------------------------------------------------- the actions
# Where the pointer rests between actions: off every window of the program, so
# that no tooltip opens (and none lies over the next click).
PARK = ("mousemove", "1020", "764")

# X buttons 1, 2, 3 are the left, middle and right buttons: our 1, 4 and 2.
X_TO_CORE = {1: 1, 2: 4, 3: 2}

# X keycode: Windows virtual-key code, as the window translates them.
NOTE_KEYS = {52: ord("Z"), 39: ord("S"), 53: ord("X"), 40: ord("D"), 54: ord("C"),
             55: ord("V"), 42: ord("G"), 56: ord("B"), 43: ord("H"), 57: ord("N"),
             44: ord("J"), 58: ord("M"), 59: 188, 46: ord("L"), 60: 190, 47: 186, 61: 191,
             24: ord("Q"), 11: ord("2"), 25: ord("W"), 12: ord("3"), 26: ord("E"),
             13: ord("4"), 27: ord("R"), 28: ord("T"), 15: ord("6"), 29: ord("Y"),
             16: ord("7"), 30: ord("U"), 31: ord("I"), 18: ord("9"), 32: ord("O"),
             19: ord("0"), 33: ord("P"), 20: 189, 34: 219, 35: 221}
PAD_KEYS = {67 + i: 112 + i for i in range(8)}  # F1 .. F8
OTHER_KEYS = {38: ord("A"), 41: ord("F"), 45: ord("K"), 10: ord("1"), 14: ord("5"),
              17: ord("8"), 48: 222}
DIGIT_KEYS = {10 + i: ord("1") + i for i in range(9)} | {19: ord("0")}
BACKSPACE = (22, 8)
MODIFIERS = {"shift": (50, 16, 1), "ctrl": (37, 17, 2), "alt": (64, 18, 4)}


class Player:
    def __init__(self, rng, sim, window):
        self.rng, self.sim, self.win = rng, sim, window
        self.focus_text = False  # the number box has the keyboard focus
        self.deficit = 0  # messages the window is short of, so far
        self.played = []  # (action text, messages sent before it, its script lines)
        titles = window.menu_titles()
        if len(titles) != 5:
            raise RuntimeError(f"the menu bar shows {len(titles)} titles, not 5")
        self.titles = titles

    # -- points
    def point_in(self, c, inset=3):
        for _ in range(100):
            x = self.rng.randint(c.x + inset, c.x + c.w - 1 - inset)
            y = self.rng.randint(c.y + inset, c.y + c.h - 1 - inset)
            if unambiguous(x, y):
                return x, y
        return None

    def elsewhere(self, avoid):
        while True:
            x, y = self.rng.randrange(4, CLIENT_W - 4), self.rng.randrange(4, CLIENT_H - 4)
            if not avoid.contains(x, y, 3):
                return x, y

    # -- playing one action into both
    def play(self, text, sim_lines, window_steps, after=None, final=False):
        """Offers the action to the simulator; plays it into the window if accepted."""
        before = len(self.sim.messages)
        lines = self.sim.try_action(sim_lines, final)
        if lines is None:
            return False
        self.played.append((text, before, lines))
        started = time.monotonic()
        if VERBOSE:
            print(f"{started - T0:7.2f} {text}: {'; '.join(lines)}", flush=True)
        for step in window_steps:
            step()
        if after:
            after()
        if final:
            return True
        # The X server keeps the order of input, so a message the window is
        # short of (or slow with) does not hold up what follows for long.
        timed = any(line.startswith("wait ") for line in lines)
        got = self.win.wait_lines(len(self.sim.messages) - self.deficit, 2.0 if timed else 1.0)
        self.deficit = max(0, len(self.sim.messages) - got)
        if timed:
            time.sleep(max(0.0, started + 0.6 - time.monotonic()))
        return True

    def xdo(self, *args):
        return lambda: self.win.xdo(*args)

    # The modifiers' own key events reach the core too; their script lines
    # and xdotool arguments.
    def mods_down(self, mods):
        lines, args, mask = [], [], 0
        for m in mods:
            code, vk, bit = MODIFIERS[m]
            lines.append(f"keydown {vk} {mask}")
            args += ["keydown", str(code)]
            mask |= bit
        return lines, args, mask

    def mods_up(self, mods, mask):
        lines, args = [], []
        for m in reversed(mods):
            code, vk, bit = MODIFIERS[m]
            lines.append(f"keyup {vk} {mask}")
            args += ["keyup", str(code)]
            mask &= ~bit
        return lines, args

    def pick_mods(self):
        r = self.rng.random()
        if r < 0.6:
            return []
        if r < 0.75:
            return ["shift"]
        if r < 0.87:
            return ["ctrl"]
        if r < 0.95:
            return ["alt"]
        # Not Ctrl with Alt: the X server keeps Ctrl+Alt+F5 for itself (a switch
        # of virtual terminal), as a desktop does.
        return ["shift", self.rng.choice(["ctrl", "alt"])]

    # -- the kinds of action
    def mouse(self):
        state = self.sim.state
        aims = ([n for n in BY_NAME if n.startswith("key(")] * 1
                + [f"Command17({i})" for i in range(8)]
                + ["Command1(0)", "Command1(1)", "Command4(0)", "Command4(1)"] * 3
                + ["Command10", "Command9", "Command27"] * 4
                + ["Command5(0)", "Command5(1)", "Label1", "Label4", "Picture7", "Picture1(1)",
                   "Picture4", "Label2"])
        aim = BY_NAME[self.rng.choice(aims)]
        point = self.point_in(aim)
        if point is None:
            return False
        x, y = point
        top = hit(state, x, y)
        if top is None or top.name in EXCLUDED or top.kind in ("slider", "text"):
            return False
        button = self.rng.choice([1, 1, 2, 3])
        core_button = X_TO_CORE[button]
        mods = self.pick_mods()
        away = self.rng.random() < 0.3
        target = None
        if MOUSE_CONTROLS.match(top.name):
            target = top.name
        elif not state.visible(aim.name) and MOUSE_CONTROLS.match(aim.name):
            target = aim.name  # nothing beneath takes the press; the core must refuse it
        down, down_args, mask = self.mods_down(mods)
        lines = list(down)
        if target:
            lines.append(f"mousedown {target} {core_button} {mask}")
            lines.append(f"mouseup {target} {core_button} {mask}")
        elif (top.name.startswith("Command5") and button == 1 and not away
              and state.visible(top.name) and state.enabled(top.name)):
            lines.append(f"click {top.name}")
        up, up_args = self.mods_up(mods, mask)
        lines += up
        ex, ey = self.win.screen(*(self.elsewhere(top) if away else (x, y)))

        def press():
            release = (["mousemove", "--sync", str(ex), str(ey)] if away else ["sleep", "0.02"])
            self.win.press_at(button, x, y, *down_args, "mousedown", str(button), *release,
                              "mouseup", str(button), *up_args, *PARK)

        focus_to = top.focusable and state.enabled(top.name)

        def after():
            if focus_to:
                self.focus_text = False

        text = (f"{'+'.join(mods + [''])}button {button} at {top.name} ({x}, {y})"
                + (f" aimed at {aim.name}" if aim is not top else "")
                + (" released elsewhere" if away else ""))
        return self.play(text, lines, [press], after)

    def double_click(self):
        state = self.sim.state
        c = BY_NAME[f"Picture3({self.rng.randrange(3)})"]
        if not state.visible(c.name):
            return False
        point = self.point_in(c, 4)
        if point is None or hit(state, *point) is not c:
            return False
        x, y = point

        def click():
            self.win.press_at(1, x, y, "click", "--repeat", "2", "--delay", "60", "1", *PARK)

        return self.play(f"double click on {c.name}", [f"dblclick {c.name}"], [click])

    def type_text(self):
        state = self.sim.state
        box = BY_NAME["Text1"]
        if not state.visible("Text1"):
            return False
        text = state.text()
        # At the right end of the box: the cursor goes after the last character.
        x, y = box.x + box.w - 4, box.y + box.h // 2
        lines, keys_ = [], []
        typed = []
        for _ in range(self.rng.randint(1, 2)):
            if text and (len(text) >= 3 or self.rng.random() < 0.25):
                code, vk = BACKSPACE
                text = text[:-1]
                typed.append("⌫")
            else:
                code, vk = self.rng.choice(list(DIGIT_KEYS.items()))
                text += chr(vk)
                typed.append(chr(vk))
            lines += [f"keydown {vk} 0", f'type Text1 "{text}"', f"keyup {vk} 0"]
            keys_.append(str(code))

        def click_and_type():
            self.win.press_at(1, x, y, "click", "1", *PARK, "key", "--delay", "20", *keys_)

        def after():
            self.focus_text = True

        return self.play(f"typed {''.join(typed)} into Text1", lines, [click_and_type], after)

    def key(self):
        if self.focus_text and self.sim.state.visible("Text1"):
            return False
        pool = self.rng.choice([NOTE_KEYS, NOTE_KEYS, NOTE_KEYS, PAD_KEYS, OTHER_KEYS])
        mods = self.pick_mods()
        keys_ = self.rng.sample(list(pool.items()), 2 if self.rng.random() < 0.15 else 1)
        lines, args, mask = self.mods_down(mods)
        for code, vk in keys_:
            lines.append(f"keydown {vk} {mask}")
            args += ["keydown", str(code)]
        args += ["sleep", "0.02"]
        for code, vk in keys_:
            lines.append(f"keyup {vk} {mask}")
            args += ["keyup", str(code)]
        up, up_args = self.mods_up(mods, mask)
        names = "+".join(mods + [str(code) for code, _ in keys_])
        return self.play(f"keycode {names}", lines + up, [self.xdo(*args, *up_args)])

    def slider(self):
        state = self.sim.state
        s = BY_NAME[self.rng.choice(SLIDERS)]
        if not state.enabled(s.name):
            return False
        right = self.rng.random() < 0.5
        x = s.x + s.w - 3 if right else s.x + 2
        y = s.y + s.h // 2
        value = state.value(s.name)
        top = 7 if s.name == "HScroll1" else 127
        new = max(0, min(top, value + (1 if right else -1)))
        lines = [f"scroll {s.name} {new}"] if new != value else []

        def click():
            self.win.press_at(1, x, y, "mousedown", "1", "sleep", "0.03", "mouseup", "1", *PARK)

        def after():
            self.focus_text = False

        return self.play(f"{'right' if right else 'left'} arrow of {s.name}", lines, [click],
                         after)

    def menu_item(self):
        which = self.rng.choice(["device", "chan0", "chan1", "chan0", "chan1", "help", "about"])
        title = {"device": 0, "chan0": 1, "chan1": 1, "help": 2, "about": 3}[which]
        tx, ty = self.win.x + self.titles[title], self.win.y + self.win.menu_bar // 2
        win = self.win
        known = []

        def open_title():
            known[:] = win.visible_windows()
            win.xdo("mousemove", "--sync", str(tx), str(ty), "click", "1")

        if which in ("help", "about"):
            form = "Form2" if which == "help" else "Form4"
            button = (2760, 7320, 855, 255) if which == "help" else (4560, 3120, 855, 375)

            def close():
                new, x, y, _, _ = win.popup(known)
                win.xdo("mousemove", "--sync", str(x + px(button[0] + button[2] // 2)),
                        str(y + px(button[1] + button[3] // 2)), "click", "1", *PARK)
                end = time.monotonic() + 10
                while new in win.visible_windows() and time.monotonic() < end:
                    time.sleep(0.02)
                win.focus()

            click = "base" if which == "help" else "oprog"
            return self.play(f"menu {click}, then its window's close button",
                             [f"click {click}", f"close {form}"], [open_title, close])

        item = {"device": 0, "chan0": 0, "chan1": 1}[which]
        # "Настройки" holds chan(0), chan(1), a separator line and the touch
        # item: three rows and a separator of about 0.4 row.
        count = 3.4
        name = "device(0)" if which == "device" else f"chan({item})"

        def choose():
            new, x, y, w, h = win.popup(known)
            # The device menu lists the mapper first, and perhaps ports after it.
            row_y = y + 12 if which == "device" else int(y + h / count * (item + 0.5))
            win.xdo("mousemove", "--sync", str(x + w // 2), str(row_y), "click", "1", *PARK)
            end = time.monotonic() + 10
            while new in win.visible_windows() and time.monotonic() < end:
                time.sleep(0.02)
            win.focus()

        return self.play(f"menu item {name}", [f"click {name}"], [open_title, choose])

    def exit(self):
        tx, ty = self.win.x + self.titles[4], self.win.y + self.win.menu_bar // 2
        return self.play("menu vyhod", ["click vyhod"],
                         [self.xdo("mousemove", "--sync", str(tx), str(ty), "click", "1")],
                         final=True)

    def run(self, count):
        kinds = ([self.mouse] * 40 + [self.key] * 25 + [self.double_click] * 6
                 + [self.type_text] * 8 + [self.slider] * 8 + [self.menu_item] * 3)
        done = 0
        tries = 0
        while done < count:
            tries += 1
            if tries > count * 50:
                raise RuntimeError("the generator found too few playable actions")
            if self.rng.choice(kinds)():
                done += 1


class Stalled(Exception):
    pass


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--bin", required=True, help="the folder of varkelon and varkelon-sim")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--actions", type=int, default=200)
    ap.add_argument("--deadline", type=int, default=400,
                    help="seconds after which the run stops and fails with what it has")
    ap.add_argument("--keep", help="keep the logs and the script in this folder")
    args = ap.parse_args()

    def stalled(*_):
        raise Stalled(f"the run did not end within {args.deadline} s")

    signal.signal(signal.SIGALRM, stalled)
    signal.alarm(args.deadline)
    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="window-vs-sim-")
    window = sim = player = None
    problem = None
    try:
        load_layout(os.path.join(args.bin, "varkelon-sim"))
        sim = Sim(os.path.join(args.bin, "varkelon-sim"))
        window = Window(os.path.join(args.bin, "varkelon"), work)
        got = window.wait_lines(len(sim.messages), 20)
        if got < len(sim.messages):
            print(f"start-up: the window sent {got} messages, the simulator "
                  f"{len(sim.messages)}")
        time.sleep(0.3)
        player = Player(random.Random(args.seed), sim, window)
        try:
            player.run(args.actions)
            player.exit()
            try:
                window.program.wait(20)
            except subprocess.TimeoutExpired:
                problem = '"Выход" did not end the program'
        except (Stalled, RuntimeError, subprocess.SubprocessError) as e:
            problem = f"{e.__class__.__name__}: {e}"
        signal.alarm(0)
        time.sleep(0.1)
        got = window.lines()
        want = sim.messages
        if args.keep:
            os.makedirs(args.keep, exist_ok=True)
            with open(os.path.join(args.keep, f"seed{args.seed}.sim"), "w") as f:
                f.write("\n".join(sim.script) + "\n")
            shutil.copy(window.log, os.path.join(args.keep, f"seed{args.seed}.window.log"))
        elapsed = time.monotonic() - started
        print(f"seed {args.seed}: {len(player.played)} actions, {len(want)} messages, "
              f"{elapsed:.1f} s")
        if problem:
            last = player.played[-1][0] if player.played else "none"
            print(f"FAIL {problem}; the last action played: {last}")
            report(player.played, want, got)
            return 1
        if got == want:
            print("ok   the window sent exactly what the simulator sent")
            return 0
        report(player.played, want, got)
        return 1
    finally:
        signal.alarm(0)
        if window is not None:
            window.stop()
        if sim is not None and sim.proc is not None:
            sim.proc.kill()
            sim.proc.wait()
        shutil.rmtree(work, ignore_errors=True)


def report(played, want, got):
    """A unified diff of the messages, each hunk under the actions that sent them."""
    def action_at(index):
        name = "start-up"
        for text, before, lines in played:
            if before <= index:
                name = f"{text}  [{'; '.join(lines)}]"
        return name

    print("FAIL the window's messages differ from the simulator's "
          "(- simulator, + window):")
    matcher = difflib.SequenceMatcher(a=want, b=got, autojunk=False)
    shown = 0
    for tag, i1, i2, j1, j2 in matcher.get_opcodes():
        if tag == "equal":
            continue
        shown += 1
        if shown > 20:
            print("... more differences left out")
            break
        print(f"@@ simulator message {i1 + 1}, window message {j1 + 1}, "
              f"at: {action_at(i1)}")
        for k in range(max(0, i1 - 2), i1):
            print(f"   {want[k]}")
        for k in range(i1, i2):
            print(f" - {want[k]}")
        for k in range(j1, j2):
            print(f" + {got[k]}")


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    sys.exit(main())
