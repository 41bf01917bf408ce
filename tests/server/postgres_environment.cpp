#include "tests/server/postgres_environment.h"

#include <gtest/gtest.h>

namespace {

struct Shared {
    std::unique_ptr<ThrowAwayPostgres> server;
    std::string error;
    bool tried = false;
};

Shared& TheShared() {
    static Shared shared;
    return shared;
}

class PostgresEnvironment : public testing::Environment {
public:
    void TearDown() override { TheShared().server.reset(); }
};

[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new PostgresEnvironment);

}  // namespace

ThrowAwayPostgres* SharedPostgres(std::string& error) {
    Shared& shared = TheShared();
    if (!shared.tried) {
        shared.tried = true;
        // In the build tree: removed with it, and shared by its test programs.
        auto server = std::make_unique<ThrowAwayPostgres>(
            false, std::filesystem::path(MUNCHET_BINARY_DIR) / "tests" / "postgres-cluster");
        if (server->Start(shared.error)) {
            shared.server = std::move(server);
        } else {
            shared.error =
                "cannot start a PostgreSQL server for the tests (the package postgresql provides it): " +
                shared.error;
        }
    }
    error = shared.error;
    return shared.server.get();
}
