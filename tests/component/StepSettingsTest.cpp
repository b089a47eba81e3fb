#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "framework/Factories.h"
#include "framework/IStep.h"
#include "host/framework/ErrorCollection.h"
#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/StepSequence.h"
#include "platform/Error.h"
#include "platform/PropertyBag.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"

namespace {

using framework::IStep;
using framework::VBool;
using platform::Variant;

std::shared_ptr<IStep> NewStep() {
    auto step = stampkind::clsStep::Create();
    step->InitProperties();
    return step;
}

std::shared_ptr<IStep> RestoredStep(platform::PropertyBag& bag) {
    auto step = stampkind::clsStep::Create();
    step->ReadProperties(bag);
    return step;
}

Variant Setting(const IStep& step, const char* name) {
    return step.Properties()->Item(name)->Value();
}

void ExpectDefaults(const IStep& step) {
    ASSERT_NE(step.Properties(), nullptr);
    EXPECT_EQ(step.Properties()->Count(), 3);
    // Exact equality: the kind of each value matters as much as the value.
    EXPECT_EQ(Setting(step, "AllowedStampkinds"), Variant("1111111111"));
    EXPECT_EQ(Setting(step, "IsGlidepass"), Variant(false));
    EXPECT_EQ(Setting(step, "GlidepassSpan"), Variant(18.0));
}

TEST(StepSettingsTest, NewStepAndRestoreWithoutPropsHaveTheThreeDefaults) {
    ExpectDefaults(*NewStep());
    platform::PropertyBag bag;
    ExpectDefaults(*RestoredStep(bag));
    // Not yet initialised: no settings, and neither has its clone.
    auto step = stampkind::clsStep::Create();
    EXPECT_EQ(step->Properties(), nullptr);
    EXPECT_EQ(step->Clone()->Properties(), nullptr);
}

// Saved settings come back through the stored text with their kinds; a setting an older step
// did not save gets its default. (A changed span read back is the library tests' stored step.)
TEST(StepSettingsTest, SettingsSurviveTheStoredFormAndAMissingOneIsFilledIn) {
    auto older = framework::NewPropertyCollection();
    older->Add("AllowedStampkinds", "0110000001");
    older->Add("IsGlidepass", true);
    platform::PropertyBag bag;
    bag.WriteProperty("Props", older);
    auto stored = platform::PropertyBag::from_text(bag.to_text());
    auto restored = RestoredStep(stored);
    EXPECT_EQ(restored->Properties()->Count(), 3);
    EXPECT_EQ(Setting(*restored, "AllowedStampkinds"), Variant("0110000001"));
    EXPECT_EQ(Setting(*restored, "IsGlidepass"), Variant(true));
    EXPECT_EQ(Setting(*restored, "GlidepassSpan"), Variant(18.0));
}

// A saved count of settings that is a text, or Props that holds no collection, is raised and
// leaves the step's settings as they were.
TEST(StepSettingsTest, DamagedStoredSettingsRaiseAndOverwriteNothing) {
    platform::PropertyBag bag;
    std::dynamic_pointer_cast<platform::Persistable>(NewStep())->WriteProperties(bag);
    nlohmann::json damaged = bag.to_json();
    auto& saved = damaged["Props"]["properties"];
    ASSERT_TRUE(saved.contains("Count") && saved.contains("Name1")) << damaged;
    saved["Count"] = saved["Name1"];
    platform::PropertyBag no_collection;
    no_collection.WriteProperty("Props", "1111111111");

    const std::pair<platform::PropertyBag, int32_t> rows[] = {
        {platform::PropertyBag::from_json(damaged), platform::err::kBadFileFormat},
        {no_collection, platform::err::kObjectRequired}};
    for (auto [stored, number] : rows) {
        auto step = NewStep();
        step->Properties()->Item("IsGlidepass")->SetValue(true);
        const auto settings = step->Properties();
        EXPECT_EQ(
            ErrorNumberOf([&] {
                std::dynamic_pointer_cast<platform::Persistable>(step)->ReadProperties(stored);
            }),
            number);
        EXPECT_EQ(step->Properties(), settings);
        EXPECT_EQ(Setting(*step, "IsGlidepass"), Variant(true));
    }
}

TEST(StepValueTest, NewStepHoldsAnEmptyTextAndIsValidAsksOnlyForSomeText) {
    EXPECT_EQ(NewStep()->Value().type(), platform::VarType::String);
    const std::vector<std::pair<Variant, VBool>> cases{
        {Variant(""), VBool::False}, {Variant("nonsense"), VBool::True},
        {Variant(" "), VBool::True}, {Variant(int32_t{0}), VBool::True},
        {Variant(), VBool::False},
    };
    auto step = NewStep();
    for (const auto& [value, valid] : cases) {
        step->SetValue(value);
        EXPECT_EQ(step->IsValid(), valid) << step->Value().to_text();
        EXPECT_TRUE(step->Value().is_text());
    }
    // Null is raised and keeps the old value.
    step->SetValue("LO");
    EXPECT_EQ(ErrorNumberOf([&] { step->SetValue(Variant::null()); }), 94);
    EXPECT_EQ(step->Value(), Variant("LO"));
}

TEST(StepCloneTest, CloneHasItsOwnEqualSettingsAndANewStepsValues) {
    auto original = NewStep();
    original->Properties()->Item("GlidepassSpan")->SetValue(6.0);
    original->SetValue("SW");
    auto concrete = std::dynamic_pointer_cast<stampkind::clsStep>(original);
    concrete->SetAmount(7.5);
    concrete->SetDateTimeIn(platform::Date{46000.25});
    original->ReceiveMessage(orvane::MakeMessage("manager mode", true));

    auto clone = original->Clone();
    EXPECT_EQ(Setting(*clone, "GlidepassSpan"), Variant(6.0));
    EXPECT_EQ(clone->Value(), Variant(""));
    auto cloned = std::dynamic_pointer_cast<stampkind::clsStep>(clone);
    ASSERT_NE(cloned, nullptr);
    EXPECT_EQ(cloned->Amount(), 0.0);
    EXPECT_EQ(cloned->DateTimeIn(), platform::Date{});
    EXPECT_FALSE(cloned->ManagerMode());

    clone->Properties()->Item("IsGlidepass")->SetValue(true);
    EXPECT_EQ(Setting(*original, "IsGlidepass"), Variant(false));
}

// Message names are matched after lower-casing only; a value of the wrong kind is raised and
// attaches nothing.
TEST(StepMessageTest, NamesAreMatchedAfterLowerCasingOnlyAndWrongKindsRaise) {
    auto moment = std::make_shared<orvane::PunchDateTime>(platform::Date{46360.5});
    struct Case {
        const char* name;
        Variant value;
        bool attaches;
        bool manager;
        int32_t error;
    };
    const std::vector<Case> cases{
        {"DateTime", moment, true, false, 0},
        {" datetime", moment, false, false, 0},
        {"MANAGER MODE", int32_t{-1}, false, true, 0},
        {"manager mode ", true, false, false, 0},
        {"managermode", true, false, false, 0},
        {"manager mode", Variant::null(), false, false, 94},
        {"manager mode", "perhaps", false, false, 13},
        {"datetime", "12/4/2026", false, false, 424},
        {"datetime", std::make_shared<orvane::ErrorCollection>(), false, false, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto step = stampkind::clsStep::Create();
        EXPECT_EQ(
            ErrorNumberOf([&] { step->ReceiveMessage(orvane::MakeMessage(c.name, c.value)); }),
            c.error);
        EXPECT_EQ(step->DateTime() != nullptr, c.attaches);
        EXPECT_EQ(step->ManagerMode(), c.manager);
    }
}

TEST(StepMessageTest, LaterEntryOfTheSameNameWins) {
    orvane::MessageBuilder builder;
    builder.Add("manager mode", true);
    builder.Add("Manager Mode", false);
    auto step = stampkind::clsStep::Create();
    step->ReceiveMessage(builder.Message());
    EXPECT_FALSE(step->ManagerMode());
}

}  // namespace
