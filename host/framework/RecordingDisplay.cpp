#include "host/framework/RecordingDisplay.h"

#include "host/framework/Names.h"

namespace orvane {

namespace {

// A message as its entries "name=value" joined by ";".
std::string MessageText(const framework::IMessage& message) {
    std::string text;
    for (const auto& entry : message.Entries()) {
        if (!text.empty())
            text += ';';
        text += entry.Name + '=';
        if (entry.Value.is_null()) {
            text += "Null";
        } else if (entry.Value.is_object()) {
            text += "Object";
        } else {
            text += entry.Value.to_text();
        }
    }
    return text;
}

}  // namespace

void RecordingDisplay::ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) {
    if (!message) {
        m_calls.emplace_back("ReceiveMessage", "");
        return;
    }
    m_calls.emplace_back("ReceiveMessage", MessageText(*message));
    for (const auto& entry : message->Entries()) {
        if (SameName(entry.Name, "userinput alignment")) {
            m_alignment = entry.Value.to_int32() == 0 ? 0 : 1;
        }
    }
}

void RecordingDisplay::SetPrompt(const std::string& text) {
    m_calls.emplace_back("SetPrompt", text);
    m_prompt = text;
    m_error.clear();
}

void RecordingDisplay::SetUserInput(const std::string& text) {
    m_calls.emplace_back("SetUserInput", text);
    m_user_input = text;
    m_error.clear();
}

void RecordingDisplay::ShowError(const std::string& text) {
    m_calls.emplace_back("ShowError", text);
    m_error = text;
}

void RecordingDisplay::ShowInformation(const std::string& text) {
    m_calls.emplace_back("ShowInformation", text);
    m_information = text;
}

void RecordingDisplay::Clear() {
    m_calls.emplace_back("Clear", "");
    m_prompt.clear();
    m_user_input.clear();
    m_error.clear();
    m_information.clear();
}

void RecordingDisplay::ShowCursor(framework::VBool visible) {
    m_cursor_visible = framework::FromVBool(visible);
    m_calls.emplace_back("ShowCursor", m_cursor_visible ? "True" : "False");
}

void RecordingDisplay::SetCursorPosition(int16_t position) {
    m_calls.emplace_back("SetCursorPosition", std::to_string(position));
    m_cursor_position = position;
}

}  // namespace orvane
