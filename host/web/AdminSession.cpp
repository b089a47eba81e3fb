#include "host/web/AdminSession.h"

#include <algorithm>

#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/framework/Secret.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"

namespace timeclock::web {

namespace {

constexpr const char* kCookie = "stampkind_admin";

std::string CookieToken(const Request& request) {
    const auto cookies = request.get_header_value("Cookie");
    const std::string name = std::string(kCookie) + "=";
    for (size_t at = 0; at < cookies.size();) {
        while (at < cookies.size() && (cookies[at] == ' ' || cookies[at] == ';'))
            ++at;
        const auto end = std::min(cookies.find(';', at), cookies.size());
        if (cookies.compare(at, name.size(), name) == 0)
            return cookies.substr(at + name.size(), end - at - name.size());
        at = end;
    }
    return {};
}

}  // namespace

AdminSession::AdminSession(const ServerOptions& options, Log log, std::shared_ptr<TryKeeper> tries)
    : m_options(options), m_log(std::move(log)), m_tries(std::move(tries)) {}

void AdminSession::Register(HttpServer& server) {
    server.Get("/admin/login", [](const Request& request, Response& response) {
        const auto refused = request.get_param_value("refused");
        Html(response,
             Page("Sign in", "",
                  Render("login", PageObject{{"refused", refused.empty() ? PageData(false)
                                                                         : PageData(refused)}})));
    });
    server.Post(
        "/admin/login", [this](const auto& request, auto& response) { Login(request, response); },
        true);
    server.Post("/admin/logout",
                [this](const auto& request, auto& response) { Logout(request, response); });
}

void AdminSession::Logout(const Request& request, Response& response) {
    if (Authorised(request, response, true)) {
        std::lock_guard lock(m_mutex);
        m_sessions.erase(CookieToken(request));
    }
    response.set_header("Set-Cookie", std::string(kCookie) +
                                          "=; Path=/admin; Max-Age=0; HttpOnly; SameSite=Strict" +
                                          (request.secure ? "; Secure" : ""));
    // The browser forgets the pages it kept of the session, so that Back cannot show them.
    response.set_header("Clear-Site-Data", "\"cache\"");
    response.set_header("Cache-Control", "no-store");
    response.set_redirect("/admin/login", 303);
}

std::optional<AdminSession::Session> AdminSession::Authorised(const Request& request,
                                                              Response& response, bool form) {
    const auto token = CookieToken(request);
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    std::erase_if(m_sessions, [&](const auto& entry) {
        return now - entry.second.used > m_options.limits.admin_session;
    });
    const auto session = m_sessions.find(token);
    if (token.empty() || session == m_sessions.end()) {
        response.set_header("Cache-Control", "no-store");
        response.set_redirect("/admin/login?refused=Sign+in+to+continue.", 303);
        return std::nullopt;
    }
    if (form && !SameToken(request.get_param_value("csrf"), session->second.csrf)) {
        m_log("an administrator's form without its session's token was refused (from " +
              request.remote_addr + ")");
        Html(response,
             Page("Refused", "",
                  "<div class=\"refused\">This form did not come from "
                  "this clock's pages. Open the page again.</div>"),
             403);
        return std::nullopt;
    }
    if (!request.has_param(kReload))
        session->second.used = now;
    auto copy = session->second;
    session->second.notice.clear();
    return copy;
}

void AdminSession::Notice(const Request& request, std::string text) {
    std::lock_guard lock(m_mutex);
    if (const auto session = m_sessions.find(CookieToken(request)); session != m_sessions.end())
        session->second.notice = std::move(text);
}

std::filesystem::path AdminSession::DatabaseFile(const ServerOptions& options) {
    if (!options.database.empty())
        return options.database;
    const auto config = Configuration::Load(options.config_file);
    return config.database.empty() ? DefaultDatabaseFile() : config.database;
}

void AdminSession::Login(const Request& request, Response& response) {
    // One account: the administrator. An address's wrong passwords make it wait; another
    // address with the right password still signs in.
    const SecretTry attempt{"admin", "administrator", request.remote_addr};
    if (const auto wait = m_tries->Admit(attempt, Clock::now())) {
        response.set_redirect("/admin/login?refused=Too+many+wrong+passwords.+Try+again+in+" +
                                  std::to_string(wait->count()) + "+seconds.",
                              303);
        return;
    }
    const auto config = Configuration::Load(m_options.config_file);
    const auto password = request.get_param_value("password");
    const bool right = !config.admin_password.empty() && password.size() <= 200 &&
                       orvane::VerifySecret(config.admin_password, password);
    if (!right) {
        m_log("a wrong administrator's password (from " + request.remote_addr + ")");
        response.set_redirect(config.admin_password.empty()
                                  ? "/admin/login?refused=No+administrator's+password+is+set;+set+"
                                    "one+with+timeclock+admin-password."
                                  : "/admin/login?refused=Wrong+password.",
                              303);
        return;
    }
    m_tries->Succeeded(attempt);
    const auto token = RandomToken();
    {
        std::lock_guard lock(m_mutex);
        m_sessions[token] = Session{RandomToken(), Clock::now(), {}};
    }
    response.set_header("Set-Cookie", std::string(kCookie) + "=" + token +
                                          "; Path=/admin; HttpOnly; SameSite=Strict" +
                                          (request.secure ? "; Secure" : ""));
    response.set_redirect("/admin/timesheet", 303);
}

}  // namespace timeclock::web
