#include "render/hud.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "game/constants.h"
#include "game/game.h"
#include "render/bitmap_font.h"
#include "render/key_labels.h"

namespace {

constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Orange = 0xFFFFA040;
constexpr std::string_view PromptHead = "Enter your name:\n";

}  // namespace

void DrawLevelBonus(BitmapFont& font, const Game& game) {
    font.DrawFormatted(512, 384, AlignCenter, "Next Level!\nBonus: %d Points", game.level * 10000);
}

void DrawHelp(BitmapFont& font, const Game& game) {
    font.DrawText(512, 40, AlignCenter, "F1 - one player mode\nF2 - coop mode");
    char help[160];
    if (game.playerCount == 1) {
        font.DrawText(512, 384, AlignCenter,
                      BuildKeyHelp(font.GetEngine(), help, sizeof help, soloKeys, "CURSOR", "SHIFT"));
    } else {
        // The first player's cursor keys sit on the right of the keyboard.
        font.DrawText(712, 384, AlignCenter,
                      BuildKeyHelp(font.GetEngine(), help, sizeof help, keypadKeys, "CURSOR", "Numpad 0"));
        font.DrawText(312, 384, AlignCenter,
                      BuildKeyHelp(font.GetEngine(), help, sizeof help, letterKeys, "WASD", "G"));
    }
    font.DrawFormatted(512, 604, AlignCenter,
                       "%s - change music volume\n\ncode: VLKN\nsoundtrack: Ostrel - Stardust",
                       KeyHelpName(font.GetEngine(), 'M', "M"));
}

bool CursorVisible(float gameTime) { return std::fmod(std::trunc(gameTime * 5.0f), 2.0f) == 0.0f; }

const char* BuildNamePrompt(char* out, std::size_t size, std::string_view name, bool cursor) {
    std::size_t used = 0;
    auto append = [&](std::string_view part) {
        const std::size_t n = std::min(part.size(), size - 1 - used);
        std::memcpy(out + used, part.data(), n);
        used += n;
    };
    append(PromptHead);
    append(name);
    if (cursor) append("|");
    out[used] = '\0';
    return out;
}

void DrawNamePrompt(BitmapFont& font, const Game& game) {
    // Rebuilt every frame in place: typed names are drawn, never formatted.
    static char prompt[PromptHead.size() + 4 * Game::MaxNameLength + 2];
    BuildNamePrompt(prompt, sizeof prompt, game.playerName, CursorVisible(game.gameTime));
    font.DrawText(512, 384, AlignCenter, prompt);
}

const char* SubmissionFateText(SubmissionFate fate) {
    switch (fate) {
        case SubmissionFate::Kept:
            return "Score kept - it will be sent next time";
        case SubmissionFate::Lost:
            return "Score could not be sent or kept";
        case SubmissionFate::Uncertain:
            return "Score sent - no answer in time";
        case SubmissionFate::Refused:
            return "Score refused by the server";
        case SubmissionFate::None:
        case SubmissionFate::Stored:
            break;
    }
    return nullptr;
}

void DrawHighscoreTable(BitmapFont& font, const Game& game) {
    font.DrawText(512, 134, AlignCenter, "HIGHSCORES");
    // One note stands alone at y 174; two share the gap between the heading
    // (down to 154) and the first row (204) as a block of two lines, so
    // neither touches the heading or a row.
    const char* fate = SubmissionFateText(game.submissionFate);
    const float noteY = game.highscoresUnavailable && fate ? 159 : 174;
    if (game.highscoresUnavailable) font.DrawText(512, noteY, AlignCenter, "Highscores unavailable");
    if (fate) font.DrawText(512, game.highscoresUnavailable ? noteY + 20 : noteY, AlignCenter, fate);
    if (game.exchangeWanted) font.DrawText(512, 174, AlignCenter, "Asking the score server...");

    const std::int64_t rows = static_cast<std::int64_t>(game.highscores.size());
    for (std::int64_t i = game.firstRow;
         i >= 0 && i < game.firstRow + std::int64_t{Game::PageSize} && i < rows; ++i) {
        const HighscoreEntry& row = game.highscores[static_cast<std::size_t>(i)];
        const float rowY = static_cast<float>((i - game.firstRow) * 30 + 204);
        font.DrawFormatted(272, rowY, AlignRight, "%3d.", static_cast<int>(i + 1));
        if (row.name == game.playerName) font.SetColor(Orange);
        font.DrawText(282, rowY, AlignLeft, row.name.c_str());
        font.SetColor(White);
        font.DrawFormatted(782, rowY, AlignRight, "%07d", row.score);
    }

    if (game.firstRow > 0) font.DrawText(112, 384, AlignLeft, "Scroll\n<< Left");
    font.DrawText(912, 384, AlignRight, "Scroll\nRight >>");
    font.DrawFormatted(512, 634, AlignCenter, "Game Over!\nRestart with %s or SPACE",
                       KeyHelpName(font.GetEngine(), 'R', "R"));
}

void DrawScoreLine(BitmapFont& font, const Game& game) {
    font.DrawFormatted(5, 5, AlignLeft, "Score: %07d", game.score);
    font.DrawFormatted(2 * halfWidth - 5, 5, AlignRight, "Level: %02d", game.level + 1);
}

const char* BuildVolumeBar(char (&out)[8], std::int32_t musicVolume) {
    out[0] = '[';
    for (int step = 0; step < 5; ++step) out[1 + step] = step * 20 < musicVolume ? 'I' : ' ';
    out[6] = ']';
    out[7] = '\0';
    return out;
}

void DrawVolumeBar(BitmapFont& font, std::int32_t musicVolume) {
    char bar[8];
    font.DrawText(512, 734, AlignCenter, BuildVolumeBar(bar, musicVolume));
}
