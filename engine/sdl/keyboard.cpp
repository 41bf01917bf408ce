#include "engine/sdl/keyboard.h"

int VirtualKeyFromSdl(int scancode, int keycode) {
    static const KeyMap usual;
    return usual.Translate(scancode, keycode);
}
