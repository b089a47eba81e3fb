#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Api.h"
#include "platform/Object.h"

namespace platform {

class UserControl;

enum class ControlKind { CommandButton, ListBox, CheckBox, TextBox, Frame, Label, UserControlSite };

struct PLATFORM_API FontSpec {
    std::string name = "MS Sans Serif";
    double size = 8.25;
    bool bold = false;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// The platform's default face colour of a button (a system colour, not an RGB value).
inline constexpr int32_t kButtonFace = static_cast<int32_t>(0x8000000Fu);

// The row of a form's control table: what a control is and where it sits, in twips.
struct PLATFORM_API ControlSpec {
    ControlKind kind;
    std::string_view name;
    int index = -1;  // -1: not part of a control array
    std::string_view caption;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tab_index = 0;
    std::string_view container;  // "" for the form itself
};

// The headless model of one control: the properties the component and the front ends use.
// Front ends only draw these properties and forward a person's clicks to Click(); the component
// reacts through the handler it connected. Positions are in twips relative to the container.
class PLATFORM_API Control : public virtual Object {
  public:
    Control(ControlKind kind, std::string name, int index = -1);
    explicit Control(const ControlSpec& row);
    ~Control() override;

    ControlKind Kind() const { return m_kind; }
    const std::string& Name() const { return m_name; }
    // The index within a control array, -1 for a control that is no array member.
    int Index() const { return m_index; }
    // "cmdStampkind(3)" or "cmdSkip".
    std::string QualifiedName() const;

    const std::string& Caption() const { return m_caption; }
    void SetCaption(std::string caption) { m_caption = std::move(caption); }
    const std::string& Tag() const { return m_tag; }
    void SetTag(std::string tag) { m_tag = std::move(tag); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    int32_t BackColor() const { return m_back_color; }
    void SetBackColor(int32_t color) { m_back_color = color; }
    const FontSpec& Font() const { return m_font; }
    void SetFont(FontSpec font) { m_font = std::move(font); }
    int TabIndex() const { return m_tab_index; }
    void SetTabIndex(int tab_index) { m_tab_index = tab_index; }
    const std::string& Container() const { return m_container; }
    void SetContainer(std::string container) { m_container = std::move(container); }

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Move(int left, int top, int width, int height);

    // A person's click: runs the click handler when the control is visible and enabled, and
    // answers whether it ran. A check box also toggles its value.
    virtual bool Click();
    // The click handler as the component's own code calls it (a key that acts as a click).
    void FireClick();
    void SetClickHandler(std::function<void()> handler) { m_on_click = std::move(handler); }

  private:
    ControlKind m_kind;
    std::string m_name;
    int m_index;
    std::string m_caption;
    std::string m_tag;
    bool m_visible = true;
    bool m_enabled = true;
    int32_t m_back_color = kButtonFace;
    FontSpec m_font;
    int m_tab_index = 0;
    std::string m_container;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    std::function<void()> m_on_click;
};

class PLATFORM_API CommandButton final : public Control {
  public:
    using Control::Control;
};

// A list box; with multiple selection each click toggles one item.
class PLATFORM_API ListBox final : public Control {
  public:
    using Control::Control;
    void AddItem(std::string text);
    int ListCount() const { return static_cast<int>(m_items.size()); }
    // Raise "Invalid procedure call or argument" (5) for an index out of range.
    const std::string& List(int index) const;
    bool Selected(int index) const;
    // Sets an item's selection from code; like the platform, a change runs the click handler.
    void SetSelected(int index, bool selected);
    bool MultiSelect() const { return m_multi_select; }
    void SetMultiSelect(bool multi) { m_multi_select = multi; }
    int ListIndex() const { return m_list_index; }
    // A person's click on an item: toggles it (multiple selection) or selects it alone, makes it
    // the current item and runs the click handler; nothing when hidden or disabled.
    bool ClickItem(int index);

  private:
    std::vector<std::string> m_items;
    std::vector<bool> m_selected;
    bool m_multi_select = false;
    int m_list_index = -1;
};

// A check box; Value is 0 (cleared), 1 (ticked) or 2 (greyed). A click toggles 0 and 1 and runs
// the click handler.
class PLATFORM_API CheckBox final : public Control {
  public:
    using Control::Control;
    int Value() const { return m_value; }
    // Like the platform, a change of the value from code runs the click handler. Raises
    // "Invalid property value" (380) for a value other than 0, 1 or 2.
    void SetValue(int value);
    bool Click() override;

  private:
    int m_value = 0;
};

// A single-line text box.
class PLATFORM_API TextBox final : public Control {
  public:
    using Control::Control;
    const std::string& Text() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }

  private:
    std::string m_text;
};

class PLATFORM_API Frame final : public Control {
  public:
    using Control::Control;
};

class PLATFORM_API Label final : public Control {
  public:
    using Control::Control;
};

// The host-side wrapper of a user control placed on a container (its extender): the name,
// position and Visible the container sees. It refers back to the user control it wraps.
class PLATFORM_API UserControlSite final : public Control {
  public:
    UserControlSite(std::string name, std::weak_ptr<UserControl> inner);
    // The user control wrapped; null for the wrapper of a top-level control, which its host
    // holds itself.
    std::shared_ptr<UserControl> Inner() const { return m_inner.lock(); }

  private:
    std::weak_ptr<UserControl> m_inner;
};

// A user control or a property page: a form with its own Controls collection, its client area
// and the host-side wrapper through which its container shows, hides and places it.
class PLATFORM_API UserControl : public virtual Object {
  public:
    ~UserControl() override;

    const std::vector<std::shared_ptr<Control>>& Controls() const { return m_controls; }
    // The control of the name (and index, for an array member); null when there is none.
    std::shared_ptr<Control> Find(std::string_view name, int index = -1) const;
    // The control a qualified path names, as front ends and scripts name a control to click:
    // "cmdSkip", "cmdStampkind(3)", and through an embedded user control's wrapper
    // "TimeIn1.cmdButton(5)". Null when the path names no control or is malformed.
    std::shared_ptr<Control> Resolve(std::string_view path) const;
    // The same, typed; raises "Type mismatch" (13) when the control is of another kind and
    // "Subscript out of range" (9) when there is none.
    template <class C>
    C& Get(std::string_view name, int index = -1) const {
        auto found = Find(name, index);
        if (!found)
            raise(err::kSubscriptOutOfRange);
        auto* typed = dynamic_cast<C*>(found.get());
        if (!typed)
            raise(err::kTypeMismatch);
        return *typed;
    }

    int ScaleWidth() const { return m_scale_width; }
    int ScaleHeight() const { return m_scale_height; }

    // The host-side wrapper (name, placement, Visible in the container). A control placed in
    // another by AddUserControl has the wrapper made there; a top-level control gets one on
    // first use, without a name, visible.
    UserControlSite& Extender();
    const UserControlSite& Extender() const;

  protected:
    UserControl(int scale_width, int scale_height);

    // Creates the control of a table row and adds it to Controls.
    Control& AddControl(const ControlSpec& row);
    // Places a user control inside this one under a name; its wrapper joins Controls.
    void AddUserControl(const std::shared_ptr<UserControl>& inner, std::string name, int left,
                        int top, int width, int height);
    // Gives the wrapper a name in its container (called by the container that embeds it).
    void SetExtender(std::shared_ptr<UserControlSite> site) { m_extender = std::move(site); }

  private:
    std::vector<std::shared_ptr<Control>> m_controls;
    mutable std::shared_ptr<UserControlSite> m_extender;  // made on first use when not placed
    int m_scale_width;
    int m_scale_height;
};

}  // namespace platform
