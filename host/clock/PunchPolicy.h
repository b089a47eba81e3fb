#pragma once

namespace timeclock {

// What differs between a punch at a kiosk, where a person stands at the clock, and a scripted
// punch for an administrator (`timeclock punch`), which stores what it is told and reports it.
// The clock asks its policy at each of these points; nothing else in it knows which kind of
// punch it runs.
struct PunchPolicy {
    // The step sees the card as typed even when the sequence has no "Employee ID" step.
    bool card_without_id_step = false;
    // In manager mode the punch keypad shows without asking the step whether to skip it: the
    // automatic punch decides only an employee's own punch.
    bool manager_keypad_always = true;
    // A guard's finding (a duplicate, a punch that does not fit) stops the punch and is shown;
    // otherwise it is noted in the punch's notice and the punch is stored as it is.
    bool findings_stop = true;
    // The punch ends on the confirmation screen, which holds the employee's figures; otherwise
    // the figures go to the display as the "Employee Statistics" step shows them, and the clock
    // is done.
    bool confirms_on_screen = true;
    // A changed configuration file is read again at the card prompt.
    bool reloads_settings = true;
    // The display says "Please wait…" while another clock holds the database.
    bool shows_waiting = true;
    // A card typed in full on a screen after another card was read gives that punch up and
    // starts the new card's punch: the first person has walked away.
    bool cards_over_punches = true;
    // A manager's entry is stored only once the manager's PIN confirms it on its last screen.
    bool manager_confirms_with_pin = true;

    static constexpr PunchPolicy Kiosk() { return {}; }
    static constexpr PunchPolicy Scripted() {
        return {.card_without_id_step = true,
                .manager_keypad_always = false,
                .findings_stop = false,
                .confirms_on_screen = false,
                .reloads_settings = false,
                .shows_waiting = false,
                .cards_over_punches = false,
                .manager_confirms_with_pin = false};
    }
};

}  // namespace timeclock
