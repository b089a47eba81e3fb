#include "host/framework/PropertyCollection.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/Error.h"
#include "platform/PropertyBag.h"
#include "tests/support/Raised.h"

namespace {

using orvane::PropertyCollection;
using platform::Variant;

// A setting is found by its name in any case or by its position from one; a second of a name is
// refused and changes nothing; anything else is out of range.
TEST(PropertyCollectionTest, ItemFindsEachSettingByNameOrPositionOnly) {
    PropertyCollection settings;
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
    PropertyCollection saved;
    saved.Add("AllowedStampkinds", "0101010101");
    saved.Add("IsGlidepass", true);
    saved.Add("GlidepassSpan", 4.5);
    saved.Add("Nothing", Variant());
    saved.Add("Card", int32_t{1204});
    platform::PropertyBag bag;
    saved.WriteProperties(bag);

    // Through the stored text, as the host keeps it.
    auto stored = platform::PropertyBag::from_text(bag.to_text());
    PropertyCollection restored;
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
        PropertyCollection saved;
        saved.Add("IsGlidepass", true);
        saved.Add("GlidepassSpan", 18.0);
        platform::PropertyBag bag;
        saved.WriteProperties(bag);
        damage.apply(bag);

        PropertyCollection target;
        auto kept = target.Add("AllowedStampkinds", "1111111111");
        EXPECT_EQ(ErrorNumberOf([&] { target.ReadProperties(bag); }), 321);
        ASSERT_EQ(target.Count(), 1);
        EXPECT_EQ(target.Item(int32_t{1}), kept);
    }
}

}  // namespace
