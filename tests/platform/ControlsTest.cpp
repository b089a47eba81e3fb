#include "platform/Controls.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "tests/support/Raised.h"

namespace {

using platform::CheckBox;
using platform::CommandButton;
using platform::ControlKind;
using platform::ControlSpec;
using platform::ListBox;

// A small form declared as a table, the way the component declares its keypads and pages.
inline constexpr std::array<ControlSpec, 7> kFormControls{{
    {ControlKind::CommandButton, "cmdDigit", 0, "0", 120, 120, 900, 600, 1, ""},
    {ControlKind::CommandButton, "cmdDigit", 1, "1", 1080, 120, 900, 600, 2, ""},
    {ControlKind::Frame, "fraOptions", -1, "Options", 0, 900, 3000, 1500, 3, ""},
    {ControlKind::CheckBox, "chkOption", -1, "Option", 120, 240, 2000, 300, 4, "fraOptions"},
    {ControlKind::ListBox, "lstTypes", -1, "", 120, 2500, 2000, 1200, 5, ""},
    {ControlKind::TextBox, "txtNote", -1, "", 2400, 120, 2000, 300, 6, ""},
    {ControlKind::Label, "lblNote", -1, "Note", 2400, 480, 2000, 300, 0, ""},
}};

class TestForm final : public platform::UserControl {
  public:
    TestForm() : UserControl(4800, 3600) {
        for (const auto& row : kFormControls)
            AddControl(row);
    }
    void Embed(const std::shared_ptr<UserControl>& inner, std::string name) {
        AddUserControl(inner, std::move(name), 100, 200, 300, 400);
    }
};

// A person's click on a control of any kind, the way the front ends forward it: an item click
// for a list box, Click for the others.
bool PersonClicks(platform::Control& control) {
    if (auto* list = dynamic_cast<ListBox*>(&control))
        return list->ClickItem(0);
    return control.Click();
}

// Whatever a click would change on a control of this kind: a list's selection, a box's value.
int ClickedState(const platform::Control& control) {
    if (const auto* list = dynamic_cast<const ListBox*>(&control))
        return list->Selected(0) ? 1 : 0;
    if (const auto* check = dynamic_cast<const CheckBox*>(&control))
        return check->Value();
    return 0;
}

// Every kind of control takes a click only while it is visible and enabled: a hidden or disabled
// one neither runs its handler nor changes its selection or value. The component's own code still
// reaches the handler through FireClick whatever the state.
TEST(ControlTest, EveryKindRefusesClicksWhenHiddenOrDisabled) {
    TestForm form;
    auto inner = std::make_shared<TestForm>();
    form.Embed(inner, "TimeIn1");
    // A multiple-selection list, so that any click taken shows in its selection.
    form.Get<ListBox>("lstTypes").SetMultiSelect(true);
    form.Get<ListBox>("lstTypes").AddItem("In");
    struct State {
        bool visible;
        bool enabled;
    };
    for (const char* path :
         {"cmdDigit(0)", "lstTypes", "chkOption", "txtNote", "fraOptions", "lblNote", "TimeIn1"}) {
        for (const State state :
             {State{true, true}, State{false, true}, State{true, false}, State{false, false}}) {
            SCOPED_TRACE(std::string(path) + (state.visible ? " shown" : " hidden") +
                         (state.enabled ? " enabled" : " disabled"));
            auto control = form.Resolve(path);
            ASSERT_NE(control, nullptr);
            control->SetVisible(state.visible);
            control->SetEnabled(state.enabled);
            int clicks = 0;
            control->SetClickHandler([&] { ++clicks; });
            const int before = ClickedState(*control);
            const bool takes = state.visible && state.enabled;

            EXPECT_EQ(PersonClicks(*control), takes);
            EXPECT_EQ(clicks, takes ? 1 : 0);
            if (!takes) {
                EXPECT_EQ(ClickedState(*control), before);
            }
            control->FireClick();
            EXPECT_EQ(clicks, takes ? 2 : 1);
            if (takes && control->Kind() == ControlKind::CheckBox)
                PersonClicks(*control);  // back to cleared for the next row
        }
    }
}

TEST(CheckBoxTest, ClicksToggleAndChangesFromCodeRunTheHandler) {
    CheckBox check(ControlKind::CheckBox, "chkGlidepass");
    std::vector<int> seen;
    check.SetClickHandler([&] { seen.push_back(check.Value()); });

    check.Click();
    check.Click();
    check.SetValue(1);
    check.SetValue(1);  // no change, no click
    check.SetValue(2);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 2}));
    EXPECT_EQ(ErrorNumberOf([&] { check.SetValue(3); }), 380);
    EXPECT_EQ(check.Value(), 2);
}

TEST(ListBoxTest, MultipleSelectionTogglesEachClickedItemAndSingleSelectionKeepsOne) {
    ListBox list(ControlKind::ListBox, "lstAllowed");
    list.SetMultiSelect(true);
    for (const char* item : {"Advance", "Holiday", "Sick"})
        list.AddItem(item);
    int clicks = 0;
    list.SetClickHandler([&] { ++clicks; });

    list.ClickItem(0);
    list.ClickItem(2);
    list.ClickItem(0);
    EXPECT_FALSE(list.Selected(0));
    EXPECT_FALSE(list.Selected(1));
    EXPECT_TRUE(list.Selected(2));
    EXPECT_EQ(list.ListIndex(), 0);
    EXPECT_EQ(clicks, 3);

    list.SetSelected(1, true);
    list.SetSelected(1, true);  // already selected: no click
    EXPECT_TRUE(list.Selected(1));
    EXPECT_TRUE(list.Selected(2));
    EXPECT_EQ(clicks, 4);

    // A single-selection list keeps one item.
    ListBox single(ControlKind::ListBox, "lstTypes");
    for (const char* item : {"In", "Out"})
        single.AddItem(item);
    single.ClickItem(0);
    EXPECT_TRUE(single.Selected(0));
    single.SetSelected(1, true);
    EXPECT_FALSE(single.Selected(0));
    EXPECT_TRUE(single.Selected(1));
    EXPECT_EQ(single.ListIndex(), 1);
    single.SetSelected(1, false);
    EXPECT_EQ(single.ListIndex(), -1);
}

TEST(ListBoxTest, IndexesOutOfRangeRaiseInvalidProcedureCall) {
    ListBox list(ControlKind::ListBox, "lstTypes");
    list.AddItem("In");
    EXPECT_EQ(list.List(0), "In");
    for (int index : {-1, 1}) {
        const std::function<void()> calls[] = {
            [&] { list.List(index); }, [&] { list.Selected(index); },
            [&] { list.SetSelected(index, true); }, [&] { list.ClickItem(index); }};
        for (const auto& call : calls)
            EXPECT_EQ(ErrorNumberOf(call), platform::err::kInvalidProcedureCall) << index;
    }
}

// Controls are found by name in any case and by index, and a wrong name or kind raises the
// platform's errors. An embedded control's wrapper is the container's site for it: hiding the
// site is what the inner control sees as its Visible, and qualified paths reach through it. A
// top-level control gets one wrapper of its own size.
TEST(UserControlTest, FindsControlsAndEmbeddedControlsShareTheirWrapperWithTheContainer) {
    TestForm outer;
    ASSERT_EQ(outer.Controls().size(), kFormControls.size());
    EXPECT_EQ(outer.Get<CommandButton>("cmdDigit", 1).QualifiedName(), "cmdDigit(1)");
    EXPECT_EQ(outer.Get<CheckBox>("CHKOPTION").Container(), "fraOptions");
    EXPECT_EQ(outer.Find("cmdDigit"), nullptr);  // an array member needs its index
    EXPECT_EQ(outer.Find("cmdDigit", 7), nullptr);
    EXPECT_EQ(ErrorNumberOf([&] { outer.Get<CommandButton>("cmdMissing"); }),
              platform::err::kSubscriptOutOfRange);
    EXPECT_EQ(ErrorNumberOf([&] { outer.Get<ListBox>("chkOption"); }),
              platform::err::kTypeMismatch);
    auto inner = std::make_shared<TestForm>();
    outer.Embed(inner, "TimeIn1");
    auto site = outer.Find("TimeIn1");
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(site->Kind(), ControlKind::UserControlSite);
    EXPECT_EQ(&inner->Extender(), site.get());
    EXPECT_EQ(inner->Extender().Inner(), inner);
    EXPECT_EQ(site->Top(), 200);
    site->SetVisible(false);
    EXPECT_FALSE(inner->Extender().Visible());

    auto& top = outer.Extender();
    EXPECT_TRUE(top.Visible());
    EXPECT_EQ(top.Inner(), nullptr);
    EXPECT_EQ(top.Width(), 4800);
    top.SetVisible(false);
    EXPECT_FALSE(outer.Extender().Visible());

    // Qualified paths reach through the site into the embedded control.
    EXPECT_EQ(outer.Resolve("fraOptions"), outer.Find("fraOptions"));
    EXPECT_EQ(outer.Resolve("cmdDigit(1)"), outer.Find("cmdDigit", 1));
    EXPECT_EQ(outer.Resolve("TimeIn1.cmdDigit(0)"), inner->Find("cmdDigit", 0));
    EXPECT_EQ(outer.Resolve("timein1.CHKOPTION"), inner->Find("chkOption"));
    for (const char* nothing : {"", "cmdDigit", "cmdDigit(9)", "cmdDigit()", "cmdDigit(-1)",
                                "cmdDigit(1", "cmdDigit(1)x", "(1)", "fraOptions.cmdDigit(0)",
                                "TimeIn1.", "TimeIn1.cmdMissing", "Nowhere.cmdDigit(0)"}) {
        EXPECT_EQ(outer.Resolve(nothing), nullptr) << nothing;
    }
}

}  // namespace
