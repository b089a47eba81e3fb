#pragma once

#include <cctype>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/web/ClockServer.h"

// The administrator signed in to a running server: pages read with the session's cookie, forms
// posted with or without the session's token.
class Administrator {
  public:
    explicit Administrator(const ClockServer& server) : m_port(server.port) {
        const auto signed_in = Ask(m_port, Login("correct+horse+battery"));
        std::smatch cookie;
        if (!std::regex_search(signed_in, cookie, std::regex("stampkind_admin=([0-9a-f]+)")))
            throw std::runtime_error("no session: " + signed_in);
        m_cookie = "Cookie: stampkind_admin=" + cookie[1].str() + "\r\n";
        std::smatch csrf;
        const auto page = Get("/admin/employees");
        if (!std::regex_search(page, csrf, std::regex("name=\"csrf\" value=\"([0-9a-f]+)\"")))
            throw std::runtime_error("no form token: " + page);
        m_csrf = csrf[1];
    }

    std::string Get(const std::string& path) const {
        return Ask(m_port, "GET " + path + " HTTP/1.1\r\nHost: t\r\n" + m_cookie + "\r\n");
    }
    // Posts the form's fields as they are; with `token`, the session's form token goes first.
    std::string Post(const std::string& path, const std::string& fields, bool token = true) const {
        const auto body = (token ? "csrf=" + m_csrf + "&" : std::string()) + fields;
        return Ask(m_port, PostForm(path, body, m_cookie));
    }
    // Posts the fields, URL-encoded, with the form token.
    std::string Post(const std::string& path,
                     const std::vector<std::pair<std::string, std::string>>& fields) const {
        std::string body;
        for (const auto& [name, value] : fields)
            body += (body.empty() ? "" : "&") + Encoded(name) + "=" + Encoded(value);
        return Post(path, body);
    }
    // Posts the form and reads the page it leads to, with the notice the change left.
    std::string Change(const std::string& path, const std::string& fields) const {
        const auto answer = Post(path, fields);
        std::smatch location;
        if (!std::regex_search(answer, location, std::regex("Location: (\\S+)")))
            return answer;
        return Get(location[1]);
    }

    static std::string Encoded(const std::string& text) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte)) {
                out += c;
            } else {
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            }
        }
        return out;
    }

  private:
    int m_port;
    std::string m_cookie;
    std::string m_csrf;
};
