// What the page around the browser build shows of the game and what its
// tests read: where the game stands, as one JSON object.
#pragma once

#include <string>

struct Game;

// {"frames":N,"playerCount":1,"level":0,"score":0,"munchets":0,"food":0,
//  "gameOver":false,"nameEntry":false,"ghosts":[{"x":..,"y":..}],
//  "stateHash":"16 hex digits"} (HashState; as text, a double would round it).
std::string GameStateJson(const Game& game, int framesRun);
