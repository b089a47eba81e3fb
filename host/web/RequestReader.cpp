#include "host/web/RequestReader.h"

#include <algorithm>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>

namespace timeclock::web {

namespace http = boost::beast::http;

namespace {

constexpr size_t kShortestChunkedEnd = 5;

}  // namespace

RequestReader::RequestReader(const ServerLimits& limits) : m_limits(limits) {
    m_parser.header_limit(static_cast<std::uint32_t>(limits.max_header_bytes));
    m_parser.body_limit(limits.max_body_bytes);
    // The header is taken alone first, so that the bytes of the body are counted apart.
    m_parser.eager(false);
}

RequestReader::Verdict RequestReader::Refuse(int status) {
    m_refusal = status;
    return Verdict::Refused;
}

bool RequestReader::HeaderFits() {
    const auto& header = m_parser.get();
    if (header.target().size() > m_limits.max_url_bytes) {
        m_refusal = 414;
        return false;
    }
    // A coding other than chunked would leave the body's end unknown.
    if (header.count(http::field::transfer_encoding) > 0 && !m_parser.chunked()) {
        m_refusal = 501;
        return false;
    }
    if (static_cast<size_t>(std::distance(header.begin(), header.end())) >
        m_limits.max_header_count) {
        m_refusal = 431;
        return false;
    }
    return true;
}

RequestReader::Verdict RequestReader::Feed(std::string& pending) {
    if (m_refusal)
        return Verdict::Refused;
    if (!pending.empty())
        m_started = true;
    while (!m_parser.is_done()) {
        if (pending.empty())
            return Verdict::More;
        // Beast reads a final chunk again from its start each time more of it comes, and holds
        // as certain that it then has at least five bytes: a debug build stops the process when
        // a body's only chunk, "0\r\n", is followed by one byte alone. Such a body is fed again
        // only once it has the five of its shortest end, "0\r\n\r\n".
        if (m_parser.is_header_done() && m_parser.chunked() &&
            pending.size() < kShortestChunkedEnd && pending.starts_with("0\r\n"))
            return Verdict::More;
        boost::beast::error_code error;
        const bool in_body = m_parser.is_header_done();
        const size_t used = m_parser.put(boost::asio::buffer(pending), error);
        (in_body ? m_body_wire : m_header_wire) += used;
        pending.erase(0, used);
        if (m_parser.is_header_done() && !m_header_checked) {
            m_header_checked = true;
            if (!HeaderFits())
                return Verdict::Refused;
            m_parser.eager(true);
        }
        // A header past its limit whose request line is longer than a target may be is refused
        // for its target.
        const auto header_refusal = [&] {
            const auto line =
                m_header_wire > 0 ? 0 : std::min(pending.find("\r\n"), pending.size());
            return Refuse(line > m_limits.max_url_bytes ? 414 : 431);
        };
        if (error == http::error::need_more) {
            if (!m_parser.is_header_done() && pending.size() > m_limits.max_header_bytes)
                return header_refusal();
            if (m_parser.is_header_done() && m_body_wire + pending.size() > m_limits.max_body_bytes)
                return Refuse(413);
            return Verdict::More;
        }
        if (error == http::error::header_limit)
            return header_refusal();
        if (error == http::error::body_limit)
            return Refuse(413);
        if (error)
            return Refuse(400);
        if (m_body_wire > m_limits.max_body_bytes)
            return Refuse(413);
        if (used == 0 && !m_parser.is_done())
            return Verdict::More;
    }
    return Verdict::Complete;
}

bool RequestReader::KeepAlive() const {
    return m_parser.is_header_done() && m_parser.get().keep_alive();
}

Request RequestReader::Take() {
    auto message = m_parser.release();
    Request request;
    request.method = std::string(message.method_string());
    const std::string_view target = message.target();
    const auto query = target.find('?');
    request.path = std::string(target.substr(0, query));
    if (query != std::string_view::npos)
        AddParams(target.substr(query + 1), request.params);
    for (const auto& field : message)
        request.headers[std::string(field.name_string())] = std::string(field.value());
    request.body = std::move(message.body());
    if (request.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded"))
        AddParams(request.body, request.params);
    return request;
}

}  // namespace timeclock::web
