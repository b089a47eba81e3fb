#include "setup/SetupPage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Variant.h"

namespace {

using platform::Variant;

// A settings collection that keeps its values by name, records every assignment in order and
// can be told to refuse the lookup of one name.
class FakeSettings final : public framework::IPropertyCollection {
  public:
    class Setting final : public framework::ISetting {
      public:
        Setting(FakeSettings& owner, std::string name) : m_owner(owner), m_name(std::move(name)) {}
        std::string Name() const override { return m_name; }
        Variant Value() const override { return m_owner.values.at(m_name); }
        void SetValue(const Variant& value) override {
            m_owner.values[m_name] = value;
            m_owner.writes.push_back(m_name);
        }

      private:
        FakeSettings& m_owner;
        std::string m_name;
    };

    std::shared_ptr<framework::ISetting> Add(const std::string& name,
                                             const Variant& value) override {
        values[name] = value;
        return Item(name);
    }
    std::shared_ptr<framework::ISetting> Item(const Variant& index) const override {
        const std::string name = std::get<std::string>(index.storage());
        if (name == refuse || !values.contains(name))
            platform::raise(platform::err::kSubscriptOutOfRange);
        return std::make_shared<Setting>(const_cast<FakeSettings&>(*this), name);
    }
    int32_t Count() const override { return static_cast<int32_t>(values.size()); }

    std::map<std::string, Variant> values;
    std::vector<std::string> writes;
    std::string refuse;
};

// A step that only hands out its settings collection.
class FakeStep final : public framework::IStep {
  public:
    std::shared_ptr<FakeSettings> settings = std::make_shared<FakeSettings>();

    std::string Name() const override { return "Punch Entry"; }
    Variant Value() const override { return {}; }
    void SetValue(const Variant&) override {}
    framework::VBool IsValid() const override { return framework::VBool::False; }
    framework::VBool ValidateValue(const Variant&) const override {
        return framework::VBool::False;
    }
    framework::VBool CheckPrecondition(const std::shared_ptr<framework::ISteps>&) override {
        return framework::VBool::True;
    }
    void WriteValue(const std::shared_ptr<framework::ISteps>&, const std::string&,
                    const std::shared_ptr<framework::IRecord>&) override {}
    std::shared_ptr<framework::IErrorCollection> PreconditionErrors() const override { return {}; }
    std::string PropertyPageID() const override { return "Stampkind.SetupPage"; }
    std::string KeypadControlID() const override { return "Stampkind.StampkindKeypad"; }
    std::shared_ptr<framework::IPropertyCollection> Properties() const override { return settings; }
    std::shared_ptr<framework::IStep> Clone() const override { return {}; }
    void AttachDateTime(const std::shared_ptr<framework::IPunchDateTime>&) override {}
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>&) override {}
    void RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>&) override {}
    framework::VBool Skip(const std::shared_ptr<framework::ISteps>&) override {
        return framework::VBool::False;
    }
};

class SetupPageTest : public ::testing::Test {
  protected:
    std::shared_ptr<FakeStep> Step(Variant allowed, Variant span, Variant glidepass) {
        auto step = std::make_shared<FakeStep>();
        step->settings->values = {{"AllowedStampkinds", std::move(allowed)},
                                  {"GlidepassSpan", std::move(span)},
                                  {"IsGlidepass", std::move(glidepass)}};
        return step;
    }
    std::shared_ptr<FakeStep> DefaultStep() { return Step("1111111111", 18.0, false); }

    std::string SelectedMask() const {
        std::string mask;
        auto& list = page->Get<platform::ListBox>("lstManagerStampkinds");
        for (int i = 0; i < list.ListCount(); ++i)
            mask += list.Selected(i) ? '1' : '0';
        return mask;
    }
    platform::ListBox& List() { return page->Get<platform::ListBox>("lstManagerStampkinds"); }
    platform::CheckBox& Check() { return page->Get<platform::CheckBox>("chkUseGlidepass"); }
    platform::TextBox& Span() { return page->Get<platform::TextBox>("txtResetSpan"); }

    std::shared_ptr<stampkind::SetupPage> page = std::make_shared<stampkind::SetupPage>();
};

TEST_F(SetupPageTest, ControlsFollowTheTableAndStartEnabledAndVisible) {
    ASSERT_EQ(page->Controls().size(), stampkind::SetupPage::kControls.size());
    EXPECT_EQ(page->ScaleWidth(), 5835);
    EXPECT_EQ(page->ScaleHeight(), 4620);
    for (const auto& row : stampkind::SetupPage::kControls) {
        auto control = page->Find(row.name);
        ASSERT_TRUE(control) << row.name;
        EXPECT_EQ(control->Kind(), row.kind) << row.name;
        EXPECT_EQ(control->Caption(), row.caption) << row.name;
        EXPECT_EQ(control->Container(), row.container) << row.name;
        EXPECT_EQ(control->TabIndex(), row.tab_index) << row.name;
        EXPECT_TRUE(control->Visible() && control->Enabled()) << row.name;
    }
    ASSERT_EQ(List().ListCount(), 10);
    EXPECT_TRUE(List().MultiSelect());
    EXPECT_EQ(List().List(0), "Advance");
    EXPECT_EQ(List().List(7), "Funeral Leave");
    EXPECT_EQ(List().List(9), "Complete");
}

struct AllowedCase {
    const char* name;
    const char* stored;
    const char* shown;
};

class AllowedTypesTest : public SetupPageTest, public ::testing::WithParamInterface<AllowedCase> {};

// What AttachStep selects from the stored text and what ApplyChanges writes back unedited.
TEST_P(AllowedTypesTest, ShowsAndWritesBack) {
    auto step = Step(GetParam().stored, 18.0, false);
    page->AttachStep(step);
    EXPECT_EQ(SelectedMask(), GetParam().shown);
    page->ApplyChanges();
    EXPECT_EQ(step->settings->values["AllowedStampkinds"], Variant(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    SetupPage, AllowedTypesTest,
    ::testing::Values(AllowedCase{"AllAllowed", "1111111111", "1111111111"},
                      AllowedCase{"NoneAllowed", "0000000000", "0000000000"},
                      AllowedCase{"AnyDigitButZeroSelects", "1010101019", "1010101011"},
                      AllowedCase{"EleventhCharacterIgnored", "10101010191", "1010101011"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadAllowedCase {
    const char* name;
    const char* stored;
    const char* selected_before_failure;
};

class BadAllowedTypesTest : public SetupPageTest,
                            public ::testing::WithParamInterface<BadAllowedCase> {};

// A stored text that is too short or holds a non-digit fails at that character: the items
// before it are set, the span and the check box are not loaded.
TEST_P(BadAllowedTypesTest, FailsWithTypeMismatchAtTheCharacter) {
    Span().SetText("unchanged");
    auto step = Step(GetParam().stored, 5.0, true);
    try {
        page->AttachStep(step);
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& e) {
        EXPECT_EQ(e.number(), platform::err::kTypeMismatch);
    }
    EXPECT_EQ(SelectedMask(), GetParam().selected_before_failure);
    EXPECT_EQ(Span().Text(), "unchanged");
    EXPECT_EQ(Check().Value(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    SetupPage, BadAllowedTypesTest,
    ::testing::Values(BadAllowedCase{"FiveCharacters", "11111", "1111100000"},
                      BadAllowedCase{"LetterAtFourth", "111x111111", "1110000000"},
                      BadAllowedCase{"BlankAtFirst", " 111111111", "0000000000"},
                      BadAllowedCase{"Empty", "", "0000000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupPageTest, ClickedSelectionIsWrittenAsTenCharacters) {
    auto step = Step("0000000000", 18.0, false);
    page->AttachStep(step);
    EXPECT_TRUE(List().ClickItem(0));
    EXPECT_TRUE(List().ClickItem(9));
    page->ApplyChanges();
    EXPECT_EQ(step->settings->values["AllowedStampkinds"], Variant("1000000001"));

    List().ClickItem(0);
    List().ClickItem(9);
    page->ApplyChanges();
    EXPECT_EQ(step->settings->values["AllowedStampkinds"], Variant("0000000000"));
}

struct SpanCase {
    const char* name;
    const char* text;
    double written;
};

class SpanTextTest : public SetupPageTest, public ::testing::WithParamInterface<SpanCase> {};

// The span is the leading number of the text, written as a double even when the box is disabled.
TEST_P(SpanTextTest, WritesTheLeadingNumber) {
    auto step = DefaultStep();
    page->AttachStep(step);
    ASSERT_FALSE(Span().Enabled());
    Span().SetText(GetParam().text);
    page->ApplyChanges();
    EXPECT_EQ(step->settings->values["GlidepassSpan"], Variant(GetParam().written));
}

INSTANTIATE_TEST_SUITE_P(SetupPage, SpanTextTest,
                         ::testing::Values(SpanCase{"Fraction", "12.5", 12.5},
                                           SpanCase{"NumberThenWords", "7 days", 7.0},
                                           SpanCase{"LeadingBlanks", "  24", 24.0},
                                           SpanCase{"Empty", "", 0.0},
                                           SpanCase{"NoNumber", "abc", 0.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupPageTest, GlidepassSettingTicksTheBoxAndEnablesTheSpan) {
    page->AttachStep(Step("1111111111", 12.5, true));
    EXPECT_EQ(Check().Value(), 1);
    EXPECT_TRUE(Span().Enabled());
    EXPECT_EQ(Span().Text(), "12.5");

    page->AttachStep(Step("1111111111", 18.0, false));
    EXPECT_EQ(Check().Value(), 0);
    EXPECT_FALSE(Span().Enabled());
    EXPECT_EQ(Span().Text(), "18");
}

TEST_F(SetupPageTest, ApplyWritesTheThreeSettingsInOrder) {
    auto step = DefaultStep();
    page->AttachStep(step);
    Check().Click();
    page->ApplyChanges();
    EXPECT_EQ(step->settings->writes,
              (std::vector<std::string>{"AllowedStampkinds", "GlidepassSpan", "IsGlidepass"}));
    EXPECT_EQ(step->settings->values["IsGlidepass"], Variant(true));
    EXPECT_EQ(step->settings->values["GlidepassSpan"], Variant(18.0));
}

TEST_F(SetupPageTest, OnlyPersonalListClicksRaiseChanged) {
    int changed = 0;
    page->Connect("Changed", [&] { ++changed; });

    page->AttachStep(Step("1010101010", 18.0, true));
    EXPECT_EQ(changed, 0);

    Check().Click();
    EXPECT_FALSE(Span().Enabled());
    Check().Click();
    EXPECT_TRUE(Span().Enabled());
    Span().SetText("4");
    EXPECT_EQ(changed, 0);

    List().ClickItem(1);
    List().ClickItem(1);
    List().ClickItem(5);
    EXPECT_EQ(changed, 3);
}

TEST_F(SetupPageTest, AFailedLookupStopsApplyAfterTheSettingsWritten) {
    auto step = DefaultStep();
    page->AttachStep(step);
    step->settings->refuse = "GlidepassSpan";
    EXPECT_THROW(page->ApplyChanges(), platform::RaisedError);
    EXPECT_EQ(step->settings->writes, std::vector<std::string>{"AllowedStampkinds"});
}

TEST_F(SetupPageTest, ApplyWithoutAStepIsAnError) {
    try {
        page->ApplyChanges();
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& e) {
        EXPECT_EQ(e.number(), platform::err::kObjectVariableNotSet);
    }
}

TEST_F(SetupPageTest, DescriptionIsEmptyAndMessagesChangeNothing) {
    page->AttachStep(DefaultStep());
    page->ReceiveMessage(nullptr);
    page->Reset();
    EXPECT_EQ(page->Description(), "");
    EXPECT_EQ(SelectedMask(), "1111111111");
}

}  // namespace
