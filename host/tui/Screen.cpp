#include "host/tui/Screen.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "platform/Convert.h"
#include "platform/Services.h"

// ncurses last: it defines macros with common names.
#include <curses.h>

namespace timeclock::tui {

namespace {

constexpr int kHeaderRows = 8;  // title, prompt, entry, error and information lines
constexpr int kEntryWidth = 32;
constexpr int kMinTwipsPerColumn = 100;
constexpr int kMinTwipsPerRow = 240;
// Beyond these the buttons would be too small to read.
constexpr int kMaxTwipsPerColumn = 220;
constexpr int kMaxTwipsPerRow = 520;

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

void PutClipped(int row, int column, const std::string& text, int width) {
    if (width <= 0 || row < 0 || row >= LINES || column >= COLS)
        return;
    mvaddnstr(row, column, text.c_str(), std::min(width, COLS - column));
}

// The words of a text as lines of at most `width` columns; a word longer than a line is split.
std::vector<std::string> Wrap(const std::string& text, int width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word;
    std::string line;
    const auto limit = static_cast<size_t>(std::max(1, width));
    while (words >> word) {
        while (word.size() > limit) {
            if (!line.empty())
                lines.push_back(std::exchange(line, {}));
            lines.push_back(word.substr(0, limit));
            word.erase(0, limit);
        }
        if (!line.empty() && line.size() + 1 + word.size() > limit)
            lines.push_back(std::exchange(line, {}));
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

}  // namespace

Screen::Screen() {
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    set_escdelay(25);
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

void Screen::Draw(const Clock& clock) {
    m_clock = &clock;
    m_placed.clear();
    erase();
    curs_set(0);
    if (COLS < kMinColumns || LINES < kMinRows) {
        std::ostringstream text;
        text << "Terminal too small: " << COLS << "x" << LINES << ", the clock needs "
             << kMinColumns << "x" << kMinRows << ". F10 quits.";
        PutClipped(0, 0, text.str(), COLS);
        refresh();
        return;
    }

    auto form = clock.ActiveForm();
    if (form) {
        const int rows = LINES - kHeaderRows - 1;
        const int columns = COLS - 2;
        Scale scale{std::max(kMinTwipsPerColumn, (form->ScaleWidth() + columns - 1) / columns),
                    std::max(kMinTwipsPerRow, (form->ScaleHeight() + rows - 1) / rows)};
        if (scale.twips_per_column > kMaxTwipsPerColumn || scale.twips_per_row > kMaxTwipsPerRow) {
            PutClipped(kHeaderRows, 1, "Terminal too small for the keypad: enlarge the window.",
                       COLS - 2);
        } else {
            const int width = form->ScaleWidth() / scale.twips_per_column;
            const int left = std::max(1, (COLS - width) / 2);
            DrawForm(*form, kHeaderRows, left, scale);
            if (auto buttons = clock.OwnButtons())
                DrawForm(*buttons, kHeaderRows, left + width + 2, scale);
        }
    }
    PutClipped(LINES - 1, 0, " F10 quit   Esc cancel   keys or mouse on the buttons", COLS);
    DrawDisplay(clock);
    refresh();
}

void Screen::DrawDisplay(const Clock& clock) {
    const auto& display = *clock.Display();
    attron(COLOR_PAIR(kTitlePair));
    mvhline(0, 0, ' ' | COLOR_PAIR(kTitlePair), COLS);
    PutClipped(0, 1, "Stampkind Time Clock", COLS - 2);
    auto& services = platform::services();
    const std::string now = platform::date_to_text(services.Now(), services.Regional());
    PutClipped(0, std::max(0, COLS - static_cast<int>(now.size()) - 1), now, COLS);
    attroff(COLOR_PAIR(kTitlePair));

    // The manager banner, then whose punch it is.
    const auto model = clock.Model();
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
    PutClipped(2, 2, display.prompt(), COLS - 4);
    attroff(A_BOLD);

    const int left = 2;
    const std::string& entry = display.user_input();
    const int shown = std::min<int>(static_cast<int>(entry.size()), kEntryWidth);
    const int entry_column = left + 1 + (display.alignment() == 1 ? kEntryWidth - shown : 0);
    mvaddch(3, left, '[');
    mvaddch(3, left + kEntryWidth + 1, ']');
    PutClipped(3, entry_column, entry.substr(entry.size() - static_cast<size_t>(shown)), shown);

    // A message wraps onto the lines below it rather than being cut at the screen's edge.
    int row = 5;
    if (!display.error().empty()) {
        attron(COLOR_PAIR(kErrorPair) | A_BOLD);
        for (const auto& line : Wrap(display.error(), COLS - 4))
            PutClipped(row++, 2, line, COLS - 4);
        attroff(COLOR_PAIR(kErrorPair) | A_BOLD);
    }
    for (const auto& line : Wrap(display.information(), COLS - 4))
        PutClipped(row++, 2, line, COLS - 4);
    for (const auto& line : model.confirmation)
        PutClipped(row++, 2, line, COLS - 4);

    if (display.cursor_visible()) {
        const int position = std::clamp(display.cursor_position(), 0, kEntryWidth);
        move(3, entry_column + std::min(position, shown));
        curs_set(1);
    }
}

void Screen::DrawForm(const platform::UserControl& form, int origin_row, int origin_column,
                      Scale scale) {
    for (const auto& control : form.Controls()) {
        if (!control->Visible())
            continue;
        const int row = origin_row + control->Top() / scale.twips_per_row;
        const int column = origin_column + control->Left() / scale.twips_per_column;
        const int height = std::max(1, control->Height() / scale.twips_per_row);
        const int width = std::max(1, control->Width() / scale.twips_per_column);
        if (auto site = std::dynamic_pointer_cast<platform::UserControlSite>(control)) {
            if (auto inner = site->Inner())
                DrawForm(*inner, row, column, scale);
            continue;
        }
        switch (control->Kind()) {
            case platform::ControlKind::CommandButton:
                DrawButton(*control, row, column, height, width);
                m_placed.push_back({row, column, height, width, control});
                break;
            case platform::ControlKind::Frame:
                PutClipped(row, column, control->Caption(), width);
                break;
            default:
                PutClipped(row, column, control->Caption(), width);
                m_placed.push_back({row, column, height, width, control});
                break;
        }
    }
}

void Screen::DrawButton(const platform::Control& control, int row, int column, int height,
                        int width) {
    const int attributes =
        ButtonAttributes(control.BackColor()) | (control.Enabled() ? A_NORMAL : A_DIM);
    attron(attributes);
    for (int r = 0; r < height; ++r) {
        if (row + r < LINES - 1)
            mvhline(row + r, column, ' ' | static_cast<chtype>(attributes), std::max(1, width - 1));
    }
    const auto lines = CaptionLines(control.Caption());
    const int first = row + std::max(0, (height - static_cast<int>(lines.size())) / 2);
    for (size_t i = 0; i < lines.size() && first + static_cast<int>(i) < row + height; ++i) {
        const int length = std::min(static_cast<int>(lines[i].size()), width - 1);
        PutClipped(first + static_cast<int>(i), column + std::max(0, (width - 1 - length) / 2),
                   lines[i], length);
    }
    attroff(attributes);
}

std::shared_ptr<platform::Control> Screen::ControlAt(int row, int column) const {
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        if (row >= it->top && row < it->top + it->height && column >= it->left &&
            column < it->left + it->width) {
            return it->control;
        }
    }
    return nullptr;
}

void Screen::ShowMessage(const std::string& text) {
    if (m_clock)
        Draw(*m_clock);
    const int width = std::min(COLS - 2, std::max(30, static_cast<int>(text.size()) + 4));
    const int top = std::max(0, LINES / 2 - 3);
    const int left = std::max(0, (COLS - width) / 2);
    WINDOW* window = newwin(5, width, top, left);
    if (!window)
        return;
    box(window, 0, 0);
    mvwaddnstr(window, 1, 2, text.c_str(), width - 4);
    mvwaddstr(window, 3, std::max(1, width / 2 - 5), "[  OK  ]");
    wrefresh(window);
    curs_set(0);
    while (true) {
        const int key = getch();
        if (key == '\n' || key == '\r' || key == KEY_ENTER || key == ' ' || key == 27 ||
            key == KEY_MOUSE) {
            break;
        }
    }
    delwin(window);
    if (m_clock)
        Draw(*m_clock);
}

}  // namespace timeclock::tui
