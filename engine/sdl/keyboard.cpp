#include "engine/sdl/keyboard.h"

#include <array>
#include <cstdint>

int VirtualKeyFromSdl(int scancode, int keycode) {
    static const KeyMap usual;
    return usual.Translate(scancode, keycode);
}

void KeyboardInput::BeginFrame() {
    record.pressedKey = 0;
    record.typedChar = 0;
    textSeen = false;
    for (std::size_t vk = 0; vk < releaseLater.size(); ++vk)
        if (releaseLater[vk]) record.Release(static_cast<int>(vk));
    releaseLater.fill(false);
    wentDown.fill(false);
}

void KeyboardInput::KeyDown(int scancode, int keycode, bool repeat) {
    const int vk = keys.Translate(scancode, keycode);
    if (vk <= 0 || vk > 255) return;
    const auto index = static_cast<std::size_t>(vk);
    if (scancode > 0 && scancode < ScancodeCount)
        downAs[static_cast<std::size_t>(scancode)] = static_cast<std::uint8_t>(vk);
    record.Hold(vk);
    releaseLater[index] = false;
    if (!repeat) wentDown[index] = true;
    if (record.pressedKey == 0) record.pressedKey = static_cast<std::uint8_t>(vk);
}

void KeyboardInput::KeyUp(int scancode, int keycode) {
    int vk = 0;
    if (scancode > 0 && scancode < ScancodeCount) {
        auto& slot = downAs[static_cast<std::size_t>(scancode)];
        vk = slot;
        slot = 0;
    }
    if (vk == 0) vk = keys.Translate(scancode, keycode);
    if (vk <= 0 || vk > 255) return;
    // Still held through another key with the same code?
    for (const std::uint8_t other : downAs)
        if (other == vk) return;
    const auto index = static_cast<std::size_t>(vk);
    if (wentDown[index])
        releaseLater[index] = true;
    else
        record.Release(vk);
}

void KeyboardInput::Text(const char* text) {
    if (textSeen || !text) return;
    textSeen = true;
    record.typedChar = static_cast<unsigned char>(text[0]);
}

void KeyboardInput::ReleaseAll() {
    record.held = {};
    downAs.fill(0);
    wentDown.fill(false);
    releaseLater.fill(false);
}
