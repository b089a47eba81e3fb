#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "framework/IPropertyPage.h"
#include "framework/IStep.h"
#include "platform/Controls.h"
#include "platform/Events.h"
#include "step/StepSettings.h"

namespace stampkind {

// The administrator's page for the three settings of one "Punch Entry" step: the manager punch
// types the keypad may offer, the automatic punch and the span it looks back over. It reads the
// settings from the attached step's live settings collection when attached and writes them back
// there on ApplyChanges; in between the edits live only in its controls. It validates nothing
// and keeps no reference to the collection between calls. It raises "Changed" for each
// selection change a person makes in the list of manager punch types.
class SetupPage final : public platform::UserControl,
                        public framework::IPropertyPage,
                        public platform::EventSource {
  public:
    static constexpr std::string_view kProgId = "Stampkind.SetupPage";

    // The page's controls, as placed on its 5835 x 4620 twip client area.
    static const std::array<platform::ControlSpec, 6> kControls;
    // The items of the manager punch type list; item i is character i+1 of "AllowedStampkinds".
    static const std::array<std::string_view, 10> kManagerPunchTypes;

    SetupPage();
    ~SetupPage() override;
    // A new page, counted among the library's live objects (how the library makes its pages).
    static std::shared_ptr<SetupPage> Create();

    // IPropertyPage, in slot order.
    void Reset() override;
    void AttachStep(const std::shared_ptr<framework::IStep>& step) override;
    // Raises "Object variable not set" (91) when no step is attached.
    void ApplyChanges() override;
    std::string Description() const override;
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) override;

  private:
    // Selects list item i when character i+1 of the text is a digit other than "0"; raises
    // "Type mismatch" (13) at the first of the ten characters that is missing or no digit.
    void LoadAllowedTypes(const std::string& allowed);
    // The attached step's settings; raises 91 without a step or a settings collection.
    SettingsView Settings() const;

    std::shared_ptr<framework::IStep> m_step;
    // True while AttachStep fills the list: those selections are not a person's edits and
    // raise no "Changed".
    bool m_loading = false;
};

}  // namespace stampkind
