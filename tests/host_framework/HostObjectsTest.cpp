#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/Factories.h"
#include "framework/IStep.h"
#include "host/framework/ErrorCollection.h"
#include "host/framework/Message.h"
#include "host/framework/PropertyCollection.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "platform/Error.h"
#include "platform/PropertyBag.h"
#include "tests/support/Raised.h"

namespace {

using platform::Variant;

TEST(ErrorCollectionTest, KeepsErrorsInOrderFromPositionOne) {
    auto errors = framework::NewErrorCollection();
    EXPECT_EQ(errors->Count(), 0);
    errors->Add(3001, "first");
    errors->Add(3002, "second");
    EXPECT_EQ(errors->Count(), 2);
    EXPECT_EQ(errors->Item(1).Number, 3001);
    EXPECT_EQ(errors->Item(2).Description, "second");
    EXPECT_EQ(ErrorNumberOf([&] { errors->Item(0); }), 9);
    EXPECT_EQ(ErrorNumberOf([&] { errors->Item(3); }), 9);
}

TEST(MessageBuilderTest, MessageIsASnapshotOfTheEntriesSoFar) {
    auto builder = framework::NewMessageBuilder();
    builder->Add("manager mode", true);
    builder->Add("DateTime", "x");
    auto first = builder->Message();
    builder->Clear();
    builder->Add("button color", int32_t{255});
    auto second = builder->Message();

    ASSERT_EQ(first->Entries().size(), 2u);
    EXPECT_EQ(first->Entries()[0].Name, "manager mode");
    EXPECT_EQ(first->Entries()[1].Name, "DateTime");
    ASSERT_EQ(second->Entries().size(), 1u);
    EXPECT_EQ(second->Entries()[0].Value, Variant(int32_t{255}));
    EXPECT_NE(first, second);
}

// The step asks for the entry line's alignment by message: 0 left, anything else right.
TEST(RecordingDisplayTest, EntryAlignmentFollowsTheLastMessage) {
    orvane::RecordingDisplay display;
    for (const int32_t asked : {2, 0, 1}) {
        auto builder = framework::NewMessageBuilder();
        builder->Add("UserInput Alignment", asked);
        display.ReceiveMessage(builder->Message());
        EXPECT_EQ(display.alignment(), asked == 0 ? 0 : 1) << asked;
    }
}

TEST(PunchRecordTest, KeepsEveryWriteInOrderAndTheLastValueOfEachKnownField) {
    orvane::PunchRecord record;
    record.Item("Punch Type")->SetValue("I");
    record.Item("date in")->SetValue(46000.0);
    record.Item("Punch Type")->SetValue("O");

    const std::vector<orvane::PunchRecord::Write> expected{
        {"Punch Type", "I"}, {"Date In", 46000.0}, {"Punch Type", "O"}};
    EXPECT_EQ(record.writes(), expected);
    EXPECT_EQ(record.values().at("Punch Type"), Variant("O"));
    EXPECT_EQ(record.values().size(), 2u);
    EXPECT_EQ(record.Item("Punch Type")->Value(), Variant("O"));
    EXPECT_TRUE(record.Item("Notes")->Value().is_null());
    // Unknown fields and object values are refused and written nowhere.
    EXPECT_EQ(ErrorNumberOf([&] { record.Item("Card ID"); }), 9);
    auto object = framework::NewErrorCollection();
    EXPECT_EQ(ErrorNumberOf([&] { record.Item("Notes")->SetValue(object); }), 13);
    EXPECT_EQ(record.writes().size(), 3u);
}

TEST(StepSequenceTest, FindsStepsByNameAndReplacesASecondOfTheSameName) {
    orvane::StepSequence steps;
    steps.Append("Employee ID", orvane::MakeValueStep("Employee ID", int32_t{1204}));
    steps.Append("Employee Statistics", orvane::MakeValueStep("Employee Statistics", ""));
    steps.Append("employee id", orvane::MakeValueStep("Employee ID", int32_t{77}));

    EXPECT_EQ(steps.Exists("Employee Statistics"), framework::VBool::True);
    EXPECT_EQ(steps.Exists("Punch Entry"), framework::VBool::False);
    ASSERT_EQ(steps.steps().size(), 2u);
    auto id = platform::query_or_raise<framework::IStep>(steps.Item("EMPLOYEE ID"));
    EXPECT_EQ(id->Value(), Variant(int32_t{77}));
    EXPECT_EQ(ErrorNumberOf([&] { steps.Item("Punch Entry"); }), 9);
}

TEST(StepSequenceTest, ValueStepSkipsItsKeypadAndWritesNothing) {
    auto step = platform::query_or_raise<framework::IStep>(
        orvane::MakeValueStep("Employee ID", int32_t{1204}));
    EXPECT_EQ(step->Name(), "Employee ID");
    EXPECT_EQ(step->Skip(nullptr), framework::VBool::True);
    EXPECT_EQ(step->IsValid(), framework::VBool::True);
    EXPECT_EQ(step->PreconditionErrors()->Count(), 0);
    auto record = std::make_shared<orvane::PunchRecord>();
    step->WriteValue(nullptr, "", record);
    EXPECT_TRUE(record->writes().empty());
    step->SetValue(Variant());
    EXPECT_EQ(step->IsValid(), framework::VBool::False);
}

// A setting is found by its name in any case or by its position from one; a second of a name is
// refused and changes nothing; anything else is out of range.
TEST(PropertyCollectionTest, ItemFindsEachSettingByNameOrPositionOnly) {
    orvane::PropertyCollection settings;
    auto added = settings.Add("GlidepassSpan", 18.0);
    EXPECT_EQ(settings.Item("glidepassspan"), added);
    EXPECT_EQ(settings.Item(int32_t{1}), added);
    settings.Item("GlidepassSpan")->SetValue(4.5);
    EXPECT_EQ(added->Value(), Variant(4.5));

    EXPECT_EQ(ErrorNumberOf([&] { settings.Add("GLIDEPASSSPAN", 1.0); }), 457);
    EXPECT_EQ(settings.Count(), 1);
    EXPECT_EQ(settings.Item("GlidepassSpan")->Value(), Variant(4.5));
    for (const Variant& index : {Variant("Missing"), Variant(" GlidepassSpan"), Variant(int32_t{0}),
                                 Variant(int32_t{2}), Variant()}) {
        EXPECT_EQ(ErrorNumberOf([&] { settings.Item(index); }), 9);
    }
}

TEST(PropertyCollectionTest, SavesAndRestoresItselfWholeInOrderAndKind) {
    orvane::PropertyCollection saved;
    saved.Add("AllowedStampkinds", "0101010101");
    saved.Add("IsGlidepass", true);
    saved.Add("GlidepassSpan", 4.5);
    saved.Add("Nothing", Variant());
    saved.Add("Card", int32_t{1204});
    platform::PropertyBag bag;
    saved.WriteProperties(bag);

    // Through the stored text, as the host keeps it.
    auto stored = platform::PropertyBag::from_text(bag.to_text());
    orvane::PropertyCollection restored;
    restored.Add("Stale", "gone after the restore");
    restored.ReadProperties(stored);

    ASSERT_EQ(restored.Count(), saved.Count());
    for (int32_t position = 1; position <= saved.Count(); ++position) {
        EXPECT_EQ(restored.Item(position)->Name(), saved.Item(position)->Name());
        EXPECT_EQ(restored.Item(position)->Value(), saved.Item(position)->Value());
    }
}

TEST(PropertyCollectionTest, DamagedSavedSettingsAreRefusedAndChangeNothing) {
    struct Damage {
        const char* what;
        std::function<void(platform::PropertyBag&)> apply;
    };
    const std::vector<Damage> damages{
        {"count is text", [](auto& bag) { bag.WriteProperty("Count", "three"); }},
        {"count is negative", [](auto& bag) { bag.WriteProperty("Count", int32_t{-1}); }},
        {"count is a fraction", [](auto& bag) { bag.WriteProperty("Count", 1.5); }},
        // Refused before any conversion to a whole number, which would be undefined.
        {"count beyond any collection", [](auto& bag) { bag.WriteProperty("Count", 1e300); }},
        {"count past 32 bits", [](auto& bag) { bag.WriteProperty("Count", 4294967296.0); }},
        {"count past the names", [](auto& bag) { bag.WriteProperty("Count", int32_t{3}); }},
        {"name is no text", [](auto& bag) { bag.WriteProperty("Name2", int32_t{7}); }},
        {"name twice", [](auto& bag) { bag.WriteProperty("Name2", "isglidepass"); }},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        orvane::PropertyCollection saved;
        saved.Add("IsGlidepass", true);
        saved.Add("GlidepassSpan", 18.0);
        platform::PropertyBag bag;
        saved.WriteProperties(bag);
        damage.apply(bag);

        orvane::PropertyCollection target;
        auto kept = target.Add("AllowedStampkinds", "1111111111");
        EXPECT_EQ(ErrorNumberOf([&] { target.ReadProperties(bag); }), 321);
        ASSERT_EQ(target.Count(), 1);
        EXPECT_EQ(target.Item(int32_t{1}), kept);
    }
}

}  // namespace
