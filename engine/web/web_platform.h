// The browser platform: give it to System_SetPlatform before System_Initiate
// for WebGL drawing on the page's canvas (#screen), Web Audio and the
// page's keys and gamepads.
#pragma once

#include <memory>

#include "engine/backend.h"

std::unique_ptr<Backend> WebPlatform();
