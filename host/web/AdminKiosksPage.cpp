#include "host/web/AdminKiosksPage.h"

#include "host/clock/Configuration.h"
#include "host/clock/KioskKeys.h"
#include "host/framework/Secret.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "host/web/Utf8.h"
#include "platform/Error.h"

namespace timeclock::web {

namespace {

constexpr int kUnprocessable = 422;

// The server as the administrator's browser reached it, which is where the kiosk opens too.
std::string ServerUrl(const Request& request) {
    const auto host = request.get_header_value("Host");
    const bool plain = !host.empty() && host.size() <= 255 &&
                       host.find_first_of(" \t\r\n/\\\"<>") == std::string::npos;
    return std::string(request.secure ? "https://" : "http://") +
           (plain ? host : std::string("127.0.0.1:8080"));
}

}  // namespace

AdminKiosksPage::AdminKiosksPage(const ServerOptions& options, AdminSession& session)
    : m_options(options), m_session(session) {}

void AdminKiosksPage::Register(HttpServer& server) {
    server.Get("/admin/kiosks",
               [this](const auto& request, auto& response) { Show(request, response); });
    server.Post("/admin/kiosks",
                [this](const auto& request, auto& response) { Change(request, response); });
}

std::string AdminKiosksPage::Draw(const std::string& csrf, const std::string& notice, bool refused,
                                  const std::string& link) const {
    const auto config = Configuration::Load(m_options.config_file);
    PageList kiosks;
    for (const auto& [name, hash] : config.kiosk_keys)
        kiosks.push_back(PageObject{{"name", name}});
    return Render("kiosks", PageObject{{"csrf", csrf},
                                       {"notice", TextOrNothing(notice)},
                                       {"refused", refused},
                                       {"kiosks", kiosks},
                                       {"link", TextOrNothing(link)},
                                       {"rule", kKioskNameRule}});
}

void AdminKiosksPage::Show(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    Html(response, Page("Kiosks", session->csrf, Draw(session->csrf, session->notice, false, "")));
}

void AdminKiosksPage::Change(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, true);
    if (!session)
        return;
    const auto action = request.get_param_value("action");
    const auto name = request.get_param_value("name");
    try {
        auto config = Configuration::Load(m_options.config_file);
        if (action == "add") {
            std::string refused;
            if (!IsKioskName(name))
                refused = "Nothing was added: " + std::string(kKioskNameRule) + ".";
            else if (config.kiosk_keys.count(name))
                refused = "A kiosk named \"" + name +
                          "\" is registered; remove it first to give it a new key.";
            if (!refused.empty()) {
                Html(response,
                     Page("Kiosks", session->csrf, Draw(session->csrf, refused, true, "")),
                     kUnprocessable);
                return;
            }
            const auto key = NewKioskKey();
            config.kiosk_keys[name] = orvane::HashSecret(key);
            config.Save(m_options.config_file);
            // The key is in this answer only, which no browser keeps.
            Html(response, Page("Kiosks", session->csrf,
                                Draw(session->csrf,
                                     "Kiosk \"" + name +
                                         "\" is registered. Open it at the link below; "
                                         "its key is shown this once.",
                                     false, KioskLink(ServerUrl(request), name, key))));
            return;
        }
        if (action == "remove") {
            if (config.kiosk_keys.erase(name) == 0) {
                m_session.Notice(request, "No kiosk is named \"" + RepairUtf8(name) + "\".");
            } else {
                config.Save(m_options.config_file);
                m_session.Notice(request,
                                 "Kiosk \"" + name + "\" is removed; its key no longer opens it.");
            }
        } else {
            m_session.Notice(request, "That is no change of the kiosks.");
        }
    } catch (const platform::RaisedError& error) {
        m_session.Notice(request, error.description());
    }
    response.set_redirect("/admin/kiosks", 303);
}

}  // namespace timeclock::web
