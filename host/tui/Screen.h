#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/clock/Input.h"
#include "host/clock/ScreenModel.h"

namespace timeclock::tui {

// The terminal screen of the kiosk (ncurses): the screen model's prompt, entry, cursor and
// messages at the top, its controls below, drawn at their places with twips scaled to character
// cells, enabled and coloured as the model says. It remembers where each control was drawn so
// that a mouse click or Alt and an access letter names its control, and turns terminal keys
// into the clock's inputs. It only draws the model and reads the terminal; the clock decides
// everything.
class Screen {
  public:
    Screen();
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // What the person at the terminal did: the clock's input, or quitting the kiosk.
    struct Reading {
        bool quit = false;
        std::optional<Input> input;
    };

    // Draws the whole screen for the model.
    void Draw(const ScreenModel& model);
    // Waits up to `milliseconds` for the next input. Keypad keys in application mode count as
    // the keys they show, Escape followed at once by a letter is Alt and that letter (the button
    // whose caption marks it with "&", never a cancel), and a mouse click names the control
    // under it. While the terminal is too small, only the quit key is taken.
    Reading ReadInput(int milliseconds);
    // The last Draw found the terminal too small for the clock.
    bool TooSmall() const { return m_too_small; }
    // Draws a modal message over the screen and waits for Enter or a click.
    void ShowMessage(const std::string& text);
    // The control drawn at a cell; null when there is none.
    const ControlView* ControlAt(int row, int column) const;

    // The smallest terminal the kiosk can draw in.
    static constexpr int kMinColumns = 60;
    static constexpr int kMinRows = 22;

  private:
    struct Placed {
        int top, left, height, width;
        // The control's place in the model's list.
        size_t control;
    };
    struct Scale {
        int twips_per_column;
        int twips_per_row;
    };

    void DrawDisplay(const ScreenModel& model);
    void DrawControls(const std::vector<ControlView>& controls, int origin_row, int origin_column,
                      Scale scale);
    void DrawButton(const ControlView& control, int row, int column, int height, int width);

    Reading AfterEscape();
    const ControlView* AccessKeyControl(char letter) const;

    ScreenModel m_model;
    std::vector<Placed> m_placed;
    bool m_too_small = false;
};

}  // namespace timeclock::tui
