#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace timeclock::web {

struct ServerOptions {
    std::string address = "127.0.0.1";
    int port = 8080;
    std::filesystem::path config_file;
    // Empty: the database the configuration names, else the clock's default one.
    std::filesystem::path database;
};

// Where the server's log lines go: one line each, the cause of a failure included.
using Log = std::function<void(std::string_view)>;

// 256 random bits as hexadecimal text: a session's token.
std::string RandomToken();

// Compares a token sent by a page with one the server keeps, in a time that depends only on
// their lengths, so that the time of a refusal tells nothing of how much of a guess was right.
bool SameToken(std::string_view sent, std::string_view kept);

}  // namespace timeclock::web
