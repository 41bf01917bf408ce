// The browser's names for physical keys (KeyboardEvent.code: "KeyA",
// "ArrowLeft", "ShiftLeft", "Numpad0") as the engine's physical key numbers,
// and the labels players know them by ("A", "Left", "Left Shift",
// "Keypad 0"), which are also the names a binding may give.
#pragma once

// The physical key (engine/key_code_map.h) of a KeyboardEvent.code,
// PhysicalKey::Unknown for a code the table does not know or none.
int PhysicalKeyOfCode(const char* code);
// The physical key a binding names: a label ("Left Shift", "keypad 8"; any
// letter case) or a KeyboardEvent.code ("ShiftLeft"). Unknown for none.
int PhysicalKeyNamedOnWeb(const char* name);
// The label of a physical key, null for one the table does not know.
const char* PhysicalKeyLabel(int physicalKey);
