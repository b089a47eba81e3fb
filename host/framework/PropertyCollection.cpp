#include "host/framework/PropertyCollection.h"

#include <algorithm>
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

void PropertyCollection::ReadProperties(platform::PropertyBag&) {
    platform::raise(platform::err::kInvalidProcedureCall, "Restoring settings is not built yet");
}

void PropertyCollection::WriteProperties(platform::PropertyBag&) {
    platform::raise(platform::err::kInvalidProcedureCall, "Saving settings is not built yet");
}

}  // namespace orvane
