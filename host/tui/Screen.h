#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/clock/Clock.h"
#include "platform/Controls.h"

namespace timeclock::tui {

// The terminal screen of the kiosk (ncurses): the display's prompt, entry, cursor and error
// line at the top, the active keypad's controls below, drawn at their places with twips scaled
// to character cells, shown, enabled and coloured as the control models say. It remembers where
// each control was drawn so that a mouse click or Alt and an access letter finds its control,
// and turns terminal keys into the clock's keys. It only draws, reads and looks up; the clock
// and the control models decide everything.
class Screen {
  public:
    Screen();
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // What the person at the terminal did, in the clock's terms.
    struct Input {
        enum class Kind { None, Key, Escape, Click, Quit };
        Kind kind = Kind::None;
        // Key: the key code for the clock (13 Enter, 8 Backspace, a character code).
        int16_t key = 0;
        // Click: the control clicked with the mouse or chosen by Alt and its access letter.
        std::shared_ptr<platform::Control> control;
    };

    // Draws the whole screen for the clock's present state.
    void Draw(const Clock& clock);
    // Waits up to `milliseconds` for the next input. Keypad keys in application mode count as
    // the keys they show, Escape followed at once by a letter is Alt and that letter (the button
    // whose caption marks it with "&", never a cancel), and a mouse click names the button under
    // it. While the terminal is too small, only the quit key is taken.
    Input ReadInput(int milliseconds);
    // The last Draw found the terminal too small for the clock.
    bool TooSmall() const { return m_too_small; }
    // Draws a modal message over the screen and waits for Enter or a click.
    void ShowMessage(const std::string& text);
    // The control drawn at a cell; null when there is none.
    std::shared_ptr<platform::Control> ControlAt(int row, int column) const;

    // The smallest terminal the kiosk can draw in.
    static constexpr int kMinColumns = 60;
    static constexpr int kMinRows = 22;

  private:
    struct Placed {
        int top, left, height, width;
        std::shared_ptr<platform::Control> control;
    };
    struct Scale {
        int twips_per_column;
        int twips_per_row;
    };

    void DrawDisplay(const Clock& clock);
    void DrawForm(const platform::UserControl& form, int origin_row, int origin_column,
                  Scale scale);
    void DrawButton(const platform::Control& control, int row, int column, int height, int width);

    Input AfterEscape();
    std::shared_ptr<platform::Control> AccessKeyControl(char letter) const;

    std::vector<Placed> m_placed;
    bool m_too_small = false;
    const Clock* m_clock = nullptr;
};

}  // namespace timeclock::tui
