#pragma once

#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <string>

#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

// Reads one HTTP/1.1 request from the bytes a connection receives, in whatever pieces they come,
// and holds it to the door's limits as it goes: the request line and headers (431, or 414 for a
// target too long), the number of headers (431), and the body counted as it travels, chunk
// framing included, whatever its transfer coding (413); a transfer coding other than chunked is
// refused (501). Nothing past a limit is kept: a refused
// request costs at most its limits in memory. It does no input or output of its own.
class RequestReader {
  public:
    enum class Verdict { More, Complete, Refused };

    explicit RequestReader(const ServerLimits& limits);

    // Takes from the front of `pending` the bytes that belong to this request; what is left
    // belongs to the next one. More: the request needs more bytes.
    Verdict Feed(std::string& pending);
    // Some byte of this request has arrived (a connection that times out now gets 408).
    bool Started() const { return m_started; }
    // The status that answers a refused request.
    int Refusal() const { return m_refusal; }
    // The connection may carry another request after this one's answer.
    bool KeepAlive() const;
    // The complete request, for the pages; its address and security are the connection's.
    Request Take();

  private:
    Verdict Refuse(int status);
    // Checks the header once it is whole: the number of headers and the target's length.
    bool HeaderFits();

    const ServerLimits& m_limits;
    boost::beast::http::request_parser<boost::beast::http::string_body> m_parser;
    bool m_started = false;
    bool m_header_checked = false;
    size_t m_header_wire = 0;
    size_t m_body_wire = 0;
    int m_refusal = 0;
};

}  // namespace timeclock::web
