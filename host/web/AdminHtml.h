#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <kainjow/mustache.hpp>

#include "host/hours/Hours.h"
#include "host/web/HttpMessage.h"

namespace timeclock::web {

// What every administrator's page is drawn with: the pages' templates, text escaped for HTML,
// the page's frame with its menu and sign-out form, and the answer that carries it.

// The values a template is filled with; every {{value}} is escaped, only {{{value}}} is not.
using PageData = kainjow::mustache::data;
using PageList = kainjow::mustache::list;
using PageObject = kainjow::mustache::object;

// A text for a template's section: false when empty, so that {{#name}}...{{/name}} draws
// nothing, else the text.
inline PageData TextOrNothing(const std::string& text) {
    return text.empty() ? PageData(false) : PageData(text);
}

// The reason a form's field `name` was refused, from the reasons by field name; nothing when it
// was not.
inline PageData ReasonOf(const std::map<std::string, std::string>& reasons,
                         const std::string& name) {
    const auto found = reasons.find(name);
    return found == reasons.end() ? PageData(false) : PageData(found->second);
}

// Text for a page, escaped; bytes that are not UTF-8 (an older record's name) are shown as U+FFFD.
std::string Escape(std::string_view text);

// The built-in template `name` filled with `data`, every value escaped with Escape. A template
// that is missing or cannot be read raises an error naming it.
std::string Render(std::string_view name, const PageData& data);

// A whole page around `body`; with the session's `csrf` token it carries the menu and the
// sign-out form, without it (the sign-in page) neither. The menu entry whose caption is `title`
// is marked as the current page.
std::string Page(const std::string& title, const std::string& csrf, const std::string& body);

// Minutes as h:mm.
std::string HoursText(hours::Minutes minutes);

// "YYYY-MM-DD" as a day of the clock's dates; none when it is no such day.
std::optional<int64_t> ParseDay(const std::string& text);

// `html` as the answer, never cached, under a policy that allows no script.
void Html(Response& response, const std::string& html, int status = 200);

}  // namespace timeclock::web
