#include "host/database/SqlDialect.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>

#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane::sql {

namespace {

constexpr int kMaxQuoted = 40;

// The dialect's text is read as ASCII: letters, digits and blanks of other scripts can only
// appear inside names and texts, which are copied as they are.
constexpr bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool is_word_start(char c) {
    return is_alpha(c) || c == '_';
}
constexpr bool is_word_char(char c) {
    return is_alpha(c) || is_digit(c) || c == '_';
}
constexpr bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
constexpr char ascii_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// A word of at most eight characters as one number, its letters in upper case, so that the
// keyword and function tables are searched by comparing numbers; 0 for a longer or empty word
// and for one holding a zero byte (which the number could not tell from a shorter word).
constexpr uint64_t word_code(std::string_view word) {
    if (word.empty() || word.size() > 8)
        return 0;
    uint64_t code = 0;
    for (const char c : word) {
        if (c == '\0')
            return 0;
        code = (code << 8) | static_cast<unsigned char>(ascii_upper(c));
    }
    return code;
}

// Keywords of the dialect that pass to the engine as they are.
constexpr std::array<std::string_view, 39> kKeywords{
    "ALL",   "AND",      "AS",     "ASC",    "BETWEEN", "BY",    "CASE",  "DELETE",
    "DESC",  "DISTINCT", "ELSE",   "END",    "EXISTS",  "FROM",  "GROUP", "HAVING",
    "IN",    "INNER",    "INSERT", "INTO",   "IS",      "JOIN",  "LEFT",  "LIKE",
    "LIMIT", "NOT",      "NULL",   "ON",     "OR",      "ORDER", "OUTER", "SELECT",
    "SET",   "THEN",     "UNION",  "UPDATE", "VALUES",  "WHEN",  "WHERE"};

constexpr auto kKeywordCodes = [] {
    std::array<uint64_t, kKeywords.size()> codes{};
    for (size_t i = 0; i < kKeywords.size(); ++i)
        codes[i] = word_code(kKeywords[i]);
    return codes;
}();

// Functions of the dialect and their names for the engine (the ones with special handling,
// IIf and IsNull, are not here).
struct FunctionName {
    uint64_t dialect;
    std::string_view engine;
};
constexpr std::array<FunctionName, 9> kFunctions{{
    {word_code("ABS"), "abs"},
    {word_code("AVG"), "avg"},
    {word_code("COUNT"), "count"},
    {word_code("IIF"), "iif"},
    {word_code("MAX"), "max"},
    {word_code("MIN"), "min"},
    {word_code("NZ"), "ifnull"},
    {word_code("SUM"), "sum"},
    {word_code("UCASE"), "upper"},
}};

// The keyword whose code this is, in upper case; empty for a word that is no keyword.
std::string_view keyword(uint64_t code) {
    const auto* found = std::ranges::find(kKeywordCodes, code);
    if (code == 0 || found == kKeywordCodes.end())
        return {};
    return kKeywords[static_cast<size_t>(found - kKeywordCodes.begin())];
}

// Reads query text piece by piece and writes the engine's text.
class Translator {
  public:
    Translator(std::string_view query, Target target, std::optional<TableAlias> alias)
        : m_in(query), m_target(target), m_alias(IsSelect(query) ? alias : std::nullopt) {}

    Translation run() {
        m_out.text.reserve(m_in.size() + m_in.size() / 8);
        m_out.parameters.reserve(16);
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (is_space(c)) {
                skip_blanks();
                space();
            } else if (c == '[') {
                bracketed_name();
            } else if (c == '"' || c == '\'') {
                quoted_text(c);
            } else if (c == '#') {
                date_literal();
            } else if (is_digit(c)) {
                number();
            } else if (is_word_start(c)) {
                word();
            } else if (c == ';') {
                end_of_statement();
            } else {
                op(c);
            }
        }
        if (!m_parens.empty())
            fail("a \"(\" that is never closed", m_in.size());
        while (!m_out.text.empty() && m_out.text.back() == ' ')
            m_out.text.pop_back();
        if (m_top) {
            m_out.text += " LIMIT ";
            parameter(*m_top);
        }
        return std::move(m_out);
    }

  private:
    [[noreturn]] void fail(std::string_view what, size_t at) const {
        std::string piece(m_in.substr(at, kMaxQuoted));
        std::string description =
            "Syntax error in query expression: cannot read " + std::string(what);
        if (!piece.empty())
            description += " at '" + piece + "'";
        platform::raise(dberr::kSyntax, description);
    }

    void skip_blanks() {
        while (m_pos < m_in.size() && is_space(m_in[m_pos]))
            ++m_pos;
    }

    void space() {
        if (!m_out.text.empty() && m_out.text.back() != ' ')
            m_out.text += ' ';
    }

    void parameter(Parameter value) {
        m_out.parameters.push_back(std::move(value));
        if (m_target == Target::Postgres)
            m_out.text += '$' + std::to_string(m_out.parameters.size());
        else
            m_out.text += '?';
    }

    void quoted_identifier(std::string_view name) {
        m_out.text += '"';
        for (size_t quote = name.find('"'); quote != std::string_view::npos;
             quote = name.find('"')) {
            m_out.text.append(name.substr(0, quote + 1)).append(1, '"');
            name.remove_prefix(quote + 1);
        }
        m_out.text.append(name).append(1, '"');
    }

    // A name, or the name a SELECT reads its table under.
    void name(std::string_view text) {
        quoted_identifier(m_alias && text == m_alias->table ? m_alias->read_as : text);
    }

    void bracketed_name() {
        const size_t start = m_pos;
        const size_t close = m_in.find(']', start + 1);
        if (close == std::string_view::npos)
            fail("a name whose \"]\" is missing", start);
        const std::string_view name = m_in.substr(start + 1, close - start - 1);
        if (name.empty() || name.find('[') != std::string_view::npos)
            fail("a name", start);
        this->name(name);
        m_pos = close + 1;
    }

    void quoted_text(char quote) {
        const size_t start = m_pos;
        std::string text;
        ++m_pos;
        for (;;) {
            if (m_pos >= m_in.size())
                fail("a text whose closing quote is missing", start);
            const char c = m_in[m_pos++];
            if (c == quote) {
                if (m_pos < m_in.size() && m_in[m_pos] == quote) {
                    text += quote;
                    ++m_pos;
                    continue;
                }
                break;
            }
            text += c;
        }
        parameter(std::move(text));
    }

    void date_literal() {
        const size_t start = m_pos;
        const size_t close = m_in.find('#', start + 1);
        if (close == std::string_view::npos)
            fail("a date whose closing \"#\" is missing", start);
        const auto date = ParseDateLiteral(m_in.substr(start + 1, close - start - 1));
        if (!date)
            fail("the date", start);
        parameter(date->days);
        m_pos = close + 1;
    }

    void number() {
        const size_t start = m_pos;
        while (m_pos < m_in.size() && is_digit(m_in[m_pos]))
            ++m_pos;
        bool whole = true;
        if (m_pos + 1 < m_in.size() && m_in[m_pos] == '.' && is_digit(m_in[m_pos + 1])) {
            whole = false;
            ++m_pos;
            while (m_pos < m_in.size() && is_digit(m_in[m_pos]))
                ++m_pos;
        }
        if (m_pos < m_in.size() && (m_in[m_pos] == 'e' || m_in[m_pos] == 'E')) {
            size_t exponent = m_pos + 1;
            if (exponent < m_in.size() && (m_in[exponent] == '+' || m_in[exponent] == '-')) {
                ++exponent;
            }
            if (exponent < m_in.size() && is_digit(m_in[exponent])) {
                whole = false;
                m_pos = exponent;
                while (m_pos < m_in.size() && is_digit(m_in[m_pos]))
                    ++m_pos;
            }
        }
        if (m_pos < m_in.size() && is_word_char(m_in[m_pos]))
            fail("the number", start);
        const std::string_view digits = m_in.substr(start, m_pos - start);
        if (whole) {
            int64_t value = 0;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (ec == std::errc() && end == digits.data() + digits.size()) {
                parameter(value);
                return;
            }
        }
        parameter(std::strtod(std::string(digits).c_str(), nullptr));
    }

    // The next character that is not a blank, or 0 at the end.
    char next_non_blank(size_t from) const {
        while (from < m_in.size() && is_space(m_in[from]))
            ++from;
        return from < m_in.size() ? m_in[from] : '\0';
    }

    void word() {
        const size_t start = m_pos;
        while (m_pos < m_in.size() && is_word_char(m_in[m_pos]))
            ++m_pos;
        const std::string_view text = m_in.substr(start, m_pos - start);
        // Looked up in the keyword and function tables by its code; a word longer than any of
        // their entries has none.
        const uint64_t code = word_code(text);
        const bool call = next_non_blank(m_pos) == '(';

        if (call && code == word_code("ISNULL")) {
            skip_blanks();
            ++m_pos;  // the "("
            m_out.text += "((";
            m_parens.push_back({Paren::IsNull});
            return;
        }
        if (call && code == word_code("IIF") && m_target == Target::Postgres) {
            skip_blanks();
            ++m_pos;  // the "("
            m_out.text += "(CASE WHEN ";
            m_parens.push_back({Paren::IIf, 0, start});
            return;
        }
        if (call) {
            const auto* function = std::ranges::find(kFunctions, code, &FunctionName::dialect);
            if (code != 0 && function != kFunctions.end()) {
                m_out.text += m_target == Target::Postgres && code == word_code("NZ")
                                  ? std::string_view("coalesce")
                                  : function->engine;
                return;
            }
            if (keyword(code).empty())
                fail("the function", start);
        }
        if (code == word_code("TRUE")) {
            m_out.text += '1';
        } else if (code == word_code("FALSE")) {
            m_out.text += '0';
        } else if (code == word_code("TOP") && m_last_keyword == word_code("SELECT")) {
            top(start);
        } else if (const std::string_view upper = keyword(code); !upper.empty()) {
            m_out.text += upper;
            m_last_keyword = code;
        } else {
            name(text);
        }
    }

    // SELECT TOP n: the count is kept for a LIMIT at the end of the statement.
    void top(size_t start) {
        skip_blanks();
        const size_t digits = m_pos;
        while (m_pos < m_in.size() && is_digit(m_in[m_pos]))
            ++m_pos;
        int64_t count = 0;
        const auto [end, ec] = std::from_chars(m_in.data() + digits, m_in.data() + m_pos, count);
        if (digits == m_pos || ec != std::errc() || end != m_in.data() + m_pos) {
            fail("the row count of TOP", start);
        }
        m_top = count;
        // TOP n takes the place of nothing in the engine's text; its blank was already written.
    }

    void end_of_statement() {
        const size_t start = m_pos;
        ++m_pos;
        skip_blanks();
        if (m_pos < m_in.size())
            fail("a second statement", start);
    }

    void op(char c) {
        const size_t start = m_pos;
        ++m_pos;
        const char next = m_pos < m_in.size() ? m_in[m_pos] : '\0';
        // Nor may an operator meet the one written before it as "--" or "/*" when what stood
        // between them wrote nothing (a TOP n does not).
        if (!m_out.text.empty() &&
            ((m_out.text.back() == '-' && c == '-') || (m_out.text.back() == '/' && c == '*')))
            m_out.text += ' ';
        switch (c) {
            case '(':
                m_out.text += '(';
                m_parens.push_back({Paren::Plain});
                return;
            case ')':
                if (m_parens.empty())
                    fail("a \")\" that closes nothing", start);
                close_paren();
                return;
            case '<':
                if (next == '>' || next == '=') {
                    m_out.text += c;
                    m_out.text += next;
                    ++m_pos;
                    return;
                }
                m_out.text += c;
                return;
            case '>':
                if (next == '=') {
                    m_out.text += ">=";
                    ++m_pos;
                    return;
                }
                m_out.text += c;
                return;
            case '&':
                m_out.text += "||";
                return;
            case '-':
            case '/':
                m_out.text += c;
                // "--" and "/*" are subtraction and division here, never the start of a comment
                // that would hide the rest of the query from the engine.
                if ((c == '-' && next == '-') || (c == '/' && next == '*'))
                    m_out.text += ' ';
                return;
            case ',':
                if (!m_parens.empty() && m_parens.back().kind == Paren::IIf) {
                    const int argument = ++m_parens.back().commas;
                    if (argument > 2)
                        fail("an IIf with more than three arguments", m_parens.back().start);
                    m_out.text += argument == 1 ? " THEN " : " ELSE ";
                    return;
                }
                m_out.text += c;
                return;
            case '=':
            case '+':
            case '*':
            case '.':
                m_out.text += c;
                return;
            default:
                fail("the character", start);
        }
    }

    void close_paren() {
        const OpenParen paren = m_parens.back();
        m_parens.pop_back();
        switch (paren.kind) {
            case Paren::Plain:
                m_out.text += ')';
                return;
            case Paren::IsNull:
                m_out.text += ") IS NULL)";
                return;
            case Paren::IIf:
                if (paren.commas != 2)
                    fail("an IIf without three arguments", paren.start);
                m_out.text += " END)";
                return;
        }
    }

    enum class Paren { Plain, IsNull, IIf };
    struct OpenParen {
        Paren kind = Paren::Plain;
        // The commas met so far directly inside an IIf: its arguments are split at them.
        int commas = 0;
        size_t start = 0;
    };

    std::string_view m_in;
    Target m_target;
    std::optional<TableAlias> m_alias;
    size_t m_pos = 0;
    Translation m_out;
    std::vector<OpenParen> m_parens;
    uint64_t m_last_keyword = 0;
    std::optional<int64_t> m_top;
};

// Reads an unsigned number of at most `max_digits` digits; advances `pos`.
std::optional<int> read_int(std::string_view text, size_t& pos, size_t max_digits) {
    const size_t start = pos;
    int value = 0;
    while (pos < text.size() && is_digit(text[pos]) && pos - start < max_digits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start || (pos < text.size() && is_digit(text[pos])))
        return std::nullopt;
    return value;
}

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0;
};

// h:mm[:ss] [AM|PM] from `pos` to the end of the text.
std::optional<TimeOfDay> read_time(std::string_view text, size_t pos) {
    TimeOfDay time;
    auto hour = read_int(text, pos, 2);
    if (!hour || pos >= text.size() || text[pos] != ':')
        return std::nullopt;
    ++pos;
    auto minute = read_int(text, pos, 2);
    if (!minute)
        return std::nullopt;
    time.hour = *hour;
    time.minute = *minute;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        auto second = read_int(text, pos, 2);
        if (!second)
            return std::nullopt;
        time.second = *second;
    }
    while (pos < text.size() && is_space(text[pos]))
        ++pos;
    if (pos < text.size()) {
        const uint64_t marker = word_code(text.substr(pos));
        const bool am = marker == word_code("AM");
        if (!am && marker != word_code("PM"))
            return std::nullopt;
        if (time.hour < 1 || time.hour > 12)
            return std::nullopt;
        if (am && time.hour == 12)
            time.hour = 0;
        if (!am && time.hour != 12)
            time.hour += 12;
    }
    return time;
}

}  // namespace

bool IsSelect(std::string_view query) {
    const auto start = query.find_first_not_of(" \t\r\n(");
    return start != std::string_view::npos &&
           word_code(query.substr(start, 6)) == word_code("SELECT");
}

Translation Translate(std::string_view query, Target target, std::optional<TableAlias> alias) {
    return Translator(query, target, alias).run();
}

std::optional<platform::Date> ParseDateLiteral(std::string_view text) {
    while (!text.empty() && is_space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_space(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;

    size_t pos = 0;
    const size_t first_end = text.find_first_not_of("0123456789");
    if (first_end != std::string_view::npos && text[first_end] == ':') {
        const auto time = read_time(text, 0);
        if (!time)
            return std::nullopt;
        return platform::make_time(time->hour, time->minute, time->second);
    }

    int year = 0, month = 0, day = 0;
    const auto a = read_int(text, pos, 4);
    if (!a || pos >= text.size() || (text[pos] != '/' && text[pos] != '-'))
        return std::nullopt;
    const char separator = text[pos++];
    const size_t a_digits = pos - 1;
    const auto b = read_int(text, pos, 2);
    if (!b || pos >= text.size() || text[pos] != separator)
        return std::nullopt;
    ++pos;
    const size_t c_start = pos;
    const auto c = read_int(text, pos, 4);
    if (!c)
        return std::nullopt;
    if (a_digits == 4) {
        year = *a;
        month = *b;
        day = *c;
    } else {
        month = *a;
        day = *b;
        year = *c;
        if (pos - c_start == 2)
            year += year <= 49 ? 2000 : 1900;
        else if (pos - c_start != 4)
            return std::nullopt;
    }
    const auto date = platform::make_date(year, month, day);
    if (!date)
        return std::nullopt;
    if (pos == text.size())
        return date;
    if (!is_space(text[pos]))
        return std::nullopt;
    while (pos < text.size() && is_space(text[pos]))
        ++pos;
    const auto time = read_time(text, pos);
    if (!time)
        return std::nullopt;
    return platform::make_date_time({.year = year,
                                     .month = month,
                                     .day = day,
                                     .hour = time->hour,
                                     .minute = time->minute,
                                     .second = time->second});
}

}  // namespace orvane::sql
