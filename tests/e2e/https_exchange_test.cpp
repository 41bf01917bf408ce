// The game's own score exchange with the real server over HTTPS, under a
// throw-away certificate authority: a certificate that chains to a trusted
// authority and names the host takes the score; any other is refused before
// a byte of it is sent, and the score waits in the outbox.
#include <gtest/gtest.h>

#include "scores/score_exchange_client.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/throwaway_ca.h"

namespace {

// Which authorities the game trusts.
enum class Authorities { throwaway, system, missingFile };

struct Trust {
    const char* name;
    const char* certificateName;  // the DNS name the server's certificate is for
    Authorities authorities;
    SubmissionFate fate;
};

void PrintTo(const Trust& trust, std::ostream* out) { *out << trust.name; }

struct HttpsExchange : testing::TestWithParam<Trust> {};

TEST_P(HttpsExchange, TheCertificateDecidesWhetherTheScoreGoes) {
    const Trust& trust = GetParam();
    ThrowawayCa ca;
    ASSERT_TRUE(ca.Make() && ca.Issue("server", trust.certificateName, "munchet test server"))
        << "certtool (gnutls-bin) is needed";
    e2e::ScoreServer server;
    ASSERT_TRUE(server.Start(0, {"--tls-cert", ca.File("server.pem"), "--tls-key", ca.File("server.key")}))
        << server.Log();
    ScopedEnvironment environment;
    const std::string missing = server.dir.File("no-such-authorities.pem");
    environment.Set("MUNCHET_SCORE_CA_FILE", trust.authorities == Authorities::throwaway ? ca.CaFile().c_str()
                                             : trust.authorities == Authorities::missingFile ? missing.c_str()
                                                                                             : nullptr);

    std::string lines;
    ScoreExchangeClient client({"https://localhost:" + std::to_string(server.port), std::chrono::seconds(5),
                                server.dir.File("outbox"),
                                [&](std::string_view line) { lines.append(line).append("\n"); }});
    const ScoreSubmission game{"Ada", static_cast<std::int32_t>(e2e::ScoreFor(1, 3, 0)), 1, 3, 0};
    const ScoreExchangeResult result = client.Exchange(&game);
    EXPECT_EQ(result.fate, trust.fate) << lines;
    const bool stored = trust.fate == SubmissionFate::Stored;
    EXPECT_EQ(result.tableReceived, stored) << lines;
    EXPECT_EQ(e2e::StoredRows(server.Database()).size(), stored ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    , HttpsExchange,
    testing::Values(Trust{"Trusted", "localhost", Authorities::throwaway, SubmissionFate::Stored},
                    Trust{"AnotherName", "scores.example.org", Authorities::throwaway, SubmissionFate::Kept},
                    Trust{"UnknownAuthority", "localhost", Authorities::system, SubmissionFate::Kept},
                    Trust{"NoAuthorityFile", "localhost", Authorities::missingFile, SubmissionFate::Kept}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
