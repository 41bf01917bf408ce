#include "app/program.h"

#include <cstdio>
#include <ctime>

#include "app/load_resources.h"
#include "common/engine_ref.h"
#include "common/split_first.h"
#include "engine/sdl/sdl_platform.h"
#include "game/game.h"
#include "render/render.h"
#include "scores/score_client.h"
#include "scores/score_host.h"

// The one game, built before main runs and destroyed after it returns.
Game game;

namespace {

bool FrameFunc() { return game.Frame(); }
bool RenderFunc() { return game.Render(); }

}  // namespace

CommandLineOptions ParseCommandLine(std::string commandLine) {
    CommandLineOptions options;
    std::string token;
    while (SplitFirst(commandLine, " ", token)) {
        const std::string given = token;
        for (char& c : token)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (token == "/WINDOW") options.fullscreen = false;
        if (token.starts_with("/SERVER=")) options.scoreServer = given.substr(8);
    }
    return options;
}

int RunProgram(const std::string& commandLine) {
    const CommandLineOptions options = ParseCommandLine(commandLine);
    if (options.scoreServer) SetScoreServerHost(*options.scoreServer);

    hge = hgeCreate(EngineVersion);
    if (!hge) {
        std::fprintf(stderr, "munchet: the engine is not available\n");
        return 1;
    }
    hge->System_SetPlatform(SdlPlatform);
    hge->Random_Seed(static_cast<int>(static_cast<std::uint32_t>(std::time(nullptr))));

    hge->System_SetState(StateLogFile, "error.log");
    hge->System_SetState(StateFrameFunc, FrameFunc);
    hge->System_SetState(StateRenderFunc, RenderFunc);
    hge->System_SetState(StateTitle, "Munchet Fast Prototype");
    hge->System_SetState(StateFps, 100);
    hge->System_SetState(StateWindowed, !options.fullscreen);
    hge->System_SetState(StateScreenWidth, 1024);
    hge->System_SetState(StateScreenHeight, 768);
    hge->System_SetState(StateScreenBpp, 32);
    hge->System_SetState(StateShowSplash, false);

    game.renderer = RenderScene;
    game.scoreExchange = ExchangeScores;

    int exitCode = 0;
    if (hge->System_Initiate()) {
        LoadResources();
        game.StartMusic();
        // The journal of this run's input starts with the game: with the
        // random state of this moment it is enough to play the run again.
        hge->Journal_Begin();
        game.StartGame();
        hge->System_Start();
    } else {
        // Reported, not swallowed: a game that cannot open its window has failed.
        std::fprintf(stderr, "munchet: cannot start: %s\n", hge->System_GetErrorMessage());
        exitCode = 1;
    }

    hge->System_Shutdown();
    hge->Release();
    hge = nullptr;
    return exitCode;
}
