// The standard names of physical keys (the W3C's KeyboardEvent.code, which
// browsers give: "KeyA", "ArrowLeft", "ShiftLeft", "Numpad0") as the engine's
// physical key numbers (engine/key_code_map.h), and the labels players know
// them by ("A", "Left", "Left Shift", "Keypad 0"): SDL's names for the same
// keys, so that a binding names a key alike on every platform.
#pragma once

// The physical key (engine/key_code_map.h) of a KeyboardEvent.code,
// PhysicalKey::Unknown for a code the table does not know or none.
int PhysicalKeyOfCode(const char* code);
// The physical key a binding names: a label ("Left Shift", "keypad 8"; any
// letter case) or a KeyboardEvent.code ("ShiftLeft"). Unknown for none.
int PhysicalKeyByName(const char* name);
// The label of a physical key, null for one the table does not know.
const char* PhysicalKeyLabel(int physicalKey);
