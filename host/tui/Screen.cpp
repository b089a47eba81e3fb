#include "host/tui/Screen.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <sstream>
#include <utility>

#include "framework/KeyCodes.h"
#include "platform/Convert.h"
#include "platform/Services.h"

// ncurses last: it defines macros with common names.
#include <curses.h>

namespace timeclock::tui {

namespace {

constexpr int kHeaderRows = 8;  // title, prompt, entry, error and information lines
constexpr int kEntryWidth = 32;
// A character cell is about 120 by 240 twips; the keypads may grow to twice that size, so that
// on a large terminal the buttons grow with it.
constexpr int kMinTwipsPerColumn = 50;
constexpr int kMinTwipsPerRow = 120;
// Beyond these the buttons would be too small to read.
constexpr int kMaxTwipsPerColumn = 220;
constexpr int kMaxTwipsPerRow = 520;

constexpr int kControlC = 3;
constexpr int kEscape = framework::keys::kEscape;
constexpr int16_t kEnterKey = framework::keys::kEnter;
constexpr int16_t kBackspaceKey = framework::keys::kBackspace;

// The numeric keypad in application mode (xterm, tmux, screen, the Linux console) sends Escape,
// "O" and a letter for each key. The clock reads each as the key printed on it; the codes given
// to them lie beyond ncurses' own key codes.
struct KeypadKey {
    const char* sequence;
    int16_t key;
};
inline constexpr std::array<KeypadKey, 17> kKeypadKeys{{
    {"\033Op", '0'},
    {"\033Oq", '1'},
    {"\033Or", '2'},
    {"\033Os", '3'},
    {"\033Ot", '4'},
    {"\033Ou", '5'},
    {"\033Ov", '6'},
    {"\033Ow", '7'},
    {"\033Ox", '8'},
    {"\033Oy", '9'},
    {"\033On", '.'},
    {"\033Ok", '+'},
    {"\033Ol", '+'},  // the Linux console's plus
    {"\033Om", '-'},
    {"\033Oj", '*'},
    {"\033Oo", '/'},
    {"\033OM", kEnterKey},
}};
constexpr int kFirstKeypadCode = KEY_MAX + 1;

// The key code a terminal key stands for at the clock; none for keys the clock ignores.
std::optional<int16_t> ClockKey(int key) {
    if (key >= kFirstKeypadCode && key < kFirstKeypadCode + static_cast<int>(kKeypadKeys.size()))
        return kKeypadKeys[static_cast<size_t>(key - kFirstKeypadCode)].key;
    switch (key) {
        case '\n':
        case '\r':
        case KEY_ENTER:
            return kEnterKey;
        case KEY_BACKSPACE:
        case 127:
        case 8:
            return kBackspaceKey;
        // The keypad's corners and centre, where the terminal description names them.
        case KEY_A1:
            return int16_t{'7'};
        case KEY_A3:
            return int16_t{'9'};
        case KEY_B2:
            return int16_t{'5'};
        case KEY_C1:
            return int16_t{'1'};
        case KEY_C3:
            return int16_t{'3'};
        default:
            break;
    }
    if (key >= 32 && key < 127)
        return static_cast<int16_t>(key);
    return std::nullopt;
}

constexpr short kErrorPair = 1;
constexpr short kTitlePair = 2;
constexpr short kFirstButtonPair = 8;

// The colour pair of a button's back colour (0x00BBGGRR, or a system colour with the high bit
// set, which keeps the terminal's own colours): the nearest of the eight terminal colours.
int ButtonAttributes(int32_t back_color) {
    if (!has_colors() || back_color < 0)
        return A_NORMAL;
    const int red = back_color & 0xFF;
    const int green = (back_color >> 8) & 0xFF;
    const int blue = (back_color >> 16) & 0xFF;
    const int index = (red >= 0x80 ? 1 : 0) | (green >= 0x80 ? 2 : 0) | (blue >= 0x80 ? 4 : 0);
    return COLOR_PAIR(kFirstButtonPair + index);
}

// The lines of a caption as a button shows them: split at carriage returns, without the "&" that
// marks an access key ("&&" shows one "&").
std::vector<std::string> CaptionLines(const std::string& caption) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&')
                line += caption[++i];
        } else if (c == '\r' || c == '\n') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The lines of a caption within `width` columns: broken between words, and a word longer than
// the width broken across lines, so that no letter is lost.
std::vector<std::string> WrapLines(const std::vector<std::string>& lines, int width) {
    const auto columns = static_cast<size_t>(std::max(1, width));
    std::vector<std::string> wrapped;
    for (const auto& line : lines) {
        std::istringstream words(line);
        std::string word, current;
        while (words >> word) {
            if (!current.empty() && current.size() + 1 + word.size() <= columns) {
                current += ' ' + word;
                continue;
            }
            if (!current.empty())
                wrapped.push_back(current);
            while (word.size() > columns) {
                wrapped.push_back(word.substr(0, columns));
                word.erase(0, columns);
            }
            current = word;
        }
        if (!current.empty())
            wrapped.push_back(current);
    }
    return wrapped;
}

// The access key of a caption: the letter after a single "&", in lower case, and how many
// letters that are not blanks come before it as the button shows the caption (wrapping moves
// only blanks, so this finds the letter to underline on any lines).
struct AccessKey {
    char letter = 0;
    int shown_before = -1;
};

AccessKey AccessKeyOf(const std::string& caption) {
    int shown = 0;
    for (size_t i = 0; i < caption.size(); ++i) {
        const auto c = static_cast<unsigned char>(caption[i]);
        if (c == '&' && i + 1 < caption.size() && caption[i + 1] != '&') {
            return {static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1]))),
                    shown};
        }
        if (c == '&')
            ++i;
        if (!std::isspace(c))
            ++shown;
    }
    return {};
}

void PutClipped(int row, int column, const std::string& text, int width) {
    if (width <= 0 || row < 0 || row >= LINES || column >= COLS)
        return;
    mvaddnstr(row, column, text.c_str(), std::min(width, COLS - column));
}

// The words of a text as lines of at most `width` columns; a word longer than a line is split.
std::vector<std::string> Wrap(const std::string& text, int width) {
    return WrapLines({text}, width);
}

}  // namespace

Screen::Screen() {
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    set_escdelay(25);
    // Every draw reaches the terminal, even with keys waiting: the screen must show the state in
    // which each key is taken.
    typeahead(-1);
    for (size_t i = 0; i < kKeypadKeys.size(); ++i)
        define_key(kKeypadKeys[i].sequence, kFirstKeypadCode + static_cast<int>(i));
    mousemask(BUTTON1_CLICKED | BUTTON1_PRESSED, nullptr);
    mouseinterval(0);
    if (has_colors()) {
        start_color();
        use_default_colors();
        init_pair(kErrorPair, COLOR_RED, -1);
        init_pair(kTitlePair, COLOR_BLACK, COLOR_CYAN);
        const short light_on_dark[8] = {COLOR_WHITE, COLOR_WHITE, COLOR_BLACK, COLOR_BLACK,
                                        COLOR_WHITE, COLOR_WHITE, COLOR_BLACK, COLOR_BLACK};
        for (short i = 0; i < 8; ++i)
            init_pair(kFirstButtonPair + i, light_on_dark[i], i);
    }
}

Screen::~Screen() {
    endwin();
}

void Screen::Draw(const ScreenModel& model) {
    m_model = model;
    m_placed.clear();
    erase();
    curs_set(0);
    m_too_small = COLS < kMinColumns || LINES < kMinRows;
    if (m_too_small) {
        std::ostringstream text;
        text << "Terminal too small: " << COLS << "x" << LINES << ", the clock needs "
             << kMinColumns << "x" << kMinRows << ". F10 quits.";
        // Wrapped, so that how to quit is never cut off at the narrow terminal's edge.
        int row = 0;
        for (const auto& line : Wrap(text.str(), COLS))
            PutClipped(row++, 0, line, COLS);
        refresh();
        return;
    }

    if (!model.controls.empty()) {
        // The keypad and the clock's own buttons to its right share the width, so that both are
        // whole on the screen.
        const int rows = LINES - kHeaderRows - 1;
        const int columns = COLS - 2;
        Scale scale{std::max(kMinTwipsPerColumn, (model.controls_width + columns - 1) / columns),
                    std::max(kMinTwipsPerRow, (model.controls_height + rows - 1) / rows)};
        if (scale.twips_per_column > kMaxTwipsPerColumn || scale.twips_per_row > kMaxTwipsPerRow) {
            m_too_small = true;
            PutClipped(kHeaderRows, 1, "Terminal too small for the keypad: enlarge the window.",
                       COLS - 2);
        } else {
            const int width = model.controls_width / scale.twips_per_column;
            DrawControls(m_model.controls, kHeaderRows, std::max(1, (COLS - width) / 2), scale);
        }
    }
    PutClipped(LINES - 1, 0, " F10 quit   Esc cancel   keys or mouse on the buttons", COLS);
    DrawDisplay(model);
    refresh();
}

void Screen::DrawDisplay(const ScreenModel& model) {
    attron(COLOR_PAIR(kTitlePair));
    mvhline(0, 0, ' ' | COLOR_PAIR(kTitlePair), COLS);
    PutClipped(0, 1, "Stampkind Time Clock", COLS - 2);
    auto& services = platform::services();
    const std::string now = platform::date_to_text(services.Now(), services.Regional());
    PutClipped(0, std::max(0, COLS - static_cast<int>(now.size()) - 1), now, COLS);
    attroff(COLOR_PAIR(kTitlePair));

    // The manager banner, then whose punch it is.
    int column = 2;
    if (!model.banner.empty()) {
        const std::string banner = " " + model.banner + " ";
        attron(A_REVERSE);
        PutClipped(1, 1, banner, COLS - 2);
        attroff(A_REVERSE);
        column = 1 + static_cast<int>(banner.size()) + 2;
    }
    PutClipped(1, column, model.employee, COLS - column - 1);
    attron(A_BOLD);
    PutClipped(2, 2, model.prompt, COLS - 4);
    attroff(A_BOLD);

    const int left = 2;
    const std::string& entry = model.entry;
    const int shown = std::min<int>(static_cast<int>(entry.size()), kEntryWidth);
    const int entry_column = left + 1 + (model.alignment == 1 ? kEntryWidth - shown : 0);
    mvaddch(3, left, '[');
    mvaddch(3, left + kEntryWidth + 1, ']');
    PutClipped(3, entry_column, entry.substr(entry.size() - static_cast<size_t>(shown)), shown);

    // A message wraps onto the lines below it rather than being cut at the screen's edge.
    int row = 5;
    if (!model.error.empty()) {
        attron(COLOR_PAIR(kErrorPair) | A_BOLD);
        for (const auto& line : Wrap(model.error, COLS - 4))
            PutClipped(row++, 2, line, COLS - 4);
        attroff(COLOR_PAIR(kErrorPair) | A_BOLD);
    }
    for (const auto& line : Wrap(model.information, COLS - 4))
        PutClipped(row++, 2, line, COLS - 4);
    // A confirmation line that fits is drawn as it stands (its spacing kept); a longer one, such
    // as the figures with overtime and double time, wraps rather than losing its end.
    for (const auto& line : model.confirmation) {
        if (static_cast<int>(line.size()) <= COLS - 4) {
            PutClipped(row++, 2, line, COLS - 4);
            continue;
        }
        for (const auto& part : Wrap(line, COLS - 4))
            PutClipped(row++, 2, part, COLS - 4);
    }

    if (model.cursor_visible) {
        const int position = std::clamp(model.cursor_position, 0, kEntryWidth);
        move(3, entry_column + std::min(position, shown));
        curs_set(1);
    }
}

void Screen::DrawControls(const std::vector<ControlView>& controls, int origin_row,
                          int origin_column, Scale scale) {
    for (const auto& control : controls) {
        const int row = origin_row + control.top / scale.twips_per_row;
        const int column = origin_column + control.left / scale.twips_per_column;
        const int height = std::max(1, control.height / scale.twips_per_row);
        const int width = std::max(1, control.width / scale.twips_per_column);
        if (control.button)
            DrawButton(control, row, column, height, width);
        else
            PutClipped(row, column, control.caption, width);
        m_placed.push_back(
            {row, column, height, width, static_cast<size_t>(&control - controls.data())});
    }
}

void Screen::DrawButton(const ControlView& control, int row, int column, int height, int width) {
    const int attributes =
        ButtonAttributes(control.back_color) | (control.enabled ? A_NORMAL : A_DIM);
    attron(attributes);
    for (int r = 0; r < height; ++r) {
        if (row + r < LINES - 1)
            mvhline(row + r, column, ' ' | static_cast<chtype>(attributes), std::max(1, width - 1));
    }
    const auto lines = WrapLines(CaptionLines(control.caption), width - 1);
    const int first = row + std::max(0, (height - static_cast<int>(lines.size())) / 2);
    int access = AccessKeyOf(control.caption).shown_before;
    for (size_t i = 0; i < lines.size() && first + static_cast<int>(i) < row + height; ++i) {
        const int length = std::min(static_cast<int>(lines[i].size()), width - 1);
        const int line_row = first + static_cast<int>(i);
        const int line_column = column + std::max(0, (width - 1 - length) / 2);
        PutClipped(line_row, line_column, lines[i], length);
        // The access letter is underlined, as Alt and that letter press the button.
        for (int c = 0; c < length && access >= 0; ++c) {
            const auto letter = static_cast<unsigned char>(lines[i][static_cast<size_t>(c)]);
            if (std::isspace(letter))
                continue;
            if (access-- == 0 && line_row < LINES - 1)
                mvaddch(line_row, line_column + c, letter | A_UNDERLINE);
        }
    }
    attroff(attributes);
}

const ControlView* Screen::ControlAt(int row, int column) const {
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        if (row >= it->top && row < it->top + it->height && column >= it->left &&
            column < it->left + it->width) {
            return &m_model.controls[it->control];
        }
    }
    return nullptr;
}

Screen::Reading Screen::ReadInput(int milliseconds) {
    timeout(milliseconds);
    const int key = getch();
    if (key == KEY_F(10) || key == kControlC)
        return {.quit = true, .input = std::nullopt};
    // A terminal too small to show the keypad takes no keys: a punch would be made blind.
    if (m_too_small || key == ERR || key == KEY_RESIZE)
        return {};
    if (key == kEscape)
        return AfterEscape();
    if (key == KEY_MOUSE) {
        MEVENT event;
        if (getmouse(&event) != OK || !(event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
            return {};
        if (const auto* control = ControlAt(event.y, event.x))
            return {.input = input::Click{control->path}};
        return {};
    }
    if (const auto clock_key = ClockKey(key))
        return {.input = input::Key{*clock_key}};
    return {};
}

// Escape alone cancels. Escape with a letter already behind it is Alt and that letter; with "["
// or "O" behind it, it begins the sequence of a key the clock does not know, which is dropped
// whole rather than read as a cancel and stray characters.
Screen::Reading Screen::AfterEscape() {
    timeout(0);
    const int next = getch();
    if (next == ERR)
        return {.input = input::Escape{}};
    if (next == '[' || next == 'O') {
        int c = getch();
        while (next == '[' && c != ERR && !(c >= 0x40 && c <= 0x7E))
            c = getch();
        if (c != ERR || next == '[')
            return {};
        // Alt and "O" alone.
    }
    if (next < 128 && std::isalnum(next)) {
        if (const auto* control = AccessKeyControl(static_cast<char>(next)))
            return {.input = input::Click{control->path}};
        return {};
    }
    ungetch(next);
    return {.input = input::Escape{}};
}

const ControlView* Screen::AccessKeyControl(char letter) const {
    const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    for (const auto& placed : m_placed) {
        const auto& control = m_model.controls[placed.control];
        if (control.button && control.enabled && AccessKeyOf(control.caption).letter == wanted)
            return &control;
    }
    return nullptr;
}

void Screen::ShowMessage(const std::string& text) {
    Draw(m_model);
    // The text is wrapped inside the box, never cut at its edge.
    const int width = std::min(COLS - 2, std::max(30, static_cast<int>(text.size()) + 4));
    const auto lines = WrapLines({text}, width - 4);
    const int height = std::min(LINES, static_cast<int>(lines.size()) + 4);
    const int top = std::max(0, (LINES - height) / 2);
    const int left = std::max(0, (COLS - width) / 2);
    WINDOW* window = newwin(height, width, top, left);
    if (!window)
        return;
    box(window, 0, 0);
    for (int i = 0; i < static_cast<int>(lines.size()) && i + 1 < height - 3; ++i)
        mvwaddnstr(window, i + 1, 2, lines[static_cast<size_t>(i)].c_str(), width - 4);
    mvwaddstr(window, height - 2, std::max(1, width / 2 - 5), "[  OK  ]");
    wrefresh(window);
    curs_set(0);
    while (true) {
        const int key = getch();
        if (ClockKey(key) == kEnterKey || key == ' ' || key == kEscape || key == KEY_MOUSE) {
            break;
        }
    }
    delwin(window);
    Draw(m_model);
}

}  // namespace timeclock::tui
