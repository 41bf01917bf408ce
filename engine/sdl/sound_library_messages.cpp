#include "engine/sdl/sound_library_messages.h"

#include <alsa/error.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct Pending {
    std::mutex lock;
    SoundLibraryMessages messages;
};

Pending& pending() {
    static Pending instance;
    return instance;
}

// alsa-lib calls this from whichever thread met the error (OpenAL Soft's
// mixer thread included), in place of printing "ALSA lib ..." on stderr.
void KeepAlsaMessage(const char* file, int line, const char* function, int err, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char message[768];
    std::snprintf(message, sizeof message, "ALSA: %s:%d (%s) %s%s%s", file ? file : "?", line,
                  function ? function : "?", text, err ? ": " : "", err ? std::strerror(err) : "");
    Pending& p = pending();
    const std::lock_guard guard(p.lock);
    if (p.messages.lines.size() < SoundLibraryMessages::MaxKept)
        p.messages.lines.emplace_back(message);
    else
        ++p.messages.dropped;
}

}  // namespace

void RouteSoundLibraryMessages() {
    static const bool routed = [] {
        setenv("ALSOFT_LOGLEVEL", "0", 0);
        snd_lib_error_set_handler(&KeepAlsaMessage);
        return true;
    }();
    (void)routed;
}

SoundLibraryMessages TakeSoundLibraryMessages() {
    Pending& p = pending();
    const std::lock_guard guard(p.lock);
    SoundLibraryMessages taken = std::move(p.messages);
    p.messages = {};
    return taken;
}
