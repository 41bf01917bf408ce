#include "engine/frame_keyboard.h"

void FrameKeyboard::BeginFrame() {
    record.pressedKey = 0;
    record.typedChar = 0;
    textSeen = false;
    for (std::size_t vk = 0; vk < releaseLater.size(); ++vk)
        if (releaseLater[vk]) record.Release(static_cast<int>(vk));
    releaseLater.fill(false);
    wentDown.fill(false);
}

void FrameKeyboard::KeyDown(int physicalKey, int otherwise, bool repeat) {
    const int vk = keys.Translate(physicalKey, otherwise);
    if (vk <= 0 || vk > 255) return;
    const auto index = static_cast<std::size_t>(vk);
    if (physicalKey > 0 && physicalKey < PhysicalKey::Count)
        downAs[static_cast<std::size_t>(physicalKey)] = static_cast<std::uint8_t>(vk);
    record.Hold(vk);
    releaseLater[index] = false;
    if (!repeat) wentDown[index] = true;
    if (record.pressedKey == 0) record.pressedKey = static_cast<std::uint8_t>(vk);
}

void FrameKeyboard::KeyUp(int physicalKey, int otherwise) {
    int vk = 0;
    if (physicalKey > 0 && physicalKey < PhysicalKey::Count) {
        auto& slot = downAs[static_cast<std::size_t>(physicalKey)];
        vk = slot;
        slot = 0;
    }
    if (vk == 0) vk = keys.Translate(physicalKey, otherwise);
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

void FrameKeyboard::Text(const char* text) {
    if (textSeen || !text) return;
    textSeen = true;
    record.typedChar = static_cast<unsigned char>(text[0]);
}

void FrameKeyboard::ReleaseAll() {
    record.held = {};
    downAs.fill(0);
    wentDown.fill(false);
    releaseLater.fill(false);
}
