// munchet-screenshots SOURCE_DIR OUTDIR: plays the real game through the
// headless engine, from the resources under SOURCE_DIR/data, and saves four
// moments as PNG files in OUTDIR: the help of a fresh game, a busy field, the
// name entry and a highscore page.
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/game_audio.h"
#include "app/load_resources.h"
#include "engine/headless.h"
#include "engine/sdl/sdl_platform.h"
#include "game/game.h"
#include "render/render.h"
#include "render/scene.h"

namespace {

struct Session;
// The session the engine's callbacks drive.
Session* current = nullptr;
bool frameFunc();
bool renderFunc();

// One headless engine with the resources loaded, driving one Game as the
// program does.
struct Session {
    Game game;
    Engine* engine = nullptr;
    Scene scene;
    GameAudio audio;

    explicit Session(int seed) {
        engine = hgeCreate(EngineVersion);
        engine->System_SetPlatform(SdlPlatform);
        engine->Headless_Enable(HeadlessOptions{});
        engine->System_SetState(StateFrameFunc, frameFunc);
        engine->System_SetState(StateRenderFunc, renderFunc);
        engine->System_SetState(StateLogFile, "");
        engine->System_Initiate();
        game.random.Seed(static_cast<std::uint32_t>(seed));
        current = this;
        LoadResources(*engine, scene, audio);
        game.musicVolume = Game::StartVolume;
        audio.StartMusic(*engine, game.musicVolume);
        game.StartGame();
    }
    ~Session() {
        current = nullptr;
        scene = Scene{};
        engine->System_Shutdown();
        engine->Release();
    }
    void run(int frames, const FrameInput& input = {}) {
        for (int i = 0; i < frames; ++i) engine->Headless_RunFrame(input);
    }
    bool save(const std::filesystem::path& path) {
        if (engine->Headless_Screenshot(path.c_str())) {
            std::printf("wrote %s\n", path.c_str());
            return true;
        }
        std::fprintf(stderr, "munchet-screenshots: cannot write %s\n", path.c_str());
        return false;
    }
};

bool frameFunc() {
    if (current->game.Frame(current->engine->Input_GetFrame())) return true;
    current->audio.Play(*current->engine, current->game.effects);
    return false;
}
bool renderFunc() {
    RenderScene(current->scene, current->game, current->audio.MusicGliding(*current->engine));
    return false;
}

bool helpScreen(const std::filesystem::path& out) {
    Session s(7);
    s.run(120);  // 1.2 s: the help still shows and the first food has come
    return s.save(out / "screenshot-help.png");
}

// A two-player game two levels on: the ghosts stand and focus, pulling the
// food in until its crowd has sunk their charge, then let go and can eat. Seeds are tried
// until one leaves both ghosts alive on a busy field.
bool playScreen(const std::filesystem::path& out) {
    for (int seed = 1; seed < 100; ++seed) {
        Session s(seed);
        s.game.playerCount = 2;
        s.game.Reset();
        s.game.StartGame();
        s.game.NextLevel();
        s.game.NextLevel();
        FrameInput focus;
        focus.Hold(Key::Numpad0).Hold('G');
        s.run(1500, focus);
        s.run(20);
        const bool oneCanEat = s.game.players[0].charge < -2 || s.game.players[1].charge < -2;
        if (s.game.gameOver || s.game.foodList.size() < 40 || !oneCanEat) continue;
        std::printf("play: seed %d, charges %.1f and %.1f\n", seed, s.game.players[0].charge,
                    s.game.players[1].charge);
        return s.save(out / "screenshot-play.png");
    }
    std::fprintf(stderr, "munchet-screenshots: no seed gave a busy field\n");
    return false;
}

bool nameScreen(const std::filesystem::path& out) {
    Session s(11);
    s.run(400);
    // The moment a munchet has caught the ghost after a good game.
    s.game.gameOver = s.game.nameEntry = true;
    s.game.score = 24650;
    s.game.playerName = "Pacifist";
    s.run(2);
    return s.save(out / "screenshot-name.png");
}

bool tableScreen(const std::filesystem::path& out) {
    Session s(13);
    s.run(300);
    s.game.gameOver = true;
    s.game.nameEntry = false;
    s.game.playerName = "Pacifist";
    const char* names[] = {"VLKN", "Ostrel",  "Pacifist", "ghosty", "munchmaster", "Pacifist", "Zed",
                           "nina", "Gobbler", "herder",   "Ann",    "Bo",          "Clyde",    "Inky"};
    const int count = static_cast<int>(sizeof names / sizeof names[0]);
    for (int i = 0; i < count; ++i) s.game.highscores.push_back({names[i], 98000 - i * 5430});
    s.game.firstRow = 0;
    s.run(2);
    return s.save(out / "screenshot-table.png");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: munchet-screenshots SOURCE_DIR OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out = std::filesystem::absolute(argv[2]);
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    // The game reads data/ from its working directory.
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::fprintf(stderr, "munchet-screenshots: cannot enter %s\n", argv[1]);
        return 1;
    }
    const bool ok = helpScreen(out) & playScreen(out) & nameScreen(out) & tableScreen(out);
    return ok ? 0 : 1;
}
