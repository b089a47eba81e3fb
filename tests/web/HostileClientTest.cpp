#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "tests/web/ClockServer.h"

namespace {

using nlohmann::json;

// Small limits, so that each hostile client meets its limit at once.
json SmallLimits() {
    return {{"max_body_bytes", 4096},          {"max_header_bytes", 8192},
            {"max_url_bytes", 2048},           {"request_timeout_seconds", 1},
            {"idle_timeout_seconds", 1},       {"max_connections_per_address", 8},
            {"trusted_proxies", {"127.0.0.3"}}};
}

struct HostileCase {
    const char* name;
    // What the client sends, all at once; the server answers without waiting for the rest.
    std::string request;
    int status;
};

class HostileRequest : public ::testing::TestWithParam<HostileCase> {
  protected:
    static void SetUpTestSuite() { s_server = std::make_unique<ClockServer>(SmallLimits()); }
    static void TearDownTestSuite() { s_server.reset(); }
    static inline std::unique_ptr<ClockServer> s_server;
};

// Runs `client(i)` for each i below `count`, each on a thread of its own, and waits for them all.
void AllAtOnce(int count, const std::function<void(int)>& client) {
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back(client, i);
    for (auto& thread : threads)
        thread.join();
}

// What a sign-in with the (form-encoded) password from the address came to: "wrong" (checked and
// refused), "waits" (turned away after too many wrong ones), "in", or else the answer's status.
std::string SignIn(const ClockServer& server, const std::string& password,
                   const char* source = "127.0.0.1", const std::string& headers = "") {
    const auto answer = Ask(server.port, Login(password, headers), source);
    if (answer.find("refused=Wrong+password") != std::string::npos)
        return "wrong";
    if (answer.find("Too+many") != std::string::npos)
        return "waits";
    if (answer.find("Location: /admin/timesheet") != std::string::npos)
        return "in";
    return std::to_string(StatusOf(answer));
}

TEST_P(HostileRequest, IsAnsweredWithItsLimitsStatusAndClosed) {
    RawClient client(s_server->port);
    ASSERT_TRUE(client.Connected());
    // The server may close before it has read everything: what it answered is what counts.
    client.Send(GetParam().request);
    const auto answer = client.Receive();
    EXPECT_EQ(StatusOf(answer), GetParam().status) << answer.substr(0, 200);
    EXPECT_TRUE(client.Closed());
    // The server still serves.
    EXPECT_EQ(StatusOf(Ask(s_server->port, "GET /api/ping HTTP/1.1\r\nHost: t\r\n\r\n")), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Door, HostileRequest,
    ::testing::Values(
        HostileCase{"LongUrl", "GET /kiosk?" + std::string(3000, 'q') + " HTTP/1.1\r\n\r\n", 414},
        // Half a request line, then nothing: the request's time runs out.
        HostileCase{"Slowloris", "GET /kiosk HTTP/1.1\r\nHost: t\r\nX-a: b", 408},
        HostileCase{"GarbageBytes", std::string("\x16\x03\x01\x00\xa5\x01\x00\x00\xa1\r\n\r\n"),
                    400}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostileClient, IdleSocketsAreClosedAndConnectionsPerAddressAreBounded) {
    ClockServer server(SmallLimits());
    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 8; ++i)
        idle.push_back(std::make_unique<RawClient>(server.port));
    // One more from the same address is refused; another address is served.
    const auto refused = Ask(server.port, "GET /api/ping HTTP/1.1\r\n\r\n");
    EXPECT_EQ(StatusOf(refused), 503);
    EXPECT_EQ(StatusOf(Ask(server.port, "GET /api/ping HTTP/1.1\r\n\r\n", "127.0.0.2")), 200);
    // An idle socket is closed when its time runs out, with no answer.
    EXPECT_EQ(idle.front()->Receive(), "");
    EXPECT_TRUE(idle.front()->Closed());
}

TEST(HostileClient, TermStopsTheServerWhateverIsQueued) {
    ClockServer server(SmallLimits());
    RawClient slow(server.port);
    slow.Send("GET /kiosk HTTP/1.1\r\n");
    // Key checks from many addresses, most of them waiting for their turn when the stop comes.
    std::atomic<int> answered{0};
    std::thread guessers([&] {
        AllAtOnce(12, [&](int i) {
            RawClient client(server.port, ("127.0.1." + std::to_string(i + 1)).c_str());
            client.Send(PostJson("/api/kiosk/open", json{{"key", "guess"}}.dump()));
            ++answered;
            client.Receive();
        });
    });
    while (answered < 12)
        std::this_thread::yield();
    EXPECT_EQ(server.Stop(5000), 0);
    EXPECT_TRUE(Holds(server.ServerLog(), "stopping (terminated)\n")) << server.ServerLog();
    guessers.join();
}

TEST(ServerLimits, AWrongOneOrAPortInUseStopsTheStart) {
    ClockServer server(SmallLimits());
    // A second server on a port in use would share the kiosks with the first: it is refused.
    const auto port = "127.0.0.1:" + std::to_string(server.port);
    int status = -1;
    server.Run({"serve", "--listen", port, "--config", server.Config().string()}, "", &status);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Holds(server.Errors(), "cannot listen on " + port));
    for (const auto& [wrong, named] : std::vector<std::pair<json, std::string>>{
             {{{"max_body_bytes", -1}}, "max_body_bytes"},
             {{{"request_timeout_seconds", "ten"}}, "request_timeout_seconds"},
             {{{"worker_threads", 0}}, "worker_threads"},
             {{{"trusted_proxies", "127.0.0.1"}}, "trusted_proxies"},
             {{{"secure_cookies", "yes"}}, "secure_cookies"},
             {{{"max_body_byte", 4096}}, "max_body_byte"},
         }) {
        auto config = json::parse(std::ifstream(server.Config()));
        config["server_limits"] = wrong;
        std::ofstream(server.Config()) << config.dump();
        status = -1;
        server.Run({"serve", "--listen", "127.0.0.1:0", "--config", server.Config().string()}, "",
                   &status);
        EXPECT_EQ(status, 2) << named;
        EXPECT_TRUE(Holds(server.Errors(), named));
    }
}

// Whole answers as a client reads them: the headers every answer carries, a range asked for and
// never served, a page that is not there or not for the method, a body coded in a way the server
// does not read.
TEST(HostileClient, AnswersAreWholeAndSayWhatWasWrong) {
    ClockServer server(SmallLimits());
    const auto answer = [](const std::string& status, const std::string& body, bool kept = true,
                           const std::string& headers = "") {
        return "HTTP/1.1 " + status +
               "\r\nX-Content-Type-Options: nosniff\r\nX-Frame-Options: DENY\r\nReferrer-Policy: "
               "no-referrer\r\n" +
               headers +
               "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: " + (kept ? "keep-alive" : "close") + "\r\n\r\n" + body;
    };
    const auto ping = answer("200 OK", "{}", true, "Cache-Control: no-store\r\n");
    const std::pair<std::string, std::string> rows[] = {
        {"GET /api/ping HTTP/1.1\r\nHost: t\r\n\r\n", ping},
        {"GET /api/ping HTTP/1.1\r\nRange: bytes=0-0,1-1,2-2\r\n\r\n", ping},
        {"GET /api/ping HTTP/1.1\r\nConnection: close\r\n\r\n",
         answer("200 OK", "{}", false, "Cache-Control: no-store\r\n")},
        {"GET /nowhere HTTP/1.1\r\n\r\n", answer("404 Not Found", R"({"refused":"Not Found"})")},
        {"DELETE /api/ping HTTP/1.1\r\n\r\n",
         answer("405 Method Not Allowed", R"({"refused":"Method Not Allowed"})")},
        {"POST /api/kiosk/input HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n",
         answer("501 Not Implemented", R"({"refused":"Not Implemented"})", false)},
    };
    for (const auto& [request, whole] : rows)
        EXPECT_EQ(Ask(server.port, request), whole) << request;
}

// A kiosk page's session: opened with the key, sent in a header, its stream opened with a ticket.
class KioskSession : public ::testing::Test {
  protected:
    // The kiosk's session; "" when it was refused. The key is the server's kiosk "Front"'s unless
    // given.
    std::string Open(ClockServer& server, const char* source = "127.0.0.1",
                     const std::string& key = "", const char* kiosk = "Front") {
        return Field(
            Ask(server.port,
                PostJson("/api/kiosk/open",
                         json{{"key", key.empty() ? server.key : key}, {"kiosk", kiosk}}.dump()),
                source),
            "session");
    }
    std::string Ticket(ClockServer& server, const std::string& session) {
        return Field(Ask(server.port,
                         PostJson("/api/kiosk/ticket", "", "X-Kiosk-Session: " + session + "\r\n")),
                     "ticket");
    }
    // A text of the answer's JSON body; "" when there is none.
    static std::string Field(const std::string& answer, const char* name) {
        const auto body = json::parse(BodyOf(answer), nullptr, false);
        return body.is_object() && body.contains(name) ? body[name].get<std::string>() : "";
    }
    // The status of a key sent in the session from the address; its screen in `body`.
    int Key(ClockServer& server, const std::string& session, int key, std::string* body = nullptr,
            const char* source = "127.0.0.1") {
        const auto answer = Ask(server.port,
                                PostJson("/api/kiosk/input", json{{"key", key}}.dump(),
                                         "X-Kiosk-Session: " + session + "\r\n"),
                                source);
        if (body)
            *body = BodyOf(answer);
        return StatusOf(answer);
    }
    // Types the keys, a request each; the screen after the last.
    std::string Type(ClockServer& server, const std::string& session, std::string_view keys) {
        std::string screen;
        for (const char key : keys)
            EXPECT_EQ(Key(server, session, key, &screen), 200) << key;
        return screen;
    }
    static std::string Events(const std::string& query) {
        return "GET /api/kiosk/events?" + query + " HTTP/1.1\r\nHost: t\r\n\r\n";
    }
    static bool HasEvent(const std::string& text) {
        return text.find("data: ") != std::string::npos;
    }
};

TEST_F(KioskSession, TravelsInAHeaderAndItsStreamOpensWithATicketOfOneUse) {
    ClockServer server(SmallLimits());
    const auto session = Open(server);
    ASSERT_FALSE(session.empty());
    // The session itself never opens a stream.
    EXPECT_EQ(StatusOf(Ask(server.port, Events("session=" + session))), 403);
    const auto ticket = Ticket(server, session);
    RawClient first(server.port);
    first.Send(Events("ticket=" + ticket));
    EXPECT_TRUE(HasEvent(first.Receive(HasEvent)));
    // The ticket is used up.
    EXPECT_EQ(StatusOf(Ask(server.port, Events("ticket=" + ticket))), 403);
    // A second stream of the session ends the first.
    RawClient second(server.port);
    second.Send(Events("ticket=" + Ticket(server, session)));
    EXPECT_TRUE(HasEvent(second.Receive(HasEvent)));
    first.Receive();
    EXPECT_TRUE(first.Closed());
    // A key reaches the engine and its screen comes back on the stream.
    EXPECT_EQ(Key(server, session, '1'), 200);
    const auto typed = [](const std::string& text) { return Holds(text, "\"entry\":\"1\""); };
    EXPECT_TRUE(typed(second.Receive(typed)));
    // An input that is no JSON is refused as such.
    EXPECT_EQ(StatusOf(Ask(server.port, PostJson("/api/kiosk/input", "{\"key\": 4",
                                                 "X-Kiosk-Session: " + session + "\r\n"))),
              400);
}

TEST_F(KioskSession, IsServedWhileManySocketsAreHeldIdleOrHalfSent) {
    ClockServer server(SmallLimits());
    // More held connections than a server of a thread per connection had threads, from
    // addresses spread so that none passes its limit per address.
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 160; ++i) {
        const auto source = "127.0.3." + std::to_string(i / 4 + 1);
        held.push_back(std::make_unique<RawClient>(server.port, source.c_str()));
        if (i % 2 == 1)
            held.back()->Send("POST /api/kiosk/input HTTP/1.1\r\nContent-Length: 10\r\n\r\n{");
    }
    const auto session = Open(server);
    ASSERT_FALSE(session.empty());
    EXPECT_EQ(Key(server, session, '1'), 200);
    EXPECT_EQ(StatusOf(Ask(server.port, "GET /kiosk HTTP/1.1\r\n\r\n")), 200);
}

// A punch typed at the page is confirmed there: the screen after its last key names the employee
// and the punch. A page that says it shows the screen's pad gets the same screen without the pad's
// controls.
TEST_F(KioskSession, APunchTypedThereIsConfirmedAndAPageWithThePadGetsNoControls) {
    ClockServer server(SmallLimits());
    const auto session = Open(server);
    const auto at_pad = json::parse(Type(server, session, "1001\r"));
    ASSERT_TRUE(at_pad.contains("controls")) << at_pad;
    const auto answer =
        Ask(server.port, PostJson("/api/kiosk/input", json{{"key", '1'}}.dump(),
                                  "X-Kiosk-Session: " + session + "\r\nX-Kiosk-Pad: " +
                                      std::to_string(at_pad["pad"].get<int>()) + "\r\n"));
    const auto typed = json::parse(BodyOf(answer), nullptr, false);
    ASSERT_TRUE(typed.is_object()) << answer;
    EXPECT_FALSE(typed.contains("controls")) << typed;
    EXPECT_EQ(typed["entry"], "IN") << typed;
    const auto confirmed = json::parse(Type(server, session, "\r"));
    ASSERT_GE(confirmed["confirmation"].size(), 2u) << confirmed;
    EXPECT_EQ(confirmed["confirmation"][0], "Avery Stone");
    EXPECT_TRUE(std::regex_match(confirmed["confirmation"][1].get<std::string>(),
                                 std::regex(R"(IN \d\d/\d\d/\d{4} \d{1,2}:\d\d [AP]M)")))
        << confirmed;
}

// Only the whole token opens a session: the same token with its last character changed does not.
// The session ends with its kiosk.
TEST_F(KioskSession, OpensOnlyWithItsWholeTokenAndEndsWhenTheKioskIsRemoved) {
    ClockServer server(SmallLimits());
    const auto session = Open(server);
    ASSERT_EQ(Key(server, session, '1'), 200);
    auto altered = session;
    altered.back() = altered.back() == '0' ? '1' : '0';
    EXPECT_EQ(Key(server, altered, '2'), 403);
    server.Run({"kiosk-key", "remove", "Front", "--config", server.Config().string()});
    EXPECT_EQ(Key(server, session, '2'), 403);
    EXPECT_TRUE(Ticket(server, session).empty());
    EXPECT_EQ(Key(server, "forged", '2'), 403);
}

TEST_F(KioskSession, EndsWhenUnusedAndItsStreamWithIt) {
    auto limits = SmallLimits();
    limits["kiosk_session_seconds"] = 1;
    limits["stream_keepalive_seconds"] = 0.2;
    ClockServer server(limits);
    const auto session = Open(server);
    RawClient stream(server.port);
    stream.Send(Events("ticket=" + Ticket(server, session)));
    // The stream is ended by the server once the session has gone unused for its time.
    stream.Receive();
    ASSERT_TRUE(stream.Closed());
    EXPECT_EQ(Key(server, session, '1'), 403);
}

TEST_F(KioskSession, WrongKeysWaitByAddress) {
    ClockServer server(SmallLimits());
    const auto wrong = PostJson("/api/kiosk/open", json{{"key", "abc"}, {"kiosk", "Front"}}.dump());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(StatusOf(Ask(server.port, wrong)), 403) << i;
    const auto waiting = Ask(server.port, wrong);
    EXPECT_EQ(StatusOf(waiting), 429);
    EXPECT_TRUE(Holds(waiting, "Retry-After: 15"));
    // The kiosk itself, on another address, still opens, also by a link that does not name it.
    EXPECT_FALSE(Open(server, "127.0.0.2").empty());
    EXPECT_FALSE(Open(server, "127.0.0.2", "", "").empty());
}

TEST_F(KioskSession, PinGuessesFromOneAddressTakeTurnsWithOtherChecks) {
    auto limits = SmallLimits();
    limits["max_connections_per_address"] = 64;
    ClockServer server(limits);
    server.Run({"employee", "add", "--db", server.Database().string(), "--card", "9001", "--name",
                "Mina Hart", "--manager", "--pin-stdin"},
               "4321\n");
    const auto session = Open(server);
    const auto screen = Type(server, session, "9001\r");
    ASSERT_TRUE(Holds(screen, "\"state\":\"pin\""));
    Type(server, session, "1234");
    // Thirty Enters at once from one address: one checks the PIN typed, one more may wait for
    // its turn, and the rest are turned away before they take a worker or a check.
    std::atomic<int> answered{0}, turned{0};
    AllAtOnce(30, [&](int) {
        const int status = Key(server, session, 13, nullptr, "127.0.0.7");
        answered += status == 200;
        turned += status == 429;
    });
    EXPECT_GT(turned, 0);
    EXPECT_EQ(answered + turned, 30) << server.ServerLog();
    // Another kiosk, away from the PIN prompt, answers as ever.
    std::smatch link;
    const auto printed =
        server.Run({"kiosk-key", "add", "Back", "--config", server.Config().string()});
    ASSERT_TRUE(std::regex_search(printed, link, std::regex("key=([a-z2-7]+)")));
    const auto back = Open(server, "127.0.0.2", link[1].str(), "Back");
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(Key(server, back, '1'), 200);
}

TEST(AdminSignIn, ParallelWrongPasswordsAreCountedBeforeTheyAreChecked) {
    auto limits = SmallLimits();
    limits["max_connections_per_address"] = 64;
    ClockServer server(limits);
    std::atomic<int> checked{0};
    AllAtOnce(24, [&](int) { checked += SignIn(server, "guess", "127.0.0.4") == "wrong"; });
    EXPECT_LE(checked, 5);
    // Most were turned away before any check (two of an address at a time); one after another,
    // the address gets the rest of its five.
    for (int i = 0; i < 5 && checked < 5; ++i)
        checked += SignIn(server, "guess", "127.0.0.4") == "wrong";
    EXPECT_EQ(checked, 5);
    // The right password from this address now waits; from another it signs in.
    EXPECT_EQ(SignIn(server, "correct+horse+battery", "127.0.0.4"), "waits");
    const auto signed_in = Ask(server.port, Login("correct+horse+battery"), "127.0.0.2");
    EXPECT_TRUE(Holds(signed_in, "Location: /admin/timesheet"));
    EXPECT_FALSE(Holds(signed_in, "; Secure"));
}

TEST(AdminSignIn, WrongPasswordsAreStillCountedAfterARestart) {
    ClockServer server(SmallLimits());
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(SignIn(server, "guess", "127.0.0.6"), "wrong") << i;
    server.Restart();
    EXPECT_EQ(SignIn(server, "guess", "127.0.0.6"), "waits") << server.ServerLog();
    EXPECT_EQ(SignIn(server, "correct+horse+battery", "127.0.0.2"), "in");
}

TEST(AdminSignIn, ChecksBeyondTheQueueAreTurnedAwayAtOnce) {
    auto limits = SmallLimits();
    limits["password_queue"] = 2;
    ClockServer server(limits);
    std::atomic<int> checked{0}, busy{0};
    AllAtOnce(30, [&](int i) {
        const auto said = SignIn(server, "guess", ("127.0.2." + std::to_string(i + 1)).c_str());
        busy += said == "503";
        checked += said == "wrong";
    });
    EXPECT_GT(busy, 0);
    EXPECT_EQ(checked + busy, 30) << server.ServerLog();
}

// Behind the trusted proxy, tries count for the client it names and the cookie is Secure when
// the proxy took the request over TLS; a client that is not the proxy names nobody.
TEST(AdminSignIn, BehindATrustedProxyTheClientAndTlsAreThoseItNames) {
    ClockServer server(SmallLimits());
    const auto from = [](const char* client) {
        return std::string("X-Forwarded-For: 10.1.1.1, ") + client + "\r\n";
    };
    for (int i = 0; i < 5; ++i)
        SignIn(server, "guess", "127.0.0.3", from("192.0.2.7"));
    EXPECT_EQ(SignIn(server, "guess", "127.0.0.3", from("192.0.2.7")), "waits");
    EXPECT_EQ(SignIn(server, "correct+horse+battery", "127.0.0.3", from("192.0.2.8")), "in");
    for (int i = 0; i < 5; ++i)
        SignIn(server, "guess", "127.0.0.5", from("192.0.2.9"));
    EXPECT_EQ(SignIn(server, "guess", "127.0.0.5", from("192.0.2.10")), "waits");
    const auto tls = "X-Forwarded-Proto: https\r\n";
    EXPECT_TRUE(
        Holds(Ask(server.port, Login("correct+horse+battery", tls), "127.0.0.3"), "; Secure"));
    EXPECT_FALSE(
        Holds(Ask(server.port, Login("correct+horse+battery", tls), "127.0.0.2"), "; Secure"));
}

TEST_F(KioskSession, ANameThatIsNotUtf8AbortsNothing) {
    ClockServer server(SmallLimits());
    // A name stored by an older version, with a byte that is not UTF-8.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(server.Database().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE \"Employees\" SET \"Name\" = 'Zo' || X'EB' || ' Smith'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // The card typed at a kiosk shows the name, its broken byte replaced.
    const auto screen = Type(server, Open(server), "1001\r");
    EXPECT_TRUE(Holds(screen, "Zo\xEF\xBF\xBD Smith"));
    EXPECT_EQ(StatusOf(Ask(server.port, "GET /api/ping HTTP/1.1\r\n\r\n")), 200);
}

// A name given to `timeclock employee add` is UTF-8 or refused, and counted in characters.
TEST(NamesAtTheDoors, AreUtf8AndCountedInCharacters) {
    ClockServer server(SmallLimits());
    std::string e_acute;
    for (int i = 0; i < 31; ++i)
        e_acute += "\xC3\xA9";
    const struct {
        const char* why;
        std::string name;
        int status;
    } rows[] = {{"ThirtyOneAccents", e_acute, 0},
                {"SixtyOneLetters", std::string(61, 'a'), 2},
                {"NotUtf8", "Bad \xFF name", 2}};
    int card = 2000;
    for (const auto& row : rows) {
        int status = -1;
        server.Run({"employee", "add", "--db", server.Database().string(), "--card",
                    std::to_string(++card), "--name", row.name},
                   "", &status);
        EXPECT_EQ(status, row.status) << row.why;
    }
}

}  // namespace
