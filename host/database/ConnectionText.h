#pragma once

#include <string>
#include <string_view>

#include "platform/Api.h"

namespace orvane {

// The engines a clock database can live on.
enum class Engine {
    // A file on this machine (a path, or "sqlite:PATH").
    Sqlite,
    // A PostgreSQL server shared by many clocks ("postgresql://..." or "postgres://...").
    Postgres,
};

// The one place that decides the engine from a connection text: a PostgreSQL connection URI
// names a server; anything else is a file path.
PLATFORM_API Engine EngineOf(std::string_view connect_string);

// The connection text as it may be shown to a person: a password in a URI is replaced by "***".
PLATFORM_API std::string Redacted(std::string_view connect_string);

}  // namespace orvane
