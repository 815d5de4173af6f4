// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The controls of the main window, each named once, group by group: the
// name and, for a control array, its number of members (0 for a single
// control). From this list come the identifiers (`Ctl`), the names
// that scripts and the view use, and the slots of the control model;
// app/layout.cpp gives every control its geometry and design state.
#define VARKELON_FORM1_CONTROLS(X)                                                                 \
    X(Frame2, 0)                                                                                   \
    X(Label1, 0)                                                                                   \
    X(Command1, 2)                                                                                 \
    X(Picture1, 3)                                                                                 \
    X(Frame1, 0)                                                                                   \
    X(Label4, 0)                                                                                   \
    X(Command4, 2)                                                                                 \
    X(Picture3, 3)                                                                                 \
    X(Text1, 0)                                                                                    \
    X(Command9, 0)                                                                                 \
    X(Command10, 0)                                                                                \
    X(Frame3, 0)                                                                                   \
    X(Command5, 2)                                                                                 \
    X(Picture2, 3)                                                                                 \
    X(Frame4, 0)                                                                                   \
    X(HScroll1, 0)                                                                                 \
    X(Frame7, 0)                                                                                   \
    X(Label3, 0)                                                                                   \
    X(HScroll2, 0)                                                                                 \
    X(Label5, 0)                                                                                   \
    X(HScroll3, 0)                                                                                 \
    X(Label9, 0)                                                                                   \
    X(HScroll4, 0)                                                                                 \
    X(Picture7, 0)                                                                                 \
    X(Command15, 0)                                                                                \
    X(Command7, 0)                                                                                 \
    X(Command3, 0)                                                                                 \
    X(Command2, 0)                                                                                 \
    X(Picture4, 0)                                                                                 \
    X(Picture5, 0)                                                                                 \
    X(key, 37)                                                                                     \
    X(Frame5, 0)                                                                                   \
    X(Label2, 0)                                                                                   \
    X(Command17, 8)                                                                                \
    X(Command27, 0)                                                                                \
    X(midi_devices, 0)                                                                             \
    X(device, 11)                                                                                  \
    X(ChannelOption, 0)                                                                            \
    X(chan, 2)                                                                                     \
    X(touch_line, 0)                                                                               \
    X(touch, 0)                                                                                    \
    X(base, 0)                                                                                     \
    X(oprog, 0)                                                                                    \
    X(vyhod, 0)
