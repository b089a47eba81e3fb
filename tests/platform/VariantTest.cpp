#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>

#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "tests/support/Raised.h"

namespace {

using platform::Currency;
using platform::Date;
using platform::Variant;

// Doubles are written by the shortest text that reads back (the number text tests hold its forms).
TEST(VariantTest, ToText) {
    const std::pair<Variant, const char*> cases[] = {
        {Variant(), ""},
        {Variant(true), "True"},
        {Variant(false), "False"},
        {Variant(int16_t{-12}), "-12"},
        {Variant(int32_t{100000}), "100000"},
        {Variant(-0.017), "-0.017"},
        {Variant(0.1 + 0.2), "0.30000000000000004"},
        {Variant(Currency{125000}), "12.5"},
        {Variant(Currency{-5}), "-0.0005"},
        {Variant(Currency{0}), "0"},
        {Variant(Date{46360.0}), "12/4/2026"},
        {Variant("text"), "text"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(value.to_text(), text);
}

TEST(VariantTest, ToBool) {
    const std::pair<Variant, bool> cases[] = {
        {Variant(), false},           {Variant(int16_t{2}), true}, {Variant(0.0), false},
        {Variant(-0.5), true},        {Variant("True"), true},     {Variant("fALSe"), false},
        {Variant(" true "), true},    {Variant("0"), false},       {Variant("-1"), true},
        {Variant(Currency{1}), true},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(value.to_bool(), expected) << value.to_text();
    EXPECT_EQ(ErrorNumberOf([] { Variant("yes").to_bool(); }), platform::err::kTypeMismatch);
}

TEST(VariantTest, ToIntegersRoundHalvesToEven) {
    const std::pair<Variant, int32_t> cases[] = {
        {Variant(0.5), 0},
        {Variant(1.5), 2},
        {Variant(2.5), 2},
        {Variant(-2.5), -2},
        {Variant(-3.5), -4},
        {Variant(2.51), 3},
        {Variant(true), -1},
        {Variant(), 0},
        {Variant("12.5"), 12},
        {Variant(" 7 "), 7},
        {Variant("1,234"), 1234},
        {Variant(Currency{25000}), 2},
        {Variant(Currency{35000}), 4},
        {Variant(Currency{-25000}), -2},
        {Variant(Date{46360.75}), 46361},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(value.to_int32(), expected) << value.to_text();
    EXPECT_EQ(Variant(32767.4).to_int16(), 32767);
    EXPECT_EQ(Variant(-32768.5).to_int16(), -32768);
}

// Values past a type's range, texts that are no number or date, and Null, which every
// conversion refuses.
TEST(VariantTest, ConversionErrors) {
    constexpr int kNull = platform::err::kInvalidUseOfNull;
    struct Case {
        const char* what;
        std::function<void()> conversion;
        int error;
    };
    const Case cases[] = {
        {"int16 past range", [] { Variant(32767.5).to_int16(); }, platform::err::kOverflow},
        {"int16 from long", [] { Variant(int32_t{40000}).to_int16(); }, platform::err::kOverflow},
        {"int32 past range", [] { Variant(2147483647.5).to_int32(); }, platform::err::kOverflow},
        {"int32 from nan", [] { Variant(std::numeric_limits<double>::quiet_NaN()).to_int32(); },
         platform::err::kOverflow},
        {"currency past range", [] { Variant(1e15).to_currency(); }, platform::err::kOverflow},
        {"date past range", [] { Variant(3e6).to_date(); }, platform::err::kOverflow},
        {"int from word", [] { Variant("abc").to_int16(); }, platform::err::kTypeMismatch},
        {"double from empty text", [] { Variant("").to_double(); }, platform::err::kTypeMismatch},
        {"double from number and word", [] { Variant("12 hours").to_double(); },
         platform::err::kTypeMismatch},
        {"date from word", [] { Variant("someday").to_date(); }, platform::err::kTypeMismatch},
        {"date from lone number", [] { Variant("12").to_date(); }, platform::err::kTypeMismatch},
        {"object to text", [] { Variant(platform::ObjectRef{}).to_text(); },
         platform::err::kTypeMismatch},
        {"number to object", [] { Variant(1.0).to_object(); }, platform::err::kObjectRequired},
        {"null to text", [] { Variant::null().to_text(); }, kNull},
        {"null to bool", [] { Variant::null().to_bool(); }, kNull},
        {"null to int16", [] { Variant::null().to_int16(); }, kNull},
        {"null to int32", [] { Variant::null().to_int32(); }, kNull},
        {"null to double", [] { Variant::null().to_double(); }, kNull},
        {"null to date", [] { Variant::null().to_date(); }, kNull},
        {"null to currency", [] { Variant::null().to_currency(); }, kNull},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorNumberOf(c.conversion), c.error) << c.what;
}

TEST(VariantTest, ToDoubleDateAndCurrency) {
    EXPECT_EQ(Variant("-1.5e2").to_double(), -150.0);
    EXPECT_EQ(Variant(Currency{125}).to_double(), 0.0125);
    EXPECT_EQ(Variant(Date{1.5}).to_double(), 1.5);
    EXPECT_EQ(Variant("12/04/26 08:30  AM").to_date().days, 46360.0 + 8.5 / 24.0);
    EXPECT_EQ(Variant(46360.5).to_date().days, 46360.5);
    EXPECT_EQ(Variant(12.34565).to_currency(), Currency{123456});  // ten-thousandths, to even
    EXPECT_EQ(Variant(0.00005).to_currency(), Currency{0});
    EXPECT_EQ(Variant("19.99").to_currency(), Currency{199900});
    EXPECT_EQ(Variant(int32_t{-3}).to_currency(), Currency{-30000});
    // Money from text is exact to the ten-thousandth, beyond a double's digits.
    EXPECT_EQ(Variant("922337203685477.5807").to_currency(), Currency{INT64_MAX});
    EXPECT_EQ(Variant("-922337203685477.5808").to_currency(), Currency{INT64_MIN});
    EXPECT_EQ(Variant(" 1,234.56785 ").to_currency(), Currency{12345678});
    EXPECT_EQ(Variant("0.00015").to_currency(), Currency{2});
    EXPECT_EQ(Variant("0.000150001").to_currency(), Currency{2});
    EXPECT_EQ(Variant("0.00025").to_currency(), Currency{2});
    EXPECT_EQ(Variant("1e2").to_currency(), Currency{1000000});
    EXPECT_EQ(ErrorNumberOf([] { Variant("922337203685477.5808").to_currency(); }),
              platform::err::kOverflow);
    EXPECT_EQ(ErrorNumberOf([] { Variant("12 dollars").to_currency(); }),
              platform::err::kTypeMismatch);
}

TEST(VariantTest, DatesFollowTheInstalledRegionalSettings) {
    platform::FakeServices fake;
    fake.regional = platform::RegionalSettings::british_english();
    platform::ServicesScope scope(fake);
    const Date moment = *platform::make_date_time({2026, 12, 4, 16, 51, 10});
    EXPECT_EQ(Variant(moment).to_text(), "04/12/2026 16:51:10");
    EXPECT_EQ(Variant("04/12/2026 16:51:10").to_date(), moment);
}

TEST(VariantTest, NumericKindsAndLooseEquality) {
    EXPECT_TRUE(Variant(Date{}).is_numeric());
    EXPECT_FALSE(Variant("1").is_numeric());

    EXPECT_TRUE(platform::loose_equal(Variant(true), Variant(int16_t{-1})));
    EXPECT_TRUE(platform::loose_equal(Variant(18.0), Variant("18")));
    EXPECT_TRUE(platform::loose_equal(Variant(), Variant("")));
    EXPECT_TRUE(platform::loose_equal(Variant(), Variant(0.0)));
    EXPECT_FALSE(platform::loose_equal(Variant("I"), Variant("i")));
    EXPECT_FALSE(platform::loose_equal(Variant::null(), Variant::null()));
    EXPECT_FALSE(platform::loose_equal(Variant(1.0), Variant("one")));
}

}  // namespace
