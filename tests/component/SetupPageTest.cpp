#include "setup/SetupPage.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Variant.h"
#include "tests/support/Raised.h"

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
        EXPECT_EQ(step->settings->values["AllowedStampkinds"], Variant(row.shown));
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
        EXPECT_EQ(step->settings->values["GlidepassSpan"], Variant(written));
    }
}

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

}  // namespace
