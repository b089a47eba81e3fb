#include "platform/PropertyBag.h"

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "tests/support/Raised.h"

namespace {

using platform::PropertyBag;
using platform::Variant;

// Settings that persist themselves, with one nested object of the same class.
class Settings final : public platform::Persistable {
  public:
    std::string PersistClassId() const override { return "Test.Settings"; }
    std::shared_ptr<platform::Persistable> NewInstance() const override {
        auto made = std::make_shared<Settings>();
        made->made_by_new_instance = true;
        made->prototype = prototype;
        return made;
    }
    void InitProperties() override { values.clear(); }
    void ReadProperties(PropertyBag& bag) override {
        restored = true;
        for (const char* name : {"Text", "Flag", "Span", "Child"})
            if (bag.Contains(name))
                values.emplace_back(name, bag.ReadProperty(name, prototype));
    }
    void WriteProperties(PropertyBag& bag) override {
        for (const auto& [name, value] : values)
            bag.WriteProperty(name, value);
    }

    std::vector<std::pair<std::string, Variant>> values;
    bool restored = false;
    bool made_by_new_instance = false;
    Variant prototype;
};

TEST(PropertyBagTest, EveryKindSurvivesTheStoredFormWithItsType) {
    const std::vector<std::pair<std::string, Variant>> rows = {
        {"Empty", Variant()},
        {"Null", Variant::null()},
        {"True", Variant(true)},
        {"False", Variant(false)},
        {"Integer", Variant(int16_t{-32768})},
        {"Long", Variant(int32_t{2147483647})},
        {"WholeDouble", Variant(18.0)},
        {"Fraction", Variant(0.1 + 0.2)},
        {"Currency", Variant(platform::Currency{-922337203685477580})},
        {"Date", Variant(platform::Date{46360.3541666667})},
        {"Text", Variant("1111111111")},
        {"Unicode", Variant("caf\xc3\xa9 \"quoted\"\n")},
        {"NoObject", Variant(platform::ObjectRef())},
    };
    PropertyBag bag;
    for (const auto& [name, value] : rows)
        bag.WriteProperty(name, value, Variant(int32_t{7}));

    PropertyBag restored = PropertyBag::from_text(bag.to_text());
    for (const auto& [name, value] : rows) {
        SCOPED_TRACE(name);
        const Variant read = restored.ReadProperty(name, Variant("missing"));
        EXPECT_EQ(read.type(), value.type());
        EXPECT_TRUE(read == value);
    }
}

TEST(PropertyBagTest, ValueEqualToTheDefaultIsNotStored) {
    PropertyBag bag;
    bag.WriteProperty("Span", 18.0);
    bag.WriteProperty("Span", 18.0, 18.0);
    EXPECT_FALSE(bag.Contains("Span"));
    EXPECT_TRUE(bag.ReadProperty("Span", 24.0) == Variant(24.0));
    // A default of another kind is another value: the integer 18 is no double 18.
    bag.WriteProperty("Span", 18.0, int32_t{18});
    EXPECT_TRUE(bag.Contains("span"));
}

TEST(PropertyBagTest, NestedObjectIsRestoredIntoANewObjectOfItsClass) {
    auto child = std::make_shared<Settings>();
    child->values = {{"Text", Variant("inner")}};
    auto settings = std::make_shared<Settings>();
    settings->values = {{"Flag", Variant(true)}, {"Span", Variant(18.0)}, {"Child", child}};

    PropertyBag bag;
    bag.WriteProperty("Props", settings);
    const auto stored = bag.to_json();
    EXPECT_EQ(stored["Props"]["class"], "Test.Settings");
    EXPECT_EQ(stored["Props"]["properties"]["Span"]["type"], "Double");

    auto prototype = std::make_shared<Settings>();
    prototype->prototype = Variant(std::make_shared<Settings>());
    PropertyBag restored = PropertyBag::from_json(stored);
    const Variant read = restored.ReadProperty("Props", prototype);
    auto object = std::dynamic_pointer_cast<Settings>(read.to_object());
    ASSERT_NE(object, nullptr);
    EXPECT_NE(object, prototype);
    EXPECT_TRUE(object->made_by_new_instance);
    EXPECT_TRUE(object->restored);
    ASSERT_EQ(object->values.size(), 3u);
    EXPECT_TRUE(object->values[1].second == Variant(18.0));
    auto inner = std::dynamic_pointer_cast<Settings>(object->values[2].second.to_object());
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->values.at(0).second == Variant("inner"));

    // Each read makes a new object; what is stored does not change.
    const Variant again = restored.ReadProperty("Props", prototype);
    EXPECT_NE(again.to_object(), read.to_object());
    EXPECT_EQ(restored.to_json(), stored);
}

TEST(PropertyBagTest, ObjectThatCannotSaveItselfIsATypeMismatch) {
    struct Plain final : platform::Object {};
    PropertyBag bag;
    EXPECT_EQ(ErrorNumberOf([&] { bag.WriteProperty("Props", std::make_shared<Plain>()); }),
              platform::err::kTypeMismatch);
    EXPECT_FALSE(bag.Contains("Props"));
}

struct DamagedCase {
    const char* name;
    const char* text;
    const char* named_problem;
};

class DamagedStoredFormTest : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedStoredFormTest, RaisesBadFileFormatAndOverwritesNothing) {
    PropertyBag target;
    target.WriteProperty("Span", 18.0);
    const std::string before = target.to_text();

    std::string description;
    EXPECT_EQ(
        ErrorNumberOf([&] { target = PropertyBag::from_text(GetParam().text); }, &description),
        platform::err::kBadFileFormat);
    EXPECT_NE(description.find(GetParam().named_problem), std::string::npos) << description;
    EXPECT_EQ(target.to_text(), before);
}

const DamagedCase kDamaged[] = {
    {"Truncated", R"({"Span": {"type": "Double", "val)", "not JSON"},
    {"NotAnObject", R"([1, 2])", "not a JSON object"},
    {"PropertyNotAnObject", R"({"Span": 18})", "\"Span\""},
    {"NoType", R"({"Span": {"value": 18}})", "names no type"},
    {"UnknownType", R"({"Span": {"type": "Decimal", "value": 1}})", "Decimal"},
    {"NoValue", R"({"Span": {"type": "Double"}})", "has no value"},
    {"TextForDouble", R"({"Span": {"type": "Double", "value": "18"}})", "not a number"},
    {"NumberForBoolean", R"({"On": {"type": "Boolean", "value": 1}})", "not true or false"},
    {"IntegerOverflow", R"({"N": {"type": "Integer", "value": 32768}})", "out of range"},
    {"IntegerBelowRange", R"({"N": {"type": "Integer", "value": -32769}})", "out of range"},
    {"FractionForLong", R"({"N": {"type": "Long", "value": 1.5}})", "not a whole number"},
    {"DateBeyondYear9999", R"({"D": {"type": "Date", "value": 3000000}})", "out of range"},
    {"NumberBeyondDouble", R"({"Span": {"type": "Double", "value": 1e400}})", "not JSON"},
    {"NameTwiceInOtherCase",
     R"({"Span": {"type": "Long", "value": 1}, "SPAN": {"type": "Long", "value": 2}})",
     "appears twice"},
    {"ObjectWithoutClass", R"({"Props": {"type": "Object"}})", "names no class"},
    {"NestedDamage",
     R"({"Props": {"type": "Object", "class": "Test.Settings",
                        "properties": {"Flag": {"type": "Boolean", "value": "yes"}}}})",
     "Props.Flag"},
};
INSTANTIATE_TEST_SUITE_P(Cases, DamagedStoredFormTest, testing::ValuesIn(kDamaged),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
