#include "setup/SetupPage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Variant.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"

namespace {

using platform::Variant;

class SetupPageTest : public ::testing::Test {
  protected:
    // A step whose three settings hold the values given.
    std::shared_ptr<stampkind::clsStep> Step(Variant allowed, Variant span, Variant glidepass) {
        auto step = stampkind::clsStep::Create();
        step->InitProperties();
        step->Properties()->Item("AllowedStampkinds")->SetValue(allowed);
        step->Properties()->Item("GlidepassSpan")->SetValue(span);
        step->Properties()->Item("IsGlidepass")->SetValue(glidepass);
        return step;
    }
    std::shared_ptr<stampkind::clsStep> DefaultStep() { return Step("1111111111", 18.0, false); }
    static Variant Setting(const stampkind::clsStep& step, const char* name) {
        return step.Properties()->Item(name)->Value();
    }

    std::string SelectedMask() {
        std::string mask;
        for (int i = 0; i < List().ListCount(); ++i)
            mask += List().Selected(i) ? '1' : '0';
        return mask;
    }
    platform::ListBox& List() { return page->Get<platform::ListBox>("lstManagerStampkinds"); }
    platform::CheckBox& Check() { return page->Get<platform::CheckBox>("chkUseGlidepass"); }
    platform::TextBox& Span() { return page->Get<platform::TextBox>("txtResetSpan"); }

    std::shared_ptr<stampkind::SetupPage> page = std::make_shared<stampkind::SetupPage>();
};

// What AttachStep selects from the stored text and what ApplyChanges writes back unedited.
TEST_F(SetupPageTest, AllowedTypesAreShownAndWrittenBack) {
    struct Row {
        const char* stored;
        const char* shown;
    };
    const Row rows[] = {{"1111111111", "1111111111"},
                        {"0000000000", "0000000000"},
                        {"1010101019", "1010101011"},    // any digit but zero selects
                        {"10101010191", "1010101011"}};  // the eleventh character is ignored
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        auto step = Step(row.stored, 18.0, false);
        page->AttachStep(step);
        EXPECT_EQ(SelectedMask(), row.shown);
        page->ApplyChanges();
        EXPECT_EQ(Setting(*step, "AllowedStampkinds"), Variant(row.shown));
    }
}

// A stored text that is too short or holds a non-digit fails at that character: the items
// before it are set, the span and the check box are not loaded.
TEST_F(SetupPageTest, BadAllowedTypesFailWithTypeMismatchAtTheCharacter) {
    struct Row {
        const char* stored;
        const char* selected_before_failure;
    };
    const Row rows[] = {{"11111", "1111100000"},
                        {"111x111111", "1110000000"},
                        {" 111111111", "0000000000"},
                        {"", "0000000000"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        page = std::make_shared<stampkind::SetupPage>();
        Span().SetText("unchanged");
        auto step = Step(row.stored, 5.0, true);
        EXPECT_EQ(ErrorNumberOf([&] { page->AttachStep(step); }), platform::err::kTypeMismatch);
        EXPECT_EQ(SelectedMask(), row.selected_before_failure);
        EXPECT_EQ(Span().Text(), "unchanged");
        EXPECT_EQ(Check().Value(), 0);
    }
}

// The span is the leading number of the text, written as a double even when the box is disabled.
TEST_F(SetupPageTest, SpanWritesTheLeadingNumberOfItsText) {
    const std::pair<const char*, double> rows[] = {
        {"12.5", 12.5}, {"7 days", 7.0}, {"  24", 24.0}, {"", 0.0}, {"abc", 0.0}};
    for (const auto& [text, written] : rows) {
        SCOPED_TRACE(text);
        auto step = DefaultStep();
        page->AttachStep(step);
        ASSERT_FALSE(Span().Enabled());
        Span().SetText(text);
        page->ApplyChanges();
        EXPECT_EQ(Setting(*step, "GlidepassSpan"), Variant(written));
    }
}

// The stored setting ticks the box and enables the span; a ticked box is written back as true.
TEST_F(SetupPageTest, GlidepassSettingTicksTheBoxAndEnablesTheSpan) {
    page->AttachStep(Step("1111111111", 12.5, true));
    EXPECT_EQ(Check().Value(), 1);
    EXPECT_TRUE(Span().Enabled());
    EXPECT_EQ(Span().Text(), "12.5");

    auto step = DefaultStep();
    page->AttachStep(step);
    EXPECT_EQ(Check().Value(), 0);
    EXPECT_FALSE(Span().Enabled());
    EXPECT_EQ(Span().Text(), "18");
    Check().Click();
    page->ApplyChanges();
    EXPECT_EQ(Setting(*step, "IsGlidepass"), Variant(true));
    EXPECT_EQ(Setting(*step, "GlidepassSpan"), Variant(18.0));
}

// Only the person's clicks on the list raise Changed; the clicked selection is written back as
// ten characters.
TEST_F(SetupPageTest, OnlyListClicksRaiseChangedAndTheSelectionIsWrittenBack) {
    int changed = 0;
    page->Connect("Changed", [&] { ++changed; });
    auto step = Step("1010101010", 18.0, true);
    page->AttachStep(step);
    Check().Click();
    EXPECT_FALSE(Span().Enabled());
    Check().Click();
    EXPECT_TRUE(Span().Enabled());
    Span().SetText("4");
    EXPECT_EQ(changed, 0);

    for (int item : {0, 9, 1, 1})
        EXPECT_TRUE(List().ClickItem(item));
    EXPECT_EQ(changed, 4);
    page->ApplyChanges();
    EXPECT_EQ(Setting(*step, "AllowedStampkinds"), Variant("0010101011"));
}

}  // namespace
