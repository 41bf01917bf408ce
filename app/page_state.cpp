#include "app/page_state.h"

#include <cinttypes>
#include <cstdio>

#include "game/game.h"
#include "game/state_hash.h"

std::string GameStateJson(const Game& game, int framesRun) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "{\"frames\":%d,\"playerCount\":%d,\"level\":%d,\"score\":%d,\"munchets\":%d,\"food\":%d,",
                  framesRun, static_cast<int>(game.playerCount), static_cast<int>(game.level),
                  static_cast<int>(game.score), static_cast<int>(game.munchets), static_cast<int>(game.food));
    std::string json = text;
    json += "\"gameOver\":";
    json += game.gameOver ? "true" : "false";
    json += ",\"nameEntry\":";
    json += game.nameEntry ? "true" : "false";
    json += ",\"ghosts\":[";
    for (int i = 0; i < game.playerCount; ++i) {
        std::snprintf(text, sizeof text, "%s{\"x\":%.9g,\"y\":%.9g}", i ? "," : "",
                      static_cast<double>(game.players[i].x), static_cast<double>(game.players[i].y));
        json += text;
    }
    std::snprintf(text, sizeof text, "],\"stateHash\":\"%016" PRIx64 "\"}", HashState(game));
    return json + text;
}
