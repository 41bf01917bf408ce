// The texts over the play field: help, level bonus, name prompt, highscore
// table, score and level line, volume bar. Each draws with the scene's
// font and does nothing without one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "game/score_exchange.h"

struct Game;
struct BitmapFont;

// "Next Level!" and the bonus of the level just reached.
void DrawLevelBonus(BitmapFont& font, const Game& game);
// The key help of the first seconds of a game, for one or two players.
void DrawHelp(BitmapFont& font, const Game& game);
// "Enter your name:", the name typed so far and the blinking cursor.
void DrawNamePrompt(BitmapFont& font, const Game& game);
// One page of the highscore table with its scroll and restart hints, and
// under the heading what became of this game's score when it did not simply
// arrive, or, while the score server is being asked, that it is.
void DrawHighscoreTable(BitmapFont& font, const Game& game);
// Score at the top left, level at the top right.
void DrawScoreLine(BitmapFont& font, const Game& game);
// "[IIII ]": one "I" for each of 0, 20, 40, 60, 80 below the volume.
void DrawVolumeBar(BitmapFont& font, std::int32_t musicVolume);

// The line the table screen shows for a submission's fate; null for None and
// Stored, which say nothing.
const char* SubmissionFateText(SubmissionFate fate);

// The prompt text into out (size bytes, at least 1), NUL-terminated; a name
// too long for the buffer is cut. Returns out.
const char* BuildNamePrompt(char* out, std::size_t size, std::string_view name, bool cursor);
// The cursor shows while the whole part of gameTime * 5 is even: 0.2 s on,
// 0.2 s off.
bool CursorVisible(float gameTime);
// The volume bar text into out, which holds 8 bytes. Returns out.
const char* BuildVolumeBar(char (&out)[8], std::int32_t musicVolume);
