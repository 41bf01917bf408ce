#pragma once

// Loads every sound, the music, the textures with their sprites and the font,
// once, after the engine has started. Nothing is checked: a file that cannot
// be loaded leaves a null handle (and a line in the log), and the game runs on.
void LoadResources();
