// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/library_noise.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <jack/jack.h>

#include <cstdlib>
#include <initializer_list>

namespace varkelon {

namespace {

void jack_silent(const char* /*message*/) {}

void alsa_silent(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
                 const char* /*fmt*/, ...) {}

void fluid_silent(int /*level*/, const char* /*message*/, void* /*data*/) {}

} // namespace

bool audio_libraries_quiet() {
    const char* debug = std::getenv("VARKELON_AUDIO_DEBUG");
    return debug == nullptr || *debug == '\0' || *debug == '0';
}

void quiet_audio_libraries() {
    if (!audio_libraries_quiet()) {
        return;
    }
    jack_set_error_function(&jack_silent);
    jack_set_info_function(&jack_silent);
    snd_lib_error_set_handler(&alsa_silent);
    for (const int level : {FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
        fluid_set_log_function(level, &fluid_silent, nullptr);
    }
}

} // namespace varkelon
