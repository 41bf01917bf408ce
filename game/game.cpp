#include "game/game.h"

#include "common/player_name.h"
#include "engine/engine.h"
#include "game/food_spawn.h"

bool FoodSpawnDrawSucceeds(float r, std::size_t count) {
    const double threshold =
        static_cast<double>(0.9f) + static_cast<double>(0.0002f) * static_cast<double>(count);
    return static_cast<double>(r) > threshold;
}

Game::Game() {
    // Sized once for the largest split burst a frame is likely to see, so a
    // steady frame allocates nothing.
    newborns.reserve(64);
    effects.sounds.reserve(64);
}

bool Game::Frame(const FrameInput& input) {
    beginning.justBegan = false;
    effects.Clear();
    const float dt = BoundFrameTime(input.frameTime);
    if (input.Holds(Key::Escape)) return true;

    // Munchets wander and their split timers run in every state; the
    // children join the list only while the game is played.
    newborns.clear();
    newborns.insert(newborns.end(), pendingNewborns.begin(), pendingNewborns.end());
    pendingNewborns.clear();
    for (std::size_t i = 0; i < munchetList.size(); ++i) {
        munchetList[i].move(dt, level, random);
        munchetList[i].trySplit(newborns, *this);
    }

    if (input.Holds(Key::F1)) {
        playerCount = 1;
        NewGame();
    }
    if (input.Holds(Key::F2)) {
        playerCount = 2;
        NewGame();
    }

    gameTime += dt;
    levelTime += dt;

    if (gameOver) {
        if (nameEntry)
            HandleNameEntry(input);
        else
            HandleTableKeys(input);
    } else {
        PlayStep(input, dt);
    }

    SpawnFood();
    HandleVolumeKey(input);
    return false;
}

void Game::HandleNameEntry(const FrameInput& input) {
    const int key = input.pressedKey;
    if (key == Key::Enter) {
        nameEntry = false;
        firstRow = 0;
        SubmitScore();
    } else if (key == Key::Backspace || key == Key::Delete) {
        if (!playerName.empty()) playerName.pop_back();
    } else if (playerName.size() < MaxNameLength) {
        const int c = input.TypedCharacter();
        if (IsPlayerNameCharacter(c)) playerName.push_back(static_cast<char>(c));
    }
}

void Game::HandleTableKeys(const FrameInput& input) {
    if (input.Holds('R') || input.Holds(Key::Space)) NewGame();
    if (input.pressedKey == Key::Left) PreviousPage();
    if (input.pressedKey == Key::Right) NextPage();
}

void Game::PlayStep(const FrameInput& input, float dt) {
    munchetList.insert(munchetList.end(), newborns.begin(), newborns.end());
    if (beginning.justBegan && !newborns.empty()) beginning.carried = newborns;
    for (Player& player : activePlayers()) player.update(dt, input, effects);
    ContactPass();
    EatingPass();
    GoalPass();
    // The list may change length only through the passes above; each item
    // sees the items before it already moved.
    UpdateFood(dt);
}

void Game::SpawnFood() {
    const float r = random.Float(0.0f, 1.0f);
    if (FoodSpawnDrawSucceeds(r, foodList.size())) {
        const int k = random.Int(0, static_cast<int>(foodSources.size()) - 1);
        if (k < 0 || k >= static_cast<int>(foodSources.size())) return;
        FoodSource& source = foodSources[static_cast<std::size_t>(k)];
        source.Step(random);
        foodList.emplace_back(static_cast<float>(source.x), static_cast<float>(source.y));
    }
}

void Game::HandleVolumeKey(const FrameInput& input) {
    if (input.pressedKey == 'M' && !nameEntry) {
        musicVolume = (musicVolume + 20) % 120;
        effects.musicVolume = musicVolume;
    }
}

void Game::NewGame() {
    Reset();
    StartGame();
}

void Game::Reset() {
    munchetList.clear();
    foodList.clear();
    foodSources.clear();
    for (Player& player : players) player.reset();
    level = 0;
    score = 0;
    food = 0;
    munchets = 0;
    gameOver = false;
    nameEntry = false;
    gameTime = 0;
    levelTime = 0;
}

void Game::StartGame() {
    if (!beginning.justBegan) {
        beginning.justBegan = true;
        // Before the game's first draw: the whole game follows from the
        // state the server dealt.
        beginning.ticket = takeTicket ? takeTicket() : GameTicket{};
        if (beginning.ticket.Held()) random.SetState(beginning.ticket.random);
        beginning.random = random.GetState();
        beginning.carried.clear();
    }
    SetupLevel();
}

void Game::NextLevel() {
    level += 1;
    levelTime = 0;
    score += level * 10000;
    munchetList.clear();
    foodList.clear();
    foodSources.clear();
    for (Player& player : activePlayers()) player.resetForLevel();
    SetupLevel();
}
