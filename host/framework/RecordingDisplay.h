#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// A display that remembers what it was told: every call as an [operation, argument] pair in
// order ("SetPrompt", "Select Punch Type"), plus the state a screen would show: an error stays
// on show until the next prompt, entry or Clear. Tests assert on
// calls(); the scripted punch prints them.
class PLATFORM_API RecordingDisplay : public framework::IDisplay {
  public:
    using Call = std::pair<std::string, std::string>;

    // The arguments as text: booleans "True"/"False", numbers in decimal, a message as its
    // entries "name=value" joined by ";" (a null as "Null", an object as "Object").
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) override;
    void SetPrompt(const std::string& text) override;
    void SetUserInput(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowInformation(const std::string& text) override;
    void Clear() override;
    void ShowCursor(framework::VBool visible) override;
    void SetCursorPosition(int16_t position) override;

    const std::vector<Call>& calls() const { return m_calls; }
    void clear_calls() { m_calls.clear(); }

    // What a screen shows now.
    const std::string& prompt() const { return m_prompt; }
    const std::string& user_input() const { return m_user_input; }
    const std::string& error() const { return m_error; }
    const std::string& information() const { return m_information; }
    bool cursor_visible() const { return m_cursor_visible; }
    int cursor_position() const { return m_cursor_position; }
    // 0: the entry is aligned left, 1: right.
    int alignment() const { return m_alignment; }

  private:
    std::vector<Call> m_calls;
    std::string m_prompt;
    std::string m_user_input;
    std::string m_error;
    std::string m_information;
    bool m_cursor_visible = false;
    int m_cursor_position = 0;
    int m_alignment = 0;
};

}  // namespace orvane
