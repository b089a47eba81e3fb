#include "platform/Controls.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <optional>
#include <utility>

#include "platform/Error.h"
#include "platform/TextScan.h"

namespace platform {

namespace {

constexpr int32_t kInvalidPropertyValue = 380;

}  // namespace

// ---- Control ---------------------------------------------------------------------------------

Control::Control(ControlKind kind, std::string name, int index)
    : m_kind(kind), m_name(std::move(name)), m_index(index) {}

Control::Control(const ControlSpec& row)
    : m_kind(row.kind),
      m_name(row.name),
      m_index(row.index),
      m_caption(row.caption),
      m_tab_index(row.tab_index),
      m_container(row.container),
      m_left(row.left),
      m_top(row.top),
      m_width(row.width),
      m_height(row.height) {}

Control::~Control() = default;

std::string Control::QualifiedName() const {
    if (m_index < 0)
        return m_name;
    return m_name + "(" + std::to_string(m_index) + ")";
}

void Control::Move(int left, int top, int width, int height) {
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
}

bool Control::Click() {
    if (!m_visible || !m_enabled)
        return false;
    FireClick();
    return true;
}

void Control::FireClick() {
    if (!m_on_click)
        return;
    // The handler may replace itself while it runs; run the one that was set at the click.
    auto handler = m_on_click;
    handler();
}

// ---- ListBox ---------------------------------------------------------------------------------

void ListBox::AddItem(std::string text) {
    m_items.push_back(std::move(text));
    m_selected.push_back(false);
}

const std::string& ListBox::List(int index) const {
    if (index < 0 || index >= ListCount())
        raise(err::kInvalidProcedureCall);
    return m_items[static_cast<size_t>(index)];
}

bool ListBox::Selected(int index) const {
    if (index < 0 || index >= ListCount())
        raise(err::kInvalidProcedureCall);
    return m_selected[static_cast<size_t>(index)];
}

void ListBox::SetSelected(int index, bool selected) {
    if (index < 0 || index >= ListCount())
        raise(err::kInvalidProcedureCall);
    const auto at = static_cast<size_t>(index);
    bool changed = m_selected[at] != selected;
    if (!m_multi_select && selected) {
        // A single-selection list holds at most one selected item.
        for (size_t i = 0; i < m_selected.size(); ++i) {
            if (i != at && m_selected[i]) {
                m_selected[i] = false;
                changed = true;
            }
        }
    }
    m_selected[at] = selected;
    if (selected) {
        m_list_index = index;
    } else if (!m_multi_select && m_list_index == index) {
        m_list_index = -1;
    }
    if (changed)
        FireClick();
}

bool ListBox::ClickItem(int index) {
    if (!Visible() || !Enabled())
        return false;
    if (index < 0 || index >= ListCount())
        raise(err::kInvalidProcedureCall);
    const auto at = static_cast<size_t>(index);
    if (m_multi_select) {
        m_selected[at] = !m_selected[at];
    } else {
        std::fill(m_selected.begin(), m_selected.end(), false);
        m_selected[at] = true;
    }
    m_list_index = index;
    FireClick();
    return true;
}

// ---- CheckBox --------------------------------------------------------------------------------

void CheckBox::SetValue(int value) {
    if (value < 0 || value > 2)
        raise(kInvalidPropertyValue, "Invalid property value");
    if (value == m_value)
        return;
    m_value = value;
    FireClick();
}

bool CheckBox::Click() {
    if (!Visible() || !Enabled())
        return false;
    SetValue(m_value == 1 ? 0 : 1);
    return true;
}

// ---- UserControlSite and UserControl ---------------------------------------------------------

UserControlSite::UserControlSite(std::string name, std::weak_ptr<UserControl> inner)
    : Control(ControlKind::UserControlSite, std::move(name)), m_inner(std::move(inner)) {}

UserControl::UserControl(int scale_width, int scale_height)
    : m_scale_width(scale_width), m_scale_height(scale_height) {}

UserControl::~UserControl() = default;

std::shared_ptr<Control> UserControl::Find(std::string_view name, int index) const {
    for (const auto& control : m_controls) {
        if (control->Index() == index && platform::text::iequals(control->Name(), name))
            return control;
    }
    return nullptr;
}

namespace {

// Splits "name(index)" into its name and index (-1 without parentheses); nothing when malformed.
std::optional<std::pair<std::string_view, int>> parse_qualified(std::string_view text) {
    const auto open = text.find('(');
    if (open == std::string_view::npos) {
        if (text.empty() || text.find(')') != std::string_view::npos)
            return std::nullopt;
        return std::pair{text, -1};
    }
    if (open == 0 || text.back() != ')')
        return std::nullopt;
    const std::string_view digits = text.substr(open + 1, text.size() - open - 2);
    int index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        index < 0) {
        return std::nullopt;
    }
    return std::pair{text.substr(0, open), index};
}

}  // namespace

std::shared_ptr<Control> UserControl::Resolve(std::string_view path) const {
    const auto dot = path.find('.');
    const auto parsed = parse_qualified(path.substr(0, dot));
    if (!parsed)
        return nullptr;
    auto control = Find(parsed->first, parsed->second);
    if (!control || dot == std::string_view::npos)
        return control;
    auto site = std::dynamic_pointer_cast<UserControlSite>(control);
    auto inner = site ? site->Inner() : nullptr;
    return inner ? inner->Resolve(path.substr(dot + 1)) : nullptr;
}

UserControlSite& UserControl::Extender() {
    return const_cast<UserControlSite&>(std::as_const(*this).Extender());
}

const UserControlSite& UserControl::Extender() const {
    if (!m_extender) {
        m_extender = std::make_shared<UserControlSite>(std::string(), std::weak_ptr<UserControl>());
        m_extender->Move(0, 0, m_scale_width, m_scale_height);
    }
    return *m_extender;
}

Control& UserControl::AddControl(const ControlSpec& row) {
    std::shared_ptr<Control> control;
    switch (row.kind) {
        case ControlKind::CommandButton:
            control = std::make_shared<CommandButton>(row);
            break;
        case ControlKind::ListBox:
            control = std::make_shared<ListBox>(row);
            break;
        case ControlKind::CheckBox:
            control = std::make_shared<CheckBox>(row);
            break;
        case ControlKind::TextBox:
            control = std::make_shared<TextBox>(row);
            break;
        case ControlKind::Frame:
            control = std::make_shared<Frame>(row);
            break;
        case ControlKind::Label:
            control = std::make_shared<Label>(row);
            break;
        case ControlKind::UserControlSite:
            // User controls are placed with AddUserControl, which makes their wrapper.
            assert(false && "a user control is placed with AddUserControl");
            raise(err::kInvalidProcedureCall);
    }
    m_controls.push_back(control);
    return *control;
}

void UserControl::AddUserControl(const std::shared_ptr<UserControl>& inner, std::string name,
                                 int left, int top, int width, int height) {
    assert(inner && inner.get() != this);
    auto site = std::make_shared<UserControlSite>(std::move(name), inner);
    site->Move(left, top, width, height);
    inner->SetExtender(site);
    m_controls.push_back(std::move(site));
}

}  // namespace platform
