// The platform the game runs on: SDL2 and OpenAL natively, the browser's
// own (WebGL, Web Audio, its keyboard and pads) in the browser build.
#pragma once

// A game watched in the page ends with its last frame, which stays on the
// canvas while the page offers to watch it again; a window holds that frame
// until Escape.
#ifdef __EMSCRIPTEN__
#include "engine/web/web_platform.h"
inline constexpr PlatformFactory GamePlatform = WebPlatform;
inline constexpr bool WatchEndsWithItsFrames = true;
#else
#include "engine/sdl/sdl_platform.h"
inline constexpr PlatformFactory GamePlatform = SdlPlatform;
inline constexpr bool WatchEndsWithItsFrames = false;
#endif
