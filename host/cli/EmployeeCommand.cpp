#include <fcntl.h>
#include <pwd.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/database/ClockDatabase.h"
#include "host/web/Utf8.h"

namespace timeclock {

namespace {

// A name as the kiosks and the administrator's pages take it: up to 60 characters.
constexpr size_t kLongestName = 60;

struct EmployeeOptions {
    std::string action;
    std::string database;
    std::optional<int32_t> card;
    std::optional<int32_t> new_card;
    std::string name;
    bool manager = false;
    bool pin_stdin = false;
};

// The controlling terminal with its echo turned off while the object lives, so that a PIN typed
// there is never shown; the terminal's settings come back even when reading fails.
class SilentTerminal {
  public:
    SilentTerminal() : m_fd(open("/dev/tty", O_RDWR | O_CLOEXEC)) {
        if (m_fd < 0 || tcgetattr(m_fd, &m_saved) != 0)
            return;
        termios silent = m_saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        m_silent = tcsetattr(m_fd, TCSAFLUSH, &silent) == 0;
    }
    ~SilentTerminal() {
        if (m_silent)
            tcsetattr(m_fd, TCSAFLUSH, &m_saved);
        if (m_fd >= 0)
            close(m_fd);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    bool usable() const { return m_silent; }

    // Shows the prompt and reads one line without echo; none at the end of input.
    std::optional<std::string> Ask(std::string_view prompt) const {
        Write(prompt);
        std::string line;
        char c;
        while (true) {
            const ssize_t got = read(m_fd, &c, 1);
            if (got <= 0) {
                Write("\n");
                return std::nullopt;
            }
            if (c == '\n' || c == '\r')
                break;
            line += c;
        }
        Write("\n");
        return line;
    }

  private:
    void Write(std::string_view text) const {
        [[maybe_unused]] const auto written = write(m_fd, text.data(), text.size());
    }

    int m_fd;
    termios m_saved{};
    bool m_silent = false;
};

// Who changes an employee from the command line, as the change keeps it: the login name.
std::string Changer() {
    const passwd* user = getpwuid(geteuid());
    return std::string("timeclock command, user ") +
           (user ? user->pw_name : std::to_string(geteuid()).c_str());
}

// A name as an employee may have it; false with the reason on standard error.
bool NameFits(const EmployeeOptions& options, std::string_view changed) {
    const std::string command = "timeclock employee " + options.action + ": ";
    if (options.name.empty()) {
        std::cerr << command << "--name is required\n";
        return false;
    }
    if (!web::IsUtf8(options.name)) {
        std::cerr << command << "--name holds bytes that are not UTF-8 text; nothing was "
                  << changed << '\n';
        return false;
    }
    if (web::Utf8Length(options.name) > kLongestName) {
        std::cerr << command << "--name is longer than " << kLongestName
                  << " characters; nothing was " << changed << '\n';
        return false;
    }
    return true;
}

bool IsPin(std::string_view pin) {
    if (pin.size() < orvane::ClockDatabase::kShortestPin ||
        pin.size() > orvane::ClockDatabase::kLongestPin) {
        return false;
    }
    return pin.find_first_not_of("0123456789") == std::string_view::npos;
}

// The manager's PIN: one line of standard input, or typed twice at the terminal without echo.
// None, with the reason on standard error, when there is no acceptable PIN.
std::optional<std::string> ReadPin(const EmployeeOptions& options) {
    const std::string command = "timeclock employee " + options.action + ": ";
    std::optional<std::string> pin;
    if (options.pin_stdin) {
        std::string line;
        if (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pin = line;
        }
    } else {
        const SilentTerminal terminal;
        if (!terminal.usable()) {
            std::cerr << command
                      << "there is no terminal to ask the manager's PIN on; give it on standard "
                         "input with --pin-stdin\n";
            return std::nullopt;
        }
        pin = terminal.Ask("Manager's PIN (" + std::to_string(orvane::ClockDatabase::kShortestPin) +
                           " to " + std::to_string(orvane::ClockDatabase::kLongestPin) +
                           " digits): ");
        const auto again = pin ? terminal.Ask("The same PIN again: ") : std::nullopt;
        if (pin && again != pin) {
            std::cerr << command << "the two PINs differ; nothing was changed\n";
            return std::nullopt;
        }
    }
    if (!pin || !IsPin(*pin)) {
        std::cerr << command << "a PIN is " << orvane::ClockDatabase::kShortestPin << " to "
                  << orvane::ClockDatabase::kLongestPin << " digits; nothing was changed\n";
        return std::nullopt;
    }
    return pin;
}

// Runs the action; false with a message on standard error when the command line lacks what the
// action needs or the PIN is refused.
bool RunEmployee(const EmployeeOptions& options) {
    if (options.pin_stdin && !(options.action == "pin" || options.manager)) {
        std::cerr << "timeclock employee " << options.action
                  << ": --pin-stdin goes with add --manager or with pin\n";
        return false;
    }
    orvane::ClockDatabase database(options.database);
    if (options.action == "list") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& employee : database.Employees()) {
            list.push_back({{"card", employee.card},
                            {"name", employee.name},
                            {"manager", employee.manager},
                            {"active", employee.active}});
        }
        // A name stored by an older version may hold bytes that are not UTF-8: shown as U+FFFD.
        std::cout << JsonText(list, 2) << '\n';
        return true;
    }
    if (!options.card) {
        std::cerr << "timeclock employee " << options.action << ": --card is required\n";
        return false;
    }
    if (options.action == "add") {
        if (!NameFits(options, "added"))
            return false;
        std::optional<std::string> pin;
        if (options.manager && !(pin = ReadPin(options)))
            return false;
        database.AddEmployee({*options.card, options.name, options.manager}, pin);
        std::cout << "Added card " << *options.card << ": " << options.name
                  << (options.manager ? " (manager, PIN set)" : "") << '\n';
        return true;
    }
    if (options.action == "pin") {
        const auto employee = database.FindEmployee(*options.card);
        if (!employee || !employee->manager) {
            std::cerr << "timeclock employee pin: card " << *options.card
                      << " is not a manager's card\n";
            return false;
        }
        const auto pin = ReadPin(options);
        if (!pin)
            return false;
        database.SetManagerPin(*options.card, *pin);
        std::cout << "PIN set for card " << *options.card << ": " << web::RepairUtf8(employee->name)
                  << '\n';
        return true;
    }
    if (options.action == "rename") {
        if (!NameFits(options, "renamed"))
            return false;
        if (!database.RenameEmployee(*options.card, options.name, Changer())) {
            std::cerr << "timeclock employee rename: there is no employee with card "
                      << *options.card << '\n';
            return false;
        }
        std::cout << "Renamed card " << *options.card << ": " << options.name << '\n';
        return true;
    }
    if (options.action == "card") {
        if (!options.new_card) {
            std::cerr << "timeclock employee card: --new-card is required\n";
            return false;
        }
        if (*options.new_card == *options.card) {
            std::cerr << "timeclock employee card: --new-card is the card the employee has\n";
            return false;
        }
        if (!database.ChangeCard(*options.card, *options.new_card, Changer())) {
            std::cerr << "timeclock employee card: there is no employee with card " << *options.card
                      << '\n';
            return false;
        }
        std::cout << "Card " << *options.card << " is now card " << *options.new_card
                  << ", with its punches\n";
        return true;
    }
    // Removing keeps the employee on file, inactive, so that every report keeps their name.
    if (!database.RemoveEmployee(*options.card, Changer())) {
        std::cerr << "timeclock employee remove: there is no employee with card " << *options.card
                  << '\n';
        return false;
    }
    std::cout << "Card " << *options.card << " is inactive: it cannot punch, and its records "
              << "keep its name\n";
    return true;
}

}  // namespace

void AddEmployeeCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<EmployeeOptions>();
    auto* command = app.add_subcommand(
        "employee",
        "Keeps the \"Employees\" table that the \"Employee ID\" step checks cards against");
    command
        ->add_option("action", options->action,
                     "add, list, remove (makes inactive), rename, card (a new card), or pin (a "
                     "manager's PIN)")
        ->required()
        ->check(CLI::IsMember({"add", "list", "remove", "rename", "card", "pin"}));
    command->add_option("--db", options->database, "The clock database file (made when missing)")
        ->required();
    command->add_option("--card", options->card, "The card number")
        ->check(CLI::Range(0, 999999999));
    command->add_option("--name", options->name, "The employee's name (add, rename)");
    command->add_option("--new-card", options->new_card, "The employee's new card number (card)")
        ->check(CLI::Range(0, 999999999));
    command->add_flag("--manager", options->manager,
                      "The employee is a manager (add); asks for the manager's PIN");
    command->add_flag("--pin-stdin", options->pin_stdin,
                      "Reads the manager's PIN from one line of standard input instead of asking "
                      "on the terminal (add --manager, pin)");
    command->callback([options, &exit_status] {
        try {
            exit_status = RunEmployee(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
