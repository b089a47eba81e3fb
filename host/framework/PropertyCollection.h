#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/HostObjects.h"
#include "platform/PropertyBag.h"

namespace orvane {

// The host library's property collection: settings kept by name in the order they were added.
// Names are compared without regard to the case of ASCII letters. Item gives back the same
// setting object for a name; a second Add of a name raises 457 and changes nothing. It persists
// itself whole into a property bag: "Count", then "Name1", "Value1", "Name2", ... in order. A
// restore reads everything before it changes anything: saved data that is damaged or of the
// wrong shape raises "Bad file format" (321) and leaves the collection as it was.
class PLATFORM_API PropertyCollection final : public framework::IPropertyCollection,
                                              public platform::Persistable {
  public:
    static constexpr const char* kProgId = "OrvaneFramework.PropertyCollection";

    std::shared_ptr<framework::ISetting> Add(const std::string& name,
                                             const platform::Variant& value) override;
    std::shared_ptr<framework::ISetting> Item(const platform::Variant& index) const override;
    int32_t Count() const override;

    std::string PersistClassId() const override { return kProgId; }
    std::shared_ptr<platform::Persistable> NewInstance() const override;
    void InitProperties() override;
    void ReadProperties(platform::PropertyBag& bag) override;
    void WriteProperties(platform::PropertyBag& bag) override;

  private:
    std::vector<std::shared_ptr<framework::ISetting>> m_settings;
};

}  // namespace orvane
