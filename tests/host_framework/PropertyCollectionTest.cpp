#include "host/framework/PropertyCollection.h"

#include <gtest/gtest.h>

#include "framework/Factories.h"
#include "platform/Error.h"
#include "platform/PropertyBag.h"

namespace {

using orvane::PropertyCollection;
using platform::Variant;

int32_t ErrorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::RaisedError& error) {
        return error.number();
    }
    return 0;
}

TEST(PropertyCollectionTest, ItemGivesTheSameSettingByNameAndPosition) {
    PropertyCollection settings;
    auto added = settings.Add("GlidepassSpan", 18.0);
    EXPECT_EQ(settings.Item("GlidepassSpan"), added);
    EXPECT_EQ(settings.Item("glidepassspan"), added);
    EXPECT_EQ(settings.Item(int32_t{1}), added);

    settings.Item("GlidepassSpan")->SetValue(4.5);
    EXPECT_EQ(added->Value(), Variant(4.5));
}

TEST(PropertyCollectionTest, SecondAddOfANameIsRefusedAndChangesNothing) {
    PropertyCollection settings;
    settings.Add("IsGlidepass", true);
    EXPECT_EQ(ErrorNumberOf([&] { settings.Add("IsGlidepass", false); }), 457);
    EXPECT_EQ(ErrorNumberOf([&] { settings.Add("ISGLIDEPASS", false); }), 457);
    EXPECT_EQ(settings.Count(), 1);
    EXPECT_EQ(settings.Item("IsGlidepass")->Value(), Variant(true));
}

TEST(PropertyCollectionTest, UnknownNamesAndPositionsAreOutOfRange) {
    PropertyCollection settings;
    settings.Add("AllowedStampkinds", "1111111111");
    for (const Variant& index : {Variant("Missing"), Variant(" AllowedStampkinds"),
                                 Variant(int32_t{0}), Variant(int32_t{2}), Variant()}) {
        EXPECT_EQ(ErrorNumberOf([&] { settings.Item(index); }), 9);
    }
}

TEST(PropertyCollectionTest, FactoryMakesAnEmptyPersistableCollection) {
    auto settings = framework::NewPropertyCollection();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Count(), 0);
    EXPECT_NE(platform::query<platform::Persistable>(settings), nullptr);
    EXPECT_NE(framework::NewPropertyCollection(), settings);
}

}  // namespace
