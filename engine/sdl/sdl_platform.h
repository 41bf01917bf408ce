// The SDL2 and OpenAL platform: give it to System_SetPlatform before
// System_Initiate for a real window and sound (or, headless, for decoded
// pictures, screenshots and the loopback mixer).
#pragma once

#include <memory>

#include "engine/backend.h"

std::unique_ptr<Backend> SdlPlatform();
