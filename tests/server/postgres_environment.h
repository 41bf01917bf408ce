// The one PostgreSQL server of a test program: started by the first test
// that asks for it, stopped when every test has run (a GoogleTest global
// environment), so each test costs a new database, not a new server.
#pragma once

#include <string>

#include "tests/server/postgres_server.h"

// The shared server, or nullptr with the reason it could not be started
// (then every later call gives the same reason without trying again).
ThrowAwayPostgres* SharedPostgres(std::string& error);
