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

// What AttachStep selects from the stored text and what ApplyChanges writes back unedited. A
// stored text too short or with a non-digit fails at that character: the items before it are set,
// the span and the check box are not loaded.
TEST_F(SetupPageTest, AllowedTypesAreShownAndWrittenBack) {
    const int32_t kMismatch = platform::err::kTypeMismatch;
    const struct Row {
        const char* stored;
        const char* shown;
        int32_t error;
    } rows[] = {
        {"1111111111", "1111111111", 0},         {"0000000000", "0000000000", 0},
        {"1010101019", "1010101011", 0},   // any digit but zero selects
        {"10101010191", "1010101011", 0},  // the eleventh character is ignored
        {"11111", "1111100000", kMismatch},      {"111x111111", "1110000000", kMismatch},
        {" 111111111", "0000000000", kMismatch}, {"", "0000000000", kMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        page = std::make_shared<stampkind::SetupPage>();
        Span().SetText("unchanged");
        auto step = Step(row.stored, 5.0, true);
        EXPECT_EQ(ErrorNumberOf([&] { page->AttachStep(step); }), row.error);
        EXPECT_EQ(SelectedMask(), row.shown);
        EXPECT_EQ(Span().Text(), row.error ? "unchanged" : "5");
        EXPECT_EQ(Check().Value(), row.error ? 0 : 1);
        if (!row.error) {
            EXPECT_TRUE(Span().Enabled());
            page->ApplyChanges();
            EXPECT_EQ(Setting(*step, "AllowedStampkinds"), Variant(row.shown));
        }
    }
}

// Glidepass off leaves the box clear and the span disabled; the span is the leading number of the
// text, written as a double even when the box is disabled.
TEST_F(SetupPageTest, SpanWritesTheLeadingNumberOfItsText) {
    const std::pair<const char*, double> rows[] = {
        {"12.5", 12.5}, {"7 days", 7.0}, {"  24", 24.0}, {"", 0.0}, {"abc", 0.0}};
    for (const auto& [text, written] : rows) {
        SCOPED_TRACE(text);
        auto step = Step("1111111111", 18.0, false);
        page->AttachStep(step);
        EXPECT_EQ(Check().Value(), 0);
        EXPECT_EQ(Span().Text(), "18");
        ASSERT_FALSE(Span().Enabled());
        Span().SetText(text);
        page->ApplyChanges();
        EXPECT_EQ(Setting(*step, "GlidepassSpan"), Variant(written));
    }
}

// Only the person's clicks on the list raise Changed; each click on the box turns the span on or
// off. The clicked selection is written back as ten characters, a ticked box as true.
TEST_F(SetupPageTest, OnlyListClicksRaiseChangedAndTheSelectionIsWrittenBack) {
    int changed = 0;
    page->Connect("Changed", [&] { ++changed; });
    auto step = Step("1010101010", 18.0, false);
    page->AttachStep(step);
    for (bool enabled : {true, false, true}) {
        Check().Click();
        EXPECT_EQ(Span().Enabled(), enabled);
    }
    Span().SetText("4");
    EXPECT_EQ(changed, 0);

    for (int item : {0, 9, 1, 1})
        EXPECT_TRUE(List().ClickItem(item));
    EXPECT_EQ(changed, 4);
    page->ApplyChanges();
    EXPECT_EQ(Setting(*step, "AllowedStampkinds"), Variant("0010101011"));
    EXPECT_EQ(Setting(*step, "IsGlidepass"), Variant(true));
    EXPECT_EQ(Setting(*step, "GlidepassSpan"), Variant(4.0));
}

}  // namespace
