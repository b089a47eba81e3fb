#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>

#include "platform/Api.h"
#include "platform/Date.h"
#include "platform/Object.h"

namespace platform {

struct Empty {
    friend bool operator==(Empty, Empty) = default;
};
struct Null {
    friend bool operator==(Null, Null) = default;
};

// The platform's money type: a 64-bit count of ten-thousandths.
struct Currency {
    int64_t ten_thousandths = 0;
    friend bool operator==(Currency, Currency) = default;
    friend auto operator<=>(Currency, Currency) = default;
};

// The kinds of value a Variant holds, numbered as the platform numbers them.
enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,  // 16-bit
    Long = 3,     // 32-bit
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Boolean = 11,
};

// A value that carries its own type. The conversions follow the platform's rules: banker's
// rounding to integers, "Overflow" (6) past a type's range, "Type mismatch" (13) for text that is
// no number, "Invalid use of Null" (94) for null in every conversion; empty converts to "", 0 or
// false. Text conversions read and write under the current regional settings of the platform
// services.
class PLATFORM_API Variant {
  public:
    Variant() = default;
    Variant(Null) : m_value(Null{}) {}
    Variant(bool value) : m_value(value) {}
    Variant(int16_t value) : m_value(value) {}
    Variant(int32_t value) : m_value(value) {}
    Variant(double value) : m_value(value) {}
    Variant(Currency value) : m_value(value) {}
    Variant(Date value) : m_value(value) {}
    Variant(std::string value) : m_value(std::move(value)) {}
    Variant(std::string_view value) : m_value(std::string(value)) {}
    Variant(const char* value) : m_value(std::string(value)) {}
    Variant(ObjectRef value) : m_value(std::move(value)) {}
    template <class T>
    requires std::is_base_of_v<Object, T> Variant(std::shared_ptr<T> value)
        : m_value(ObjectRef(std::move(value))) {}

    static Variant null() { return Variant(Null{}); }

    VarType type() const;
    bool is_empty() const { return std::holds_alternative<Empty>(m_value); }
    bool is_null() const { return std::holds_alternative<Null>(m_value); }
    bool is_object() const { return std::holds_alternative<ObjectRef>(m_value); }
    bool is_text() const { return std::holds_alternative<std::string>(m_value); }
    // True for the numeric kinds: boolean, integers, double, currency and date.
    bool is_numeric() const;

    // Conversions with the platform's rules (see the class comment).
    std::string to_text() const;
    bool to_bool() const;
    int16_t to_int16() const;
    int32_t to_int32() const;
    double to_double() const;
    Date to_date() const;
    Currency to_currency() const;
    // The object held; raises "Object required" (424) for any other kind of value. An empty
    // object reference gives a null pointer.
    ObjectRef to_object() const;

    // The value as held, without conversion; for code that must know the exact kind.
    using Storage = std::variant<Empty, Null, bool, int16_t, int32_t, double, Currency, Date,
                                 std::string, ObjectRef>;
    const Storage& storage() const { return m_value; }

    // Exact equality: the same kind and the same value (objects: the same object).
    friend bool operator==(const Variant& a, const Variant& b) { return a.m_value == b.m_value; }

  private:
    Storage m_value;
};

// The platform's "=" between two values: numbers (booleans as -1 and 0, dates as their days)
// compare numerically, texts exactly, a number and a text as the platform compares them; null
// on either side is not equal.
PLATFORM_API bool loose_equal(const Variant& a, const Variant& b);

}  // namespace platform
