#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "host/web/RequestReader.h"

using timeclock::web::RequestReader;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

// Reads arbitrary bytes as whole HTTP requests, one after another on one connection, in pieces
// whose sizes the first byte chooses. Whatever the bytes, a request is either refused with one of
// the door's statuses or read whole within the limits; the reader never keeps more than its
// limits allow.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    timeclock::web::ServerLimits limits;
    limits.max_body_bytes = 256;
    limits.max_header_bytes = 512;
    limits.max_header_count = 16;
    limits.max_url_bytes = 128;
    const size_t piece = 1 + data[0] % 64;
    std::string_view wire(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string pending;
    auto reader = std::make_unique<RequestReader>(limits);
    while (!wire.empty() || !pending.empty()) {
        const auto take = std::min(piece, wire.size());
        pending.append(wire.substr(0, take));
        wire.remove_prefix(take);
        const auto before = pending.size();
        const auto verdict = reader->Feed(pending);
        Check(pending.size() <= before);
        if (verdict == RequestReader::Verdict::Refused) {
            const int status = reader->Refusal();
            Check(status == 400 || status == 413 || status == 414 || status == 431 ||
                  status == 501);
            return 0;
        }
        if (verdict == RequestReader::Verdict::More) {
            // Waiting for more: what is held stays within the limits.
            Check(pending.size() <= limits.max_header_bytes + limits.max_body_bytes + piece);
            if (wire.empty())
                return 0;
            continue;
        }
        const auto request = reader->Take();
        Check(request.body.size() <= limits.max_body_bytes);
        Check(request.headers.size() <= limits.max_header_count);
        Check(request.path.size() <= limits.max_url_bytes);
        reader = std::make_unique<RequestReader>(limits);
    }
    return 0;
}
