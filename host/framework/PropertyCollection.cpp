#include "host/framework/PropertyCollection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "host/framework/Names.h"
#include "platform/Error.h"

namespace orvane {

namespace {

// One named setting; the collection hands out the same object for a name for its whole life.
class Setting final : public framework::ISetting {
  public:
    Setting(std::string name, platform::Variant value)
        : m_name(std::move(name)), m_value(std::move(value)) {}

    std::string Name() const override { return m_name; }
    platform::Variant Value() const override { return m_value; }
    void SetValue(const platform::Variant& value) override { m_value = value; }

  private:
    std::string m_name;
    platform::Variant m_value;
};

constexpr const char* kCount = "Count";
// The most settings a saved collection may claim: the count is a Long.
constexpr double kLargestCount = INT32_MAX;

std::string NameKey(size_t position) {
    return "Name" + std::to_string(position);
}
std::string ValueKey(size_t position) {
    return "Value" + std::to_string(position);
}

[[noreturn]] void RaiseBadForm(const std::string& problem) {
    platform::raise(platform::err::kBadFileFormat,
                    "Bad file format: the saved settings " + problem);
}

}  // namespace

std::shared_ptr<framework::ISetting> PropertyCollection::Add(const std::string& name,
                                                             const platform::Variant& value) {
    const bool present = std::ranges::any_of(
        m_settings, [&](const auto& setting) { return SameName(setting->Name(), name); });
    if (present)
        platform::raise(platform::err::kKeyAlreadyAssociated);
    auto setting = std::make_shared<Setting>(name, value);
    m_settings.push_back(setting);
    return setting;
}

std::shared_ptr<framework::ISetting> PropertyCollection::Item(
    const platform::Variant& index) const {
    if (index.is_text()) {
        const std::string name = index.to_text();
        for (const auto& setting : m_settings) {
            if (SameName(setting->Name(), name))
                return setting;
        }
        platform::raise(platform::err::kSubscriptOutOfRange);
    }
    const int32_t position = index.to_int32();
    if (position < 1 || position > Count())
        platform::raise(platform::err::kSubscriptOutOfRange);
    return m_settings[static_cast<size_t>(position - 1)];
}

int32_t PropertyCollection::Count() const {
    return static_cast<int32_t>(m_settings.size());
}

std::shared_ptr<platform::Persistable> PropertyCollection::NewInstance() const {
    return std::make_shared<PropertyCollection>();
}

void PropertyCollection::InitProperties() {
    m_settings.clear();
}

void PropertyCollection::ReadProperties(platform::PropertyBag& bag) {
    const platform::Variant count_value = bag.ReadProperty(kCount, int32_t{0});
    if (!count_value.is_numeric())
        RaiseBadForm("have a count that is no number");
    const double count = count_value.to_double();
    // Compared before any conversion: a count beyond the whole numbers a collection can hold
    // (1E+300 in a damaged file) is refused, not converted.
    if (!(count >= 0 && count <= kLargestCount) || count != std::trunc(count)) {
        RaiseBadForm("have a count that is no whole number of settings");
    }

    // Everything is read into a new list first, so that a failure leaves this one untouched.
    PropertyCollection restored;
    for (size_t position = 1; position <= static_cast<size_t>(count); ++position) {
        if (!bag.Contains(NameKey(position))) {
            RaiseBadForm("lack the name of setting " + std::to_string(position));
        }
        const platform::Variant name = bag.ReadProperty(NameKey(position));
        if (!name.is_text()) {
            RaiseBadForm("give setting " + std::to_string(position) + " a name that is no text");
        }
        try {
            restored.Add(name.to_text(), bag.ReadProperty(ValueKey(position)));
        } catch (const platform::RaisedError& error) {
            if (error.number() != platform::err::kKeyAlreadyAssociated)
                throw;
            RaiseBadForm("hold \"" + name.to_text() + "\" twice");
        }
    }
    m_settings = std::move(restored.m_settings);
}

void PropertyCollection::WriteProperties(platform::PropertyBag& bag) {
    bag.WriteProperty(kCount, Count(), int32_t{0});
    for (size_t position = 1; position <= m_settings.size(); ++position) {
        const auto& setting = m_settings[position - 1];
        bag.WriteProperty(NameKey(position), setting->Name());
        bag.WriteProperty(ValueKey(position), setting->Value());
    }
}

}  // namespace orvane
