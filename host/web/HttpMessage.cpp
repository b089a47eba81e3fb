#include "host/web/HttpMessage.h"

#include <algorithm>
#include <cctype>

namespace timeclock::web {

bool CaseBlindLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Request::get_header_value(std::string_view name) const {
    const auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

std::string Request::get_param_value(const std::string& name) const {
    const auto found = params.find(name);
    return found == params.end() ? std::string() : found->second;
}

void EventFeed::Wake() {
    std::function<void()> waker;
    {
        std::lock_guard lock(m_mutex);
        waker = m_waker;
    }
    if (waker)
        waker();
}

void EventFeed::SetWaker(std::function<void()> waker) {
    std::lock_guard lock(m_mutex);
    m_waker = std::move(waker);
}

void Response::set_header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
}

void Response::set_content(std::string text, std::string type) {
    body = std::move(text);
    content_type = std::move(type);
}

void Response::set_redirect(const std::string& location, int redirect_status) {
    status = redirect_status;
    set_header("Location", location);
}

bool UrlDecode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size())
                return false;
            const int high = hex(text[i + 1]);
            const int low = hex(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return true;
}

void AddParams(std::string_view text, std::multimap<std::string, std::string>& params) {
    while (!text.empty()) {
        const auto end = std::min(text.find('&'), text.size());
        const auto pair = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (pair.empty())
            continue;
        const auto equals = pair.find('=');
        std::string name, value;
        if (!UrlDecode(pair.substr(0, equals), name) ||
            !UrlDecode(
                equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1),
                value))
            continue;
        params.emplace(std::move(name), std::move(value));
    }
}

}  // namespace timeclock::web
