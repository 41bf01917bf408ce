// Placeholder until the real-time loop is written.
#include "engine/engine_impl.h"

void RunWindowLoop(EngineImpl&) {}
int VirtualKeyFromSdl(int, int) { return 0; }
