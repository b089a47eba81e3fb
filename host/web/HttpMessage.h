#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace timeclock::web {

// Orders header names without regard to case, as HTTP compares them.
struct CaseBlindLess {
    bool operator()(std::string_view a, std::string_view b) const;
    using is_transparent = void;
};

// One request as the pages see it, after the door has checked its limits: its method, path,
// headers, parameters (of the query and of a form's body), body and the address it came from.
struct Request {
    std::string method;
    std::string path;
    std::map<std::string, std::string, CaseBlindLess> headers;
    std::multimap<std::string, std::string> params;
    std::string body;
    std::string remote_addr;
    // It reached the server over TLS (a trusted proxy said so, or the server is set to say so).
    bool secure = false;

    // The value of a header or parameter; empty when there is none.
    std::string get_header_value(std::string_view name) const;
    std::string get_param_value(const std::string& name) const;
    bool has_param(const std::string& name) const { return params.count(name) > 0; }
};

// A stream of server-sent events. The server asks it for the next event when it is woken and
// when the stream has been quiet for a while; it never holds a thread while it waits.
class EventFeed {
  public:
    virtual ~EventFeed() = default;
    // The next event's text; empty when there is nothing new; none when the stream is to end.
    // Called on the connection's strand, one call at a time.
    virtual std::optional<std::string> Next() = 0;
    // Tells the server's connection, from any thread, that Next may have something.
    void Wake();
    // Set by the server's connection; cleared when the connection ends.
    void SetWaker(std::function<void()> waker);

  private:
    std::mutex m_mutex;
    std::function<void()> m_waker;
};

// The answer to a request: a status, headers and a body, or an event stream.
struct Response {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string content_type;
    std::shared_ptr<EventFeed> feed;

    void set_header(std::string name, std::string value);
    void set_content(std::string text, std::string type);
    // 302 unless told; the location must be a path of this server.
    void set_redirect(const std::string& location, int redirect_status = 302);
};

// Decodes "%41+b" to "A b"; false when an escape is not two hex digits.
bool UrlDecode(std::string_view text, std::string& out);

// Adds the parameters of "a=1&b=2" to `params`; pairs that do not decode are left out.
void AddParams(std::string_view text, std::multimap<std::string, std::string>& params);

}  // namespace timeclock::web
