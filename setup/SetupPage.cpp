#include "setup/SetupPage.h"

#include "common/LiveObjects.h"
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Variant.h"
#include "step/StepSettings.h"

namespace stampkind {

using platform::ControlKind;

namespace {
constexpr int kScaleWidth = 5835;
constexpr int kScaleHeight = 4620;
constexpr int kAllowedLength = 10;
constexpr int kChecked = 1;
}  // namespace

// clang-format off
const std::array<platform::ControlSpec, 6> SetupPage::kControls{{
    // kind                      name                    index caption                        left  top  width height tab container
    {ControlKind::Frame,    "Frame1",               -1, "Manager Punch Types Allowed", 3000, 240, 2535, 2895, 0, ""},
    {ControlKind::ListBox,  "lstManagerStampkinds", -1, "",                            240,  360, 2055, 2310, 1, "Frame1"},
    {ControlKind::Frame,    "Frame2",               -1, "",                            120,  240, 2655, 855,  2, ""},
    // Lies over the top edge of Frame2 and serves as that frame's heading.
    {ControlKind::CheckBox, "chkUseGlidepass",      -1, "Use Glidepass",               240,  240, 1575, 255,  3, ""},
    {ControlKind::Label,    "Label1",               -1, "Reset Span:",                 120,  360, 975,  255,  4, "Frame2"},
    {ControlKind::TextBox,  "txtResetSpan",         -1, "",                            1080, 360, 1335, 285,  5, "Frame2"},
}};

const std::array<std::string_view, 10> SetupPage::kManagerPunchTypes{{
    "Advance", "Holiday", "Sick", "Vacation", "Personal",
    "Bonus", "Other", "Funeral Leave", "Jury Duty", "Complete",
}};
// clang-format on

SetupPage::SetupPage()
    : platform::UserControl(kScaleWidth, kScaleHeight), platform::EventSource({{"Changed", 1}}) {
    for (const auto& row : kControls)
        AddControl(row);

    auto& list = Get<platform::ListBox>("lstManagerStampkinds");
    list.SetMultiSelect(true);
    for (auto item : kManagerPunchTypes)
        list.AddItem(std::string(item));
    list.SetClickHandler([this] {
        if (!m_loading)
            RaiseEvent("Changed");
    });

    Get<platform::CheckBox>("chkUseGlidepass").SetClickHandler([this] {
        auto& check = Get<platform::CheckBox>("chkUseGlidepass");
        Get<platform::TextBox>("txtResetSpan").SetEnabled(check.Value() == kChecked);
    });
}

SetupPage::~SetupPage() = default;

std::shared_ptr<SetupPage> SetupPage::Create() {
    return MakeCounted<SetupPage>();
}

void SetupPage::Reset() {}

void SetupPage::AttachStep(const std::shared_ptr<framework::IStep>& step) {
    m_step = step;
    LoadAllowedTypes(Settings().AllowedStampkinds());
    Get<platform::TextBox>("txtResetSpan")
        .SetText(Settings().Value(SettingId::GlidepassSpan).to_text());

    auto& check = Get<platform::CheckBox>("chkUseGlidepass");
    check.SetValue(Settings().IsGlidepass() ? kChecked : 0);
    Get<platform::TextBox>("txtResetSpan").SetEnabled(check.Value() == kChecked);
}

void SetupPage::ApplyChanges() {
    const auto& list = Get<platform::ListBox>("lstManagerStampkinds");
    std::string allowed;
    for (int i = 0; i < kAllowedLength; ++i)
        allowed += list.Selected(i) ? '1' : '0';
    Settings().SetAllowedStampkinds(allowed);

    const double span = platform::leading_number(Get<platform::TextBox>("txtResetSpan").Text());
    Settings().SetGlidepassSpan(span);

    const bool ticked = Get<platform::CheckBox>("chkUseGlidepass").Value() == kChecked;
    Settings().SetIsGlidepass(ticked);
}

std::string SetupPage::Description() const {
    return "";
}

void SetupPage::ReceiveMessage(const std::shared_ptr<framework::IMessage>&) {}

void SetupPage::LoadAllowedTypes(const std::string& allowed) {
    auto& list = Get<platform::ListBox>("lstManagerStampkinds");
    m_loading = true;
    try {
        for (int i = 0; i < kAllowedLength; ++i) {
            // One character read as a boolean: a digit, "0" false and any other true.
            if (static_cast<size_t>(i) >= allowed.size())
                platform::raise(platform::err::kTypeMismatch);
            const char c = allowed[static_cast<size_t>(i)];
            if (c < '0' || c > '9')
                platform::raise(platform::err::kTypeMismatch);
            list.SetSelected(i, c != '0');
        }
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
}

SettingsView SetupPage::Settings() const {
    if (!m_step)
        platform::raise(platform::err::kObjectVariableNotSet);
    return SettingsView(m_step->Properties());
}

}  // namespace stampkind
