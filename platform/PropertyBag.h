#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "platform/Api.h"
#include "platform/Object.h"
#include "platform/Variant.h"

namespace platform {

class PropertyBag;

// An object that saves itself into a property bag and restores itself from one, as the
// platform's persistence protocol asks: a new object runs InitProperties, a restored one
// ReadProperties on a freshly created object of the same class.
class PLATFORM_API Persistable : public virtual Object {
  public:
    // The programmatic identifier under which the class is created again when read back.
    virtual std::string PersistClassId() const = 0;
    // A new object of the same class, not yet initialised or restored.
    virtual std::shared_ptr<Persistable> NewInstance() const = 0;

    virtual void InitProperties() = 0;
    virtual void ReadProperties(PropertyBag& bag) = 0;
    virtual void WriteProperties(PropertyBag& bag) = 0;
};

// Named values, the platform's property bag. A persistable object written into a bag saves
// itself into a nested bag under that name; reading it back creates a new object of the class
// it was saved from (from the default object given to the read when that is of the same class,
// otherwise by its programmatic identifier through the component registry) and lets it restore
// itself. The stored form is JSON; a stored form that cannot be read raises an error and the
// bag it was read into is left as it was.
class PLATFORM_API PropertyBag {
  public:
    PropertyBag();
    ~PropertyBag();
    PropertyBag(const PropertyBag&);
    PropertyBag& operator=(const PropertyBag&);
    PropertyBag(PropertyBag&&) noexcept;
    PropertyBag& operator=(PropertyBag&&) noexcept;

    // The value stored under the name, or the default when there is none. An object comes back
    // as a new object restored from its saved state.
    Variant ReadProperty(std::string_view name, const Variant& default_value = Variant());
    // Stores a value under the name; a persistable object saves itself. When the value equals
    // the default nothing is stored (and an earlier value under the name is removed). Raises
    // "Type mismatch" (13) for an object that cannot persist itself.
    void WriteProperty(std::string_view name, const Variant& value,
                       const Variant& default_value = Variant());

    bool Contains(std::string_view name) const;

    // The stored JSON form of the bag, and back. from_json raises "Bad file format" (321),
    // naming the problem, for a form that is damaged or of the wrong shape.
    nlohmann::json to_json() const;
    static PropertyBag from_json(const nlohmann::json& stored);
    std::string to_text() const;
    static PropertyBag from_text(std::string_view text);

  private:
    // Reads a nested bag; the path names it in error descriptions.
    static PropertyBag from_json_at(const nlohmann::json& stored, const std::string& path);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
