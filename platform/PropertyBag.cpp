#include "platform/PropertyBag.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/TextScan.h"

namespace platform {

namespace {

using json = nlohmann::json;

[[noreturn]] void bad_format(const std::string& problem) {
    raise(err::kBadFileFormat, standard_description(err::kBadFileFormat) + ": " + problem);
}

// The kind names of the stored form, one per kind of value a bag keeps.
constexpr std::string_view kEmpty = "Empty";
constexpr std::string_view kNull = "Null";
constexpr std::string_view kBoolean = "Boolean";
constexpr std::string_view kInteger = "Integer";
constexpr std::string_view kLong = "Long";
constexpr std::string_view kDouble = "Double";
constexpr std::string_view kCurrency = "Currency";
constexpr std::string_view kDate = "Date";
constexpr std::string_view kString = "String";
constexpr std::string_view kObject = "Object";

}  // namespace

// A stored object: the class it was saved from and the bag it saved itself into. A reference
// to no object is stored with an empty class and no bag.
struct StoredObject {
    std::string class_id;
    std::shared_ptr<const PropertyBag> bag;
};

struct PropertyBag::Impl {
    struct Entry {
        std::string name;
        Variant value;                       // any kind but an object
        std::optional<StoredObject> object;  // set for a stored object
    };
    // In the order of writing; names compared without regard to letter case.
    std::vector<Entry> entries;

    std::vector<Entry>::iterator find(std::string_view name) {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const Entry& e) { return platform::text::iequals(e.name, name); });
    }
    std::vector<Entry>::const_iterator find(std::string_view name) const {
        return std::find_if(entries.begin(), entries.end(),
                            [&](const Entry& e) { return platform::text::iequals(e.name, name); });
    }
    void put(Entry entry) {
        if (auto it = find(entry.name); it != entries.end()) {
            *it = std::move(entry);
        } else {
            entries.push_back(std::move(entry));
        }
    }
};

PropertyBag::PropertyBag() : m_impl(std::make_unique<Impl>()) {}
PropertyBag::~PropertyBag() = default;
PropertyBag::PropertyBag(const PropertyBag& other)
    : m_impl(std::make_unique<Impl>(*other.m_impl)) {}
PropertyBag& PropertyBag::operator=(const PropertyBag& other) {
    if (this != &other)
        m_impl = std::make_unique<Impl>(*other.m_impl);
    return *this;
}
PropertyBag::PropertyBag(PropertyBag&& other) noexcept
    : m_impl(std::exchange(other.m_impl, std::make_unique<Impl>())) {}
PropertyBag& PropertyBag::operator=(PropertyBag&& other) noexcept {
    std::swap(m_impl, other.m_impl);
    return *this;
}

bool PropertyBag::Contains(std::string_view name) const {
    return m_impl->find(name) != m_impl->entries.end();
}

Variant PropertyBag::ReadProperty(std::string_view name, const Variant& default_value) {
    const auto it = m_impl->find(name);
    if (it == m_impl->entries.end())
        return default_value;
    if (!it->object)
        return it->value;

    const StoredObject& stored = *it->object;
    if (!stored.bag)
        return Variant(ObjectRef());
    // A new object of the saved class: made like the default when the default is of that
    // class, otherwise created by its programmatic identifier.
    std::shared_ptr<Persistable> object;
    if (default_value.is_object()) {
        auto prototype = query<Persistable>(default_value.to_object());
        if (prototype && platform::text::iequals(prototype->PersistClassId(), stored.class_id)) {
            object = prototype->NewInstance();
        }
    }
    if (!object)
        object = CreateObjectAs<Persistable>(stored.class_id);
    // The object restores from its own copy, so that reading never changes what is stored.
    PropertyBag saved(*stored.bag);
    object->ReadProperties(saved);
    return Variant(ObjectRef(object));
}

void PropertyBag::WriteProperty(std::string_view name, const Variant& value,
                                const Variant& default_value) {
    if (value == default_value) {
        if (auto it = m_impl->find(name); it != m_impl->entries.end())
            m_impl->entries.erase(it);
        return;
    }
    Impl::Entry entry{std::string(name), Variant(), std::nullopt};
    if (value.is_object()) {
        const ObjectRef object = value.to_object();
        StoredObject stored;
        if (object) {
            auto persistable = query<Persistable>(object);
            if (!persistable) {
                raise(err::kTypeMismatch, standard_description(err::kTypeMismatch) +
                                              ": the object of property \"" + std::string(name) +
                                              "\" cannot save itself");
            }
            auto nested = std::make_shared<PropertyBag>();
            persistable->WriteProperties(*nested);
            stored.class_id = persistable->PersistClassId();
            stored.bag = std::move(nested);
        }
        entry.object = std::move(stored);
    } else {
        if (const auto* number = std::get_if<double>(&value.storage());
            number && !std::isfinite(*number)) {
            raise(err::kOverflow);
        }
        entry.value = value;
    }
    m_impl->put(std::move(entry));
}

// ---- The stored JSON form --------------------------------------------------------------------
//
// A bag is a JSON object; each property is an object that names the kind of its value, so that
// a double 18 comes back a double and a boolean a boolean:
//   {"GlidepassSpan": {"type": "Double", "value": 18.0},
//    "Props": {"type": "Object", "class": "Orvane.PropertyCollection", "properties": {...}}}
// Currency is stored as its count of ten-thousandths, a date as its count of days, and a
// reference to no object as {"type": "Object", "class": null}.

json PropertyBag::to_json() const {
    json stored = json::object();
    for (const auto& entry : m_impl->entries) {
        json property;
        if (entry.object) {
            property["type"] = kObject;
            if (entry.object->bag) {
                property["class"] = entry.object->class_id;
                property["properties"] = entry.object->bag->to_json();
            } else {
                property["class"] = nullptr;
            }
        } else {
            std::visit(
                [&](const auto& held) {
                    using T = std::decay_t<decltype(held)>;
                    if constexpr (std::is_same_v<T, Empty>) {
                        property["type"] = kEmpty;
                    } else if constexpr (std::is_same_v<T, Null>) {
                        property["type"] = kNull;
                    } else if constexpr (std::is_same_v<T, bool>) {
                        property = {{"type", kBoolean}, {"value", held}};
                    } else if constexpr (std::is_same_v<T, int16_t>) {
                        property = {{"type", kInteger}, {"value", held}};
                    } else if constexpr (std::is_same_v<T, int32_t>) {
                        property = {{"type", kLong}, {"value", held}};
                    } else if constexpr (std::is_same_v<T, double>) {
                        property = {{"type", kDouble}, {"value", held}};
                    } else if constexpr (std::is_same_v<T, Currency>) {
                        property = {{"type", kCurrency}, {"value", held.ten_thousandths}};
                    } else if constexpr (std::is_same_v<T, Date>) {
                        property = {{"type", kDate}, {"value", held.days}};
                    } else if constexpr (std::is_same_v<T, std::string>) {
                        property = {{"type", kString}, {"value", held}};
                    } else {
                        static_assert(std::is_same_v<T, ObjectRef>);
                    }
                },
                entry.value.storage());
        }
        stored[entry.name] = std::move(property);
    }
    return stored;
}

namespace {

// Reads an integer of the stored form that must fit the type T.
template <class T>
T stored_integer(const json& value, const std::string& where) {
    if (!value.is_number_integer())
        bad_format(where + ": the value is not a whole number");
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<T>::max())) {
            bad_format(where + ": the value is out of range");
        }
        return static_cast<T>(number);
    }
    const auto number = value.get<int64_t>();
    if (number < std::numeric_limits<T>::min() || number > std::numeric_limits<T>::max()) {
        bad_format(where + ": the value is out of range");
    }
    return static_cast<T>(number);
}

}  // namespace

PropertyBag PropertyBag::from_json(const json& stored) {
    return from_json_at(stored, "");
}

PropertyBag PropertyBag::from_json_at(const json& stored, const std::string& path) {
    if (!stored.is_object()) {
        bad_format((path.empty() ? std::string("the property bag") : path) +
                   " is not a JSON object");
    }
    PropertyBag bag;
    for (const auto& [name, property] : stored.items()) {
        const std::string where = "property \"" + (path.empty() ? "" : path + ".") + name + "\"";
        if (bag.Contains(name))
            bad_format(where + " appears twice");
        if (!property.is_object())
            bad_format(where + " is not a JSON object");
        const auto type = property.find("type");
        if (type == property.end() || !type->is_string())
            bad_format(where + " names no type");
        const std::string kind = type->get<std::string>();

        Impl::Entry entry{name, Variant(), std::nullopt};
        if (kind == kObject) {
            const auto class_id = property.find("class");
            if (class_id == property.end())
                bad_format(where + " names no class");
            StoredObject object;
            if (!class_id->is_null()) {
                if (!class_id->is_string() || class_id->get<std::string>().empty()) {
                    bad_format(where + ": the class is not a programmatic identifier");
                }
                const auto properties = property.find("properties");
                if (properties == property.end())
                    bad_format(where + " has no properties");
                object.class_id = class_id->get<std::string>();
                object.bag = std::make_shared<PropertyBag>(
                    from_json_at(*properties, (path.empty() ? "" : path + ".") + name));
            }
            entry.object = std::move(object);
        } else if (kind == kEmpty) {
            entry.value = Variant();
        } else if (kind == kNull) {
            entry.value = Variant::null();
        } else {
            const auto value = property.find("value");
            if (value == property.end())
                bad_format(where + " has no value");
            if (kind == kBoolean) {
                if (!value->is_boolean())
                    bad_format(where + ": the value is not true or false");
                entry.value = Variant(value->get<bool>());
            } else if (kind == kInteger) {
                entry.value = Variant(stored_integer<int16_t>(*value, where));
            } else if (kind == kLong) {
                entry.value = Variant(stored_integer<int32_t>(*value, where));
            } else if (kind == kCurrency) {
                entry.value = Variant(Currency{stored_integer<int64_t>(*value, where)});
            } else if (kind == kDouble || kind == kDate) {
                if (!value->is_number())
                    bad_format(where + ": the value is not a number");
                const double number = value->get<double>();
                if (kind == kDate) {
                    if (number < kMinDateDays || number > kMaxDateDays) {
                        bad_format(where + ": the date is out of range");
                    }
                    entry.value = Variant(Date{number});
                } else {
                    entry.value = Variant(number);
                }
            } else if (kind == kString) {
                if (!value->is_string())
                    bad_format(where + ": the value is not a text");
                entry.value = Variant(value->get<std::string>());
            } else {
                bad_format(where + " has an unknown type \"" + kind + "\"");
            }
        }
        bag.m_impl->entries.push_back(std::move(entry));
    }
    return bag;
}

std::string PropertyBag::to_text() const {
    return to_json().dump(2);
}

PropertyBag PropertyBag::from_text(std::string_view text) {
    json stored;
    try {
        stored = json::parse(text);
    } catch (const json::exception& error) {
        // Text that is no JSON, and numbers beyond the range of a double ("1e400"), which the
        // reader reports as out of range rather than as a parse error.
        bad_format(std::string("the stored settings are not JSON (") + error.what() + ")");
    }
    return from_json(stored);
}

}  // namespace platform
