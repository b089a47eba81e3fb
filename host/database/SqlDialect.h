#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Api.h"
#include "platform/Date.h"

namespace orvane::sql {

// A value taken out of query text: a whole number, a number with a fraction (dates included,
// as days) or a text.
using Parameter = std::variant<int64_t, double, std::string>;

// Query text ready for the engine: literals replaced by placeholders in order, and their values.
// Two punches' lookups differ only in their parameters, so the text is the key under which a
// prepared statement is reused.
struct Translation {
    std::string text;
    std::vector<Parameter> parameters;
};

// The engine a translation is written for.
enum class Target {
    Sqlite,
    Postgres,
};

// A table that a SELECT reads under another name.
struct TableAlias {
    std::string_view table;
    std::string_view read_as;
};

// Translates query text written in the host's dialect for an engine:
// - [Name] becomes a quoted identifier; a bare word that is no keyword is a name as well;
// - "text" and 'text' (a doubled quote stands for one) become text parameters;
// - #month/day/year [time]# becomes a date parameter (days since day zero);
// - numbers become parameters; True and False become 1 and 0; & joins texts;
// - IIf(c, a, b) becomes iif(c, a, b); IsNull(x) becomes ((x) IS NULL); Nz(x, y) ifnull(x, y);
// - SELECT TOP n becomes a LIMIT n at the end; a final ";" is dropped.
// For PostgreSQL the placeholders are numbered ($1, $2, ...), IIf(c, a, b) becomes
// (CASE WHEN c THEN a ELSE b END) and Nz(x, y) coalesce(x, y).
// Text it cannot read raises "Syntax error in query expression" (3075) with a description that
// quotes the piece it could not read. With `alias`, a statement whose first word is SELECT reads
// its table under the alias's name wherever the table is named.
PLATFORM_API Translation Translate(std::string_view query, Target target = Target::Sqlite,
                                   std::optional<TableAlias> alias = std::nullopt);

// Whether the query reads rows: its first word, after any blanks and "(", is SELECT.
PLATFORM_API bool IsSelect(std::string_view query);

// Reads the inside of a #...# date literal: month/day/year (a four- or two-digit year, "/" or
// "-" between the parts) or year-month-day, optionally followed by a time h:mm or h:mm:ss with
// an optional AM or PM; or a time alone, on day zero. Nothing when the text is no such date.
PLATFORM_API std::optional<platform::Date> ParseDateLiteral(std::string_view text);

}  // namespace orvane::sql
