#include "game/game.h"

#include "common/engine_ref.h"
#include "common/player_name.h"
#include "game/food_spawn.h"
#include "game/sounds.h"

bool FoodSpawnDrawSucceeds(float r, std::size_t count) {
    const double threshold =
        static_cast<double>(0.9f) + static_cast<double>(0.0002f) * static_cast<double>(count);
    return static_cast<double>(r) > threshold;
}

Game::Game() {
    // Sized once for the largest split burst a frame is likely to see, so a
    // steady frame allocates nothing.
    newborns.reserve(64);
}

bool Game::Render() { return renderer ? renderer(*this) : false; }

bool Game::Frame() {
    beginning.justBegan = false;
    const float dt = hge->Timer_GetDelta();
    if (hge->Input_GetKeyState(Key::Escape)) return true;

    // Munchets wander and their split timers run in every state; the
    // children join the list only while the game is played.
    newborns.clear();
    newborns.insert(newborns.end(), pendingNewborns.begin(), pendingNewborns.end());
    pendingNewborns.clear();
    for (std::size_t i = 0; i < munchetList.size(); ++i) {
        munchetList[i].move(dt, level);
        munchetList[i].trySplit(newborns, *this);
    }

    if (hge->Input_GetKeyState(Key::F1)) {
        playerCount = 1;
        NewGame();
    }
    if (hge->Input_GetKeyState(Key::F2)) {
        playerCount = 2;
        NewGame();
    }

    gameTime += dt;
    levelTime += dt;

    if (gameOver) {
        if (nameEntry)
            HandleNameEntry();
        else
            HandleTableKeys();
    } else {
        PlayStep(dt);
    }

    SpawnFood();
    HandleVolumeKey();
    return false;
}

void Game::HandleNameEntry() {
    const int key = hge->Input_GetKey();
    if (key == Key::Enter) {
        nameEntry = false;
        firstRow = 0;
        SubmitScore();
    } else if (key == Key::Backspace || key == Key::Delete) {
        if (!playerName.empty()) playerName.pop_back();
    } else if (playerName.size() < MaxNameLength) {
        const int c = hge->Input_GetChar();
        if (IsPlayerNameCharacter(c)) playerName.push_back(static_cast<char>(c));
    }
}

void Game::HandleTableKeys() {
    if (hge->Input_GetKeyState('R') || hge->Input_GetKeyState(Key::Space)) NewGame();
    if (hge->Input_GetKey() == Key::Left) PreviousPage();
    if (hge->Input_GetKey() == Key::Right) NextPage();
}

void Game::PlayStep(float dt) {
    munchetList.insert(munchetList.end(), newborns.begin(), newborns.end());
    if (beginning.justBegan && !newborns.empty()) beginning.carried = newborns;
    for (Player& player : activePlayers()) player.update(dt);
    ContactPass();
    EatingPass();
    GoalPass();
    // The list may change length only through the passes above; each item
    // sees the items before it already moved.
    UpdateFood(dt);
}

void Game::SpawnFood() {
    const float r = hge->Random_Float(0.0f, 1.0f);
    if (FoodSpawnDrawSucceeds(r, foodList.size())) {
        const int k = hge->Random_Int(0, static_cast<int>(foodSources.size()) - 1);
        if (k < 0 || k >= static_cast<int>(foodSources.size())) return;
        FoodSource& source = foodSources[static_cast<std::size_t>(k)];
        source.Step();
        foodList.emplace_back(static_cast<float>(source.x), static_cast<float>(source.y));
    }
}

void Game::HandleVolumeKey() {
    if (hge->Input_GetKey() == 'M' && !nameEntry) {
        musicVolume = (musicVolume + 20) % 120;
        hge->Channel_SlideTo(musicChannel, 0.5f, musicVolume, -101, -1.0f);
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
        if (beginning.ticket.Held()) hge->Random_SetState(beginning.ticket.random);
        beginning.random = hge->Random_GetState();
        beginning.carried.clear();
    }
    SetupLevel();
    gameTime = 0;
    levelTime = 0;
    gameOver = false;
    nameEntry = false;
    score = 0;
    level = 0;
    food = 0;
    munchets = 0;
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

void Game::StartMusic(std::int32_t volume) {
    musicVolume = volume;
    musicChannel = hge->Music_Play(music, true, volume, -1, -1);
}
