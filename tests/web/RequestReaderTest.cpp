#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/web/RequestReader.h"

namespace timeclock::web {
namespace {

ServerLimits SmallLimits() {
    ServerLimits limits;
    limits.max_body_bytes = 64;
    limits.max_header_bytes = 1024;
    limits.max_header_count = 8;
    limits.max_url_bytes = 128;
    return limits;
}

struct Outcome {
    RequestReader::Verdict verdict;
    int status = 0;
    Request request;
};

// Feeds `wire` to readers `piece` bytes at a time, as a slow client would send it, one request
// after another as on one connection: each request read whole, and the refusal that ends the
// connection. A request still waiting for bytes when the wire ends is left out.
std::vector<Outcome> Read(const std::string& wire, size_t piece) {
    using Verdict = RequestReader::Verdict;
    std::vector<Outcome> outcomes;
    const auto limits = SmallLimits();  // the readers keep a reference to it
    auto reader = std::make_unique<RequestReader>(limits);
    std::string pending;
    for (size_t at = 0; at < wire.size(); at += piece) {
        pending += wire.substr(at, piece);
        auto verdict = reader->Feed(pending);
        for (; verdict == Verdict::Complete; verdict = reader->Feed(pending)) {
            outcomes.push_back({verdict, 0, reader->Take()});
            reader = std::make_unique<RequestReader>(limits);
        }
        if (verdict == Verdict::Refused) {
            outcomes.push_back({verdict, reader->Refusal(), {}});
            break;
        }
    }
    return outcomes;
}

std::string Chunked(size_t chunks, size_t size) {
    std::string wire =
        "POST /api/kiosk/input HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n";
    char head[16];
    std::snprintf(head, sizeof head, "%zx\r\n", size);
    for (size_t i = 0; i < chunks; ++i)
        wire += head + std::string(size, 'a') + "\r\n";
    return wire + "0\r\n\r\n";
}

struct DoorCase {
    const char* name;
    std::string wire;
    int status;  // 0: the request is read whole
};

class DoorLimits : public ::testing::TestWithParam<DoorCase> {};

TEST_P(DoorLimits, RefusesWithTheLimitsStatusWhateverThePieces) {
    const auto& row = GetParam();
    for (size_t piece : {size_t{1}, size_t{7}, row.wire.size()}) {
        const auto outcomes = Read(row.wire, piece);
        ASSERT_FALSE(outcomes.empty()) << "pieces of " << piece;
        const auto& outcome = outcomes.front();
        if (row.status == 0) {
            EXPECT_EQ(outcome.verdict, RequestReader::Verdict::Complete) << "pieces of " << piece;
        } else {
            EXPECT_EQ(outcome.verdict, RequestReader::Verdict::Refused) << "pieces of " << piece;
            EXPECT_EQ(outcome.status, row.status) << "pieces of " << piece;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DoorLimits,
    ::testing::Values(
        DoorCase{"PlainGet", "GET /kiosk HTTP/1.1\r\nHost: x\r\n\r\n", 0},
        DoorCase{"BodyAtItsLimit",
                 "POST /a HTTP/1.1\r\nContent-Length: 64\r\n\r\n" + std::string(64, 'b'), 0},
        DoorCase{"LengthPastTheLimit",
                 "POST /a HTTP/1.1\r\nContent-Length: 65\r\n\r\n" + std::string(65, 'b'), 413},
        DoorCase{"HugeLengthRefusedBeforeItsBody",
                 "POST /a HTTP/1.1\r\nContent-Length: 250000000\r\n\r\n", 413},
        DoorCase{"ChunkedWithinTheLimit", Chunked(2, 10), 0},
        // The final chunk alone, which a slow client sends a byte at a time.
        DoorCase{"EmptyChunkedBody", Chunked(0, 0), 0},
        DoorCase{"ChunkedPastTheLimit", Chunked(100, 10), 413},
        // 40 bytes of payload, 120 bytes on the wire: the framing counts.
        DoorCase{"ChunkFramingCounts", Chunked(40, 1), 413},
        DoorCase{"ChunkExtensionWithoutEnd",
                 "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(500, 'e'),
                 413},
        DoorCase{"ChunkSizeNotHex", "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
                 400},
        DoorCase{"UnknownTransferCoding", "POST /a HTTP/1.1\r\nTransfer-Encoding: gzip\r\n\r\n",
                 501},
        DoorCase{"TooManyHeaders",
                 [] {
                     std::string wire = "GET / HTTP/1.1\r\n";
                     for (int i = 0; i < 9; ++i)
                         wire += "X-" + std::to_string(i) + ": v\r\n";
                     return wire + "\r\n";
                 }(),
                 431},
        DoorCase{"HeadersPastTheirSize",
                 "GET / HTTP/1.1\r\nX-Big: " + std::string(2000, 'h') + "\r\n\r\n", 431},
        DoorCase{"HeadersThatNeverEnd", "GET / HTTP/1.1\r\nX-Big: " + std::string(5000, 'h'), 431},
        DoorCase{"TargetPastItsLimit",
                 "GET /" + std::string(200, 'u') + " HTTP/1.1\r\nHost: x\r\n\r\n", 414},
        DoorCase{"RequestLineThatNeverEnds", "GET /" + std::string(5000, 'u'), 414},
        DoorCase{"NotHttp", "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 400}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestReader, ReadsParametersOfTheQueryAndTheForm) {
    const auto outcomes = Read(
        "POST /admin/login?from=a%20b HTTP/1.1\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nContent-Length: 23\r\n\r\npassword=x%26y+z&empty=",
        5);
    ASSERT_EQ(outcomes.size(), 1u);
    ASSERT_EQ(outcomes[0].verdict, RequestReader::Verdict::Complete);
    const auto& request = outcomes[0].request;
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/admin/login");
    EXPECT_EQ(request.get_param_value("from"), "a b");
    EXPECT_EQ(request.get_param_value("password"), "x&y z");
    EXPECT_TRUE(request.has_param("empty"));
    EXPECT_EQ(request.get_header_value("content-length"), "23");
}

TEST(RequestReader, LeavesThePipelinedRequestForTheNext) {
    const auto outcomes =
        Read("POST /a HTTP/1.1\r\nContent-Length: 2\r\n\r\nokGET /b HTTP/1.1\r\n\r\n", 1000);
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].request.body, "ok");
    EXPECT_EQ(outcomes[1].verdict, RequestReader::Verdict::Complete);
    EXPECT_EQ(outcomes[1].request.path, "/b");
}

// Every input kept from fuzzing (after its first byte, which the fuzzer reads apart), sent a byte
// at a time and in larger pieces: each request is read whole or refused with a door status, and
// the reader never stops the process.
TEST(RequestReader, ReadsTheKeptFuzzInputsInAnyPieces) {
    const auto folder = std::filesystem::path(STAMPKIND_SOURCE_DIR) / "fuzz/corpus/http";
    size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string wire{std::istreambuf_iterator<char>(file), {}};
        ++inputs;
        for (size_t piece : {size_t{1}, size_t{4}, size_t{64}}) {
            for (const auto& outcome : Read(wire.empty() ? wire : wire.substr(1), piece))
                EXPECT_TRUE(outcome.verdict != RequestReader::Verdict::Refused ||
                            outcome.status >= 400)
                    << entry.path().filename() << " refused with " << outcome.status;
        }
    }
    EXPECT_GE(inputs, size_t{4});
}

}  // namespace
}  // namespace timeclock::web
