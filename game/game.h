// The whole state of the game and its flow from frame to frame.
//
// The program hands Frame each frame's input; Frame advances everything in
// one fixed order (munchets, restart keys, timers, the name entry or table
// keys, or one step of play, then food spawning and the volume key) and
// leaves what the frame asks of the outside world in effects. The game owns
// its random generator and reaches no engine: any number of games may run
// side by side, on any threads, each on its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/player_name.h"
#include "engine/frame_input.h"
#include "engine/random.h"
#include "game/food.h"
#include "game/food_grid.h"
#include "game/food_source.h"
#include "game/frame_effects.h"
#include "game/highscore_entry.h"
#include "game/munchet.h"
#include "game/player.h"
#include "game/score_exchange.h"

struct Game;

// How the game under way began: with the frames that follow, all a recording
// needs to play it again (replay/). StartGame (which takes the game's ticket
// through Game::takeTicket and sets the game's generator from it) and Frame
// keep it; the rules never read it.
struct GameBeginning {
    // True from a StartGame until the next frame begins: the game began in
    // the frame last run or, before any frame, at start-up.
    bool justBegan = false;
    // The random generator as the first StartGame since the last frame
    // began found it (F1 held with F2 starts two games in one frame).
    RandomState random;
    // The score server's ticket the game began with (its random is the one
    // above); not Held when it began without one.
    GameTicket ticket;
    // The munchets the game before bore in the frame that began this one and
    // that joined this game (F1 and F2 restart before the frame plays), in
    // birth order; empty when none did.
    std::vector<Munchet> carried;
};

struct Game {
    static constexpr int MaxNameLength = static_cast<int>(MaxPlayerNameLength);
    static constexpr int PageSize = 10;

    // Both records always exist; only the first playerCount take part.
    std::array<Player, 2> players{};
    std::vector<Munchet> munchetList;     // live munchets, creation order
    std::vector<Food> foodList;           // live food items, creation order
    std::vector<FoodSource> foodSources;  // two after every level set-up
    std::int32_t level = 0;               // counted from 0
    bool gameOver = false;                // a munchet caught a vulnerable ghost
    bool nameEntry = false;               // typing a name; implies gameOver
    float gameTime = 0;                   // seconds since the game began
    float levelTime = 0;                  // seconds since the level began
    std::int32_t playerCount = 1;         // 1 or 2; changed only by F1 and F2
    std::int32_t score = 0;
    std::string playerName;                  // at most 20 characters, kept between games
    std::int32_t food = 0;                   // food tally sent to the score server
    std::int32_t munchets = 0;               // munchets eaten, each weighted by level + 1
    std::vector<HighscoreEntry> highscores;  // the table last fetched, rank order
    std::int32_t firstRow = 0;               // first table row on the page shown
    // 0, 20, ..., 100; the program starts the music at it (StartVolume when
    // none was kept), the M key steps it.
    std::int32_t musicVolume = 0;
    // True when the last table request failed (no answer or an error status):
    // the table screen then says so instead of showing an empty table silently.
    bool highscoresUnavailable = false;
    // What became of the last score handed to the score client.
    SubmissionFate submissionFate = SubmissionFate::None;
    // Left by the frame that ended a game (SubmitScore, FetchHighscores) for
    // the layer above, which talks to the score server and hands the result
    // to TakeExchange. No frame runs meanwhile: the rules stand still for the
    // exchange. A run without a score server (a replay verified) leaves it
    // be, and its table stays empty.
    std::optional<ScoreExchangeRequest> exchangeWanted;
    // Where a game that begins takes its ticket from; null: games begin
    // without one.
    TicketFunction takeTicket = nullptr;
    // Scratch index over foodList for the eating pass and the food update;
    // keeps nothing from frame to frame but its plainScan switch.
    FoodGrid foodGrid;
    GameBeginning beginning;
    // Munchets that join the next frame's newborns ahead of any born in it:
    // how a replay puts back the munchets its game began with
    // (GameBeginning::carried). Emptied by that frame.
    std::vector<Munchet> pendingNewborns;
    // Every random number of the game is drawn from it, in the rules' fixed
    // order: the game's seed (or its ticket's state) fixes the whole game.
    RandomGenerator random;
    // What the last frame asked of the outside world; emptied as a frame
    // begins.
    FrameEffects effects;

    Game();

    // One frame: input's keys, lasting input.frameTime seconds (bounded by
    // BoundFrameTime, as the engine gives it). True when Escape is held:
    // the run ends, and nothing of the frame is played.
    bool Frame(const FrameInput& input);

    // A new game is Reset followed by StartGame. Reset empties the field and
    // zeroes the counters and timers; StartGame, on a game so reset (or
    // fresh), takes the game's ticket and sets up its first level.
    void Reset();
    void StartGame();
    // The last munchet is gone: bonus, then the next level's set-up.
    void NextLevel();
    // The music's volume at the first start, when no other is kept.
    static constexpr std::int32_t StartVolume = 60;

    // Places the players, lines up 2 * level + 1 munchets and creates the two
    // food sources. Only appends: callers empty the lists first.
    void SetupLevel();

    // The three passes of one frame of play, in this order.
    void ContactPass();  // ghosts eat munchets or are caught by them
    void EatingPass();   // munchets eat food
    void GoalPass();     // food in the goal is saved
    // Then every food item moves with its flock, in list order.
    void UpdateFood(float dt);

    // Ask for an exchange with the score server (exchangeWanted): send the
    // finished game (unless the name is empty) and fetch the table; only
    // fetch it. The table shown stays empty until the answer comes.
    void SubmitScore();
    void FetchHighscores();
    // Keeps what the exchange brought back (the rows replace highscores) and
    // clears exchangeWanted.
    void TakeExchange(ScoreExchangeResult result);
    // Paging of the table, ten rows a page, wrapping around.
    void NextPage();
    void PreviousPage();

    // The players taking part.
    std::span<Player> activePlayers() { return {players.data(), static_cast<std::size_t>(playerCount)}; }
    std::span<const Player> activePlayers() const {
        return {players.data(), static_cast<std::size_t>(playerCount)};
    }

private:
    void NewGame();
    void HandleNameEntry(const FrameInput& input);
    void HandleTableKeys(const FrameInput& input);
    void PlayStep(const FrameInput& input, float dt);
    void SpawnFood();
    void HandleVolumeKey(const FrameInput& input);
    // A munchet eats one item: sound, split sooner, score.
    void Eat(Munchet& munchet);

    // Munchets born during this frame's munchet pass; kept between frames so
    // a steady frame allocates nothing.
    std::vector<Munchet> newborns;
};
