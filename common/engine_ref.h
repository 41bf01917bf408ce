#pragma once

#include "engine/engine.h"

// The program's reference to the engine, taken by start-up with
// hgeCreate(EngineVersion) and kept for the whole run (tests set it to their
// headless engine). Game code calls the platform only through it.
extern Engine* hge;
