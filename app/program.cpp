#include "app/program.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/exchange_runner.h"
#include "app/file_locations.h"
#include "app/game_audio.h"
#include "app/key_settings.h"
#include "app/load_resources.h"
#include "app/page_state.h"
#include "app/platform.h"
#include "app/replays.h"
#include "app/settings_keeper.h"
#include "common/split_first.h"
#include "game/game.h"
#include "render/render.h"
#include "render/scene.h"
#include "scores/score_exchange_client.h"
#include "scores/score_host.h"
#include "scores/ticket_keeper.h"

// The one game, built before main runs and destroyed after it returns.
Game game;

namespace {

// The wall time of the whole score exchange at the end of a game, chosen at
// build time.
constexpr std::chrono::milliseconds ExchangeBudget{MUNCHET_EXCHANGE_BUDGET_MS};
static_assert(ExchangeBudget >= MinExchangeBudget && ExchangeBudget <= MaxExchangeBudget,
              "MUNCHET_EXCHANGE_BUDGET_MS must lie between 300 and 60000");

// The name and the music volume, kept between runs; made at start-up.
std::optional<SettingsKeeper> settings;
// What the game is drawn with and sounds with; loaded at start-up.
Scene scene;
GameAudio audio;

// The engine of the run, from start-up to shutdown: the frame and render
// callbacks take no context, so they find it here.
Engine* engine = nullptr;

// Talks to the score server when a game ends; made at start-up unless a
// replay is watched.
std::optional<ExchangeRunner> exchange;
// The game tickets, for the games played (not for a replay watched).
std::optional<TicketKeeper> tickets;

GameTicket TakeTicket() { return tickets ? tickets->Take() : GameTicket{}; }

// Frames run by FrameFunc in this run.
int framesRun = 0;

void StartExchange() {
    const ScoreExchangeRequest& request = *game.exchangeWanted;
    // The game stands still for the exchange anyway: the next game's ticket
    // is fetched meanwhile, should none be at hand.
    tickets->Refill();
    exchange->Start(request, request.submission ? ReplayForSubmission(*request.submission) : "");
}

bool FrameFunc() {
    // Tickets are fetched once the first frame is on screen: loading libcurl
    // beside it delays it by some 10 ms (bench_startup).
    if (++framesRun == 2) tickets->Start();
    if (exchange->Busy()) {
        // No frame of the game runs until the exchange is over, so a replay
        // holds the frames it would if the exchange took no time; the window
        // meanwhile goes on drawing the game as it stands. Escape quits at
        // once: what was surely not sent waits in the outbox.
        std::optional<ScoreExchangeResult> result = exchange->TakeResult();
        if (!result) {
            // The game did not take this frame: nor does a run played again.
            engine->Journal_DropFrame();
            if (!engine->Input_GetKeyState(Key::Escape)) return false;
            exchange->Abandon();
            return true;
        }
        game.TakeExchange(std::move(*result));
    }
    const FrameInput& input = engine->Input_GetFrame();
    if (game.Frame(input)) return true;
    audio.Play(*engine, game.effects);
    // The finished game's replay goes with its score: it is taken before the
    // frame is recorded, which would keep it as a game nobody sent.
    if (game.exchangeWanted) StartExchange();
    RecordFrame(game, input);
    // Kept as they change, but not at every letter of a name being typed.
    if (!game.nameEntry) settings->Keep(game.playerName, game.musicVolume);
    return false;
}
void LogLine(std::string_view line) {
    engine->System_Log("%.*s", static_cast<int>(line.size()), line.data());
}

bool WatchFrameFunc() {
    ++framesRun;
    const bool over = WatchFrame(*engine, game, audio);
    // A replay watched sends nothing.
    if (game.exchangeWanted) game.TakeExchange(NoScoreServer(*game.exchangeWanted));
    return over || (WatchEndsWithItsFrames && !engine->Journal_IsPlaying());
}
bool RenderFunc() {
    RenderScene(scene, game, audio.MusicGliding(*engine));
    return false;
}

constexpr const char* Usage =
    "usage: munchet [/WINDOW] [/SERVER=host[:port]] [/REPLAY=file] [--help] [--version]\n";
constexpr const char* Help =
    "Munchet Fast Prototype: herd the drifting food into the goal past the munchets.\n"
    "\n"
    "  /WINDOW              play in a window that fits the desktop (1024 x 768\n"
    "                       at most, resizable) instead of full screen (any\n"
    "                       letter case)\n"
    "  /SERVER=host[:port]  the score server to send games to, or\n"
    "                       https://host[:port] for HTTPS (default %s)\n"
    "  /REPLAY=file         watch a kept game again (they are kept in\n"
    "                       $XDG_DATA_HOME/munchet/replays, ~/.local/share/...);\n"
    "                       Escape quits; nothing is sent\n"
    "  --help, -h, /?       show this text\n"
    "  --version            show the version\n"
    "\n"
    "The game reads its pictures, sounds and font from data/ in the working\n"
    "directory when there is one, and writes error.log beside it; otherwise it\n"
    "reads the installed data and logs to $XDG_STATE_HOME/munchet/error.log\n"
    "(~/.local/state/munchet/error.log). Keys: arrows move, Shift focuses, F1 and\n"
    "F2 start a one- or two-player game, M sets the music volume, Escape quits.\n"
    "Gamepads: the first drives the arrow-key player, the second the W A S D one;\n"
    "the stick or d-pad moves, A, a shoulder or a trigger focuses (A also sends\n"
    "the name), B erases a letter, X is R, Y is M, Start is F1, Back is F2, and\n"
    "Start with Back quits. The name typed last, the music volume, the window and\n"
    "the players' keys (player2-up=W, ...: see the manual) are kept in\n"
    "$XDG_CONFIG_HOME/munchet/settings (~/.config/munchet/settings).\n";

// An argument as it may be shown on a terminal: control and other bytes a
// hostile command line could drive the terminal with become '?'.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
    return text;
}

// One piece of the command line as given, and where it starts in the line.
struct Piece {
    std::size_t start;
    std::string given;
};

std::string UpperCased(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The switches read in any letter case; token upper-cased.
bool IsSlashSwitch(const std::string& token) {
    return token == "/WINDOW" || token.starts_with("/SERVER=") || token.starts_with("/REPLAY=");
}

// A piece that opens a switch of its own, and so ends a path before it.
bool StartsSwitch(const std::string& given) {
    return IsSlashSwitch(UpperCased(given)) || given == "--help" || given == "-h" || given == "/?" ||
           given == "--version";
}

}  // namespace

CommandLineOptions ParseCommandLine(std::string commandLine, std::size_t programPathLength) {
    if (programPathLength == ProgramPathIsFirstPiece) programPathLength = commandLine.find(' ');
    const std::string whole = commandLine;
    std::vector<Piece> pieces;
    std::string token;
    while (true) {
        const std::size_t start = whole.size() - commandLine.size();
        if (!SplitFirst(commandLine, " ", token)) break;
        pieces.push_back({start, token});
    }
    CommandLineOptions options;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto& [start, given] = pieces[i];
        token = UpperCased(given);
        const bool known = IsSlashSwitch(token);
        if (token == "/WINDOW") options.fullscreen = false;
        if (token.starts_with("/SERVER=")) options.scoreServer = given.substr(8);
        if (token.starts_with("/REPLAY=")) {
            // A path may hold blanks, and the line joined from the shell's
            // words has lost where the argument ended: the path runs on to
            // the next switch, or to the end of the line.
            std::size_t next = i + 1;
            while (next < pieces.size() && !StartsSwitch(pieces[next].given)) ++next;
            const std::size_t from = start + 8;
            const std::size_t to = next < pieces.size() ? pieces[next].start - 1 : whole.size();
            options.replayFile = whole.substr(from, to - from);
            i = next - 1;
        }
        if (start < programPathLength || given.empty() || known) continue;
        if (given == "--help" || given == "-h" || given == "/?")
            options.help = true;
        else if (given == "--version")
            options.version = true;
        else
            options.unknown.push_back(given);
    }
    return options;
}

int RunProgram(const std::string& commandLine, std::size_t programPathLength) {
    const CommandLineOptions options = ParseCommandLine(commandLine, programPathLength);
    if (!options.unknown.empty()) {
        for (const std::string& argument : options.unknown)
            std::fprintf(stderr, "munchet: unknown argument \"%s\"\n", Printable(argument).c_str());
        std::fprintf(stderr, "%s(munchet --help tells more)\n", Usage);
        return 2;
    }
    if (options.help) {
        std::printf("%s\n", Usage);
        std::printf(Help, ScoreServerHost().c_str());
        return 0;
    }
    if (options.version) {
        std::printf("munchet (Munchet Fast Prototype) %s\n", MUNCHET_VERSION);
        return 0;
    }
    if (options.scoreServer) SetScoreServerHost(*options.scoreServer);
    std::optional<ReplayToWatch> watched;
    if (options.replayFile) {
        std::string error;
        watched = LoadReplayToWatch(*options.replayFile, error);
        if (!watched) {
            std::fprintf(stderr, "munchet: %s\n", Printable(error).c_str());
            return 1;
        }
    }

    engine = hgeCreate(EngineVersion);
    if (!engine) {
        std::fprintf(stderr, "munchet: the engine is not available\n");
        return 1;
    }
    engine->System_SetPlatform(GamePlatform);
    game.random.Seed(static_cast<std::uint32_t>(std::time(nullptr)));

    engine->System_SetState(StateLogFile, LogFile().c_str());
    engine->System_SetState(StateFrameFunc, watched ? WatchFrameFunc : FrameFunc);
    engine->System_SetState(StateRenderFunc, RenderFunc);
    engine->System_SetState(StateTitle, "Munchet Fast Prototype");
    engine->System_SetState(StateFps, 100);
    engine->System_SetState(StateWindowed, !options.fullscreen);
    engine->System_SetState(StateScreenWidth, 1024);
    engine->System_SetState(StateScreenHeight, 768);

    // The exchange's failures and outbox changes belong in the game's log.
    if (!watched) exchange.emplace(ScoreClientSettings{ScoreServerHost(), ExchangeBudget, "", LogLine});

    // Read before the window opens: it opens as it was kept, keys bound.
    settings =
        SettingsKeeper::ForPlayer([](const std::string& line) { engine->System_Log("%s", line.c_str()); });
    const KeptSettings kept = settings->Load();
    engine->System_SetWindowLayout(kept.window);
    engine->Input_SetBindings(RebindingsFrom(kept));

    int exitCode = 0;
    if (engine->System_Initiate()) {
        LoadResources(*engine, scene, audio);
        if (kept.playerName) game.playerName = *kept.playerName;
        game.musicVolume = kept.musicVolume.value_or(Game::StartVolume);
        audio.StartMusic(*engine, game.musicVolume);
        if (watched) {
            // Watching changes nothing the player keeps.
            StartWatching(*engine, game, *watched);
            engine->System_Start();
        } else {
            settings->Start(game.playerName, game.musicVolume);
            // Before the first game, which takes the ticket kept from the
            // last run when there is one; fresh ones come off the frame.
            tickets.emplace(TicketSettings{ScoreServerHost(), ExchangeBudget, "", LogLine, nullptr});
            game.takeTicket = TakeTicket;
            framesRun = 0;
            // The journal of this run's input starts with the game: with the
            // random state of this moment it is enough to play the run again
            // until a game begins with a ticket, this one included: that sets
            // the generator anew (each game's replay holds its own state).
            engine->Journal_Begin(game.random.GetState());
            game.Reset();
            game.StartGame();
            RecordGameBegan(*engine, game);
            engine->System_Start();
            // An exchange still under way (the window was closed) is given up.
            exchange.reset();
            RecordRunEnded();
            game.takeTicket = nullptr;
            // Before the engine shuts down: the keeper's thread logs through it.
            tickets.reset();
            settings->Keep(game.playerName, game.musicVolume);
            settings->KeepWindow(engine->System_GetWindowLayout());
        }
    } else {
        // Reported, not swallowed: a game that cannot open its window has failed.
        std::fprintf(stderr, "munchet: cannot start: %s\n", engine->System_GetErrorMessage());
        exitCode = 1;
    }

    engine->System_Shutdown();
    // The sprites and the font go with the engine they draw through.
    scene = Scene{};
    engine->Release();
    engine = nullptr;
    return exitCode;
}

// The browser build's page reads where the game stands through this (the
// native game never calls it). Valid until the next call.
extern "C" const char* munchet_state_json() {
    static std::string json;
    json = GameStateJson(game, framesRun);
    return json.c_str();
}
