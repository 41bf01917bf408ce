#include "common/engine_ref.h"

Engine* hge = nullptr;
