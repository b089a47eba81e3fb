#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/Loopback.h"
#include "tests/support/TempFolder.h"

// A `timeclock serve` on a free loopback port, over a scratch folder with a registered kiosk
// "Front", employees and an administrator's password, and the server limits given. The server
// runs under `timeout`, dies with the test process, and is stopped when the object ends.
class ClockServer {
  public:
    explicit ClockServer(const nlohmann::json& limits = nlohmann::json::object()) {
        const char* bin = std::getenv("STAMPKIND_BIN");
        if (!bin)
            throw std::runtime_error("STAMPKIND_BIN names the folder of the built programs");
        m_program = std::filesystem::path(bin) / "timeclock";
        std::ofstream(Config()) << nlohmann::json{{"database", Database().string()}}.dump();
        Run({"register"});
        Run({"employee", "add", "--db", Database().string(), "--card", "1001", "--name",
             "Avery Stone"});
        const auto printed = Run({"kiosk-key", "add", "Front", "--config", Config().string()});
        std::smatch link;
        if (std::regex_search(printed, link, std::regex("key=([a-z2-7]+)")))
            key = link[1];
        Run({"admin-password", "--config", Config().string()}, "correct horse battery\n");
        // The limits go in last: the commands above write the configuration as they know it.
        auto config = nlohmann::json::parse(std::ifstream(Config()));
        config["server_limits"] = limits;
        std::ofstream(Config()) << config.dump();
        Start();
    }
    ~ClockServer() { Stop(); }

    std::filesystem::path Config() const { return m_folder.path() / "timeclock.json"; }
    std::filesystem::path Database() const { return m_folder.path() / "clock.db"; }
    std::filesystem::path Log() const { return m_folder.path() / "server.log"; }
    // What the server wrote to its log, so far: shown when a test fails.
    std::string ServerLog() const { return ReadText(Log()); }
    // What the commands run by Run wrote to standard error, so far.
    std::string Errors() const { return ReadText(m_folder.path() / "err.txt"); }

    // Runs the command with the scratch registry; its standard output.
    std::string Run(const std::vector<std::string>& arguments, const std::string& input = "",
                    int* status = nullptr) const {
        std::string command = "STAMPKIND_REGISTRY='" +
                              (m_folder.path() / "registry.json").string() + "' '" +
                              m_program.string() + "'";
        for (const auto& argument : arguments)
            command += " '" + argument + "'";
        const auto in_file = m_folder.path() / "stdin.txt";
        std::ofstream(in_file) << input;
        command +=
            " <'" + in_file.string() + "' 2>>'" + (m_folder.path() / "err.txt").string() + "'";
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        size_t read;
        while (pipe && (read = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, read);
        const int result = pipe ? pclose(pipe) : -1;
        if (status)
            *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        return out;
    }

    // Sends SIGTERM; the exit status once the server has ended, none when it has not ended
    // within `limit_ms` (it is then killed).
    std::optional<int> Stop(int limit_ms = 10000) {
        if (m_pid <= 0)
            return std::nullopt;
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
        kill(m_pid, SIGTERM);
        pollfd ended{pidfd, POLLIN, 0};
        const bool in_time = pidfd >= 0 && poll(&ended, 1, limit_ms) == 1;
        if (!in_time)
            kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        if (pidfd >= 0)
            close(pidfd);
        close(m_out);
        m_pid = -1;
        if (!in_time)
            return std::nullopt;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Stops the server and starts a new one on the same folder.
    void Restart() {
        Stop();
        Start();
    }

    int port = 0;
    std::string key;

  private:
    void Start() {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("no pipe");
        const auto registry = "STAMPKIND_REGISTRY=" + (m_folder.path() / "registry.json").string();
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(out[1], 1);
            const auto log = open(Log().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(log, 2);
            close(out[0]);
            putenv(const_cast<char*>(registry.c_str()));
            const std::string program = m_program.string(), config = Config().string();
            execlp("timeout", "timeout", "120", program.c_str(), "serve", "--listen", "127.0.0.1:0",
                   "--config", config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        // The pipe stays open while the server runs: a server writing to a closed pipe would end.
        m_out = out[0];
        std::string line;
        char c;
        while (read(m_out, &c, 1) == 1 && c != '\n')
            line += c;
        std::smatch match;
        if (!std::regex_search(line, match, std::regex("127\\.0\\.0\\.1:(\\d+)/kiosk")))
            throw std::runtime_error("the server did not start: " + line);
        port = std::stoi(match[1]);
    }

    TempFolder m_folder;
    std::filesystem::path m_program;
    pid_t m_pid = -1;
    int m_out = -1;
};

// A client that speaks raw bytes to the server over loopback, from a chosen loopback address,
// and never waits longer than its limit for an answer.
class RawClient {
  public:
    RawClient(int port, const char* source = "127.0.0.1", int limit_ms = 30000)
        : m_fd(loopback::Connect(port, source, limit_ms)) {}
    ~RawClient() {
        if (m_fd >= 0)
            close(m_fd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_fd >= 0; }
    // False once the server no longer takes what is sent.
    bool Send(std::string_view bytes) { return loopback::SendAll(m_fd, bytes); }
    // Reads until the server closes, or until `enough` says the text is whole, or the limit.
    std::string Receive(const std::function<bool(const std::string&)>& enough = {}) {
        std::string text;
        char buffer[4096];
        while (!enough || !enough(text)) {
            const auto got = recv(m_fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                m_closed = got == 0 || errno == ECONNRESET;
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
        }
        return text;
    }
    // Reads one whole answer with a Content-Length.
    std::string ReceiveAnswer() {
        return Receive([](const std::string& text) {
            const auto end = text.find("\r\n\r\n");
            if (end == std::string::npos)
                return false;
            std::smatch length;
            const auto head = text.substr(0, end);
            if (!std::regex_search(head, length, std::regex("Content-Length: (\\d+)")))
                return true;
            return text.size() >= end + 4 + std::stoul(length[1]);
        });
    }
    // The server ended the connection (a read returned its end).
    bool Closed() const { return m_closed; }

  private:
    int m_fd;
    bool m_closed = false;
};

// Whether `text` holds `part`; either way the message shows both.
inline ::testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    auto result = text.find(part) != std::string::npos ? ::testing::AssertionSuccess()
                                                       : ::testing::AssertionFailure();
    return result << "\"" << part << "\" in:\n" << text;
}

// The page's table rows as a person reads them: a line a row, its cells apart by " | ", each
// cell's text without markup; a field a person types in shows its value as [value], while hidden
// fields and the choices of a list are left out.
inline std::string Rows(const std::string& html) {
    std::string text;
    for (auto row = html.find("<tr"); row != std::string::npos; row = html.find("<tr", row + 1)) {
        const auto end = html.find("</tr>", row);
        bool first = true;
        for (auto at = html.find('>', row) + 1; at < end;) {
            if (html[at] != '<') {
                if (html[at++] != '\n')
                    text += html[at - 1];
                continue;
            }
            const auto tag = html.substr(at, html.find('>', at) + 1 - at);
            std::smatch value;
            if (tag.starts_with("<td") || tag.starts_with("<th"))
                text += std::exchange(first, false) ? "" : " | ";
            else if (tag.starts_with("<input") &&
                     tag.find("type=\"hidden\"") == std::string::npos &&
                     std::regex_search(tag, value, std::regex("value=\"([^\"]*)\"")))
                text += "[" + value[1].str() + "]";
            at = tag.starts_with("<select") ? html.find("</select>", at) + 9 : at + tag.size();
        }
        text += "\n";
    }
    return text;
}

// The notice a page shows above its content (what a change came to, or why it was refused); ""
// when it shows none.
inline std::string NoticeOf(const std::string& page) {
    std::smatch notice;
    return std::regex_search(page, notice,
                             std::regex("<div class=\"(?:notice|refused)\"[^>]*>([^<]*)<"))
               ? notice[1].str()
               : "";
}

inline int StatusOf(const std::string& answer) {
    return answer.size() > 12 && answer.starts_with("HTTP/1.1 ") ? std::stoi(answer.substr(9, 3))
                                                                 : 0;
}

inline std::string BodyOf(const std::string& answer) {
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

// One request on its own connection: the whole answer.
inline std::string Ask(int port, const std::string& request, const char* source = "127.0.0.1") {
    RawClient client(port, source);
    client.Send(request);
    return client.ReceiveAnswer();
}

inline std::string PostJson(const std::string& path, const std::string& body,
                            const std::string& headers = "") {
    return "POST " + path + " HTTP/1.1\r\nHost: t\r\nContent-Type: application/json\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string PostForm(const std::string& path, const std::string& body,
                            const std::string& headers = "") {
    return "POST " + path + " HTTP/1.1\r\nHost: t\r\n" + headers +
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The administrator's sign-in form with the password as typed (form-encoded).
inline std::string Login(const std::string& password, const std::string& headers = "") {
    return PostForm("/admin/login", "password=" + password, headers);
}

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
    // Posts the form and reads the page it leads to, with the notice the change left.
    std::string Change(const std::string& path, const std::string& fields) const {
        const auto answer = Post(path, fields);
        std::smatch location;
        if (!std::regex_search(answer, location, std::regex("Location: (\\S+)")))
            return answer;
        return Get(location[1]);
    }

  private:
    int m_port;
    std::string m_cookie;
    std::string m_csrf;
};
