#include "host/framework/PunchRecord.h"

#include <utility>

#include "host/framework/Names.h"
#include "host/punches/RecordColumns.h"
#include "platform/Error.h"

namespace orvane {

namespace {

// A field of a punch record. It belongs to its record and reports each assignment to it; the
// record hands its fields out for the time of a write and outlives them.
class Field final : public framework::IField {
  public:
    Field(PunchRecord& record, std::string name) : m_record(record), m_name(std::move(name)) {}

    std::string Name() const override { return m_name; }
    platform::Variant Value() const override { return m_value; }

    void SetValue(const platform::Variant& value) override {
        // A column of the clock data holds a value, never an object.
        if (value.is_object())
            platform::raise(platform::err::kTypeMismatch);
        m_value = value;
        m_record.record_write(m_name, value);
    }

  private:
    PunchRecord& m_record;
    std::string m_name;
    // A field of a new row is null until a value is written.
    platform::Variant m_value = platform::Variant::null();
};

}  // namespace

const std::vector<std::string>& PunchRecord::ClockFields() {
    static const std::vector<std::string> fields = [] {
        std::vector<std::string> names;
        for (const auto& column : punches::kRecordColumns)
            names.emplace_back(column.name);
        return names;
    }();
    return fields;
}

PunchRecord::PunchRecord(std::string name, const std::vector<std::string>& fields)
    : m_name(std::move(name)) {
    m_fields.reserve(fields.size());
    for (const auto& field : fields)
        m_fields.push_back(std::make_shared<Field>(*this, field));
}

std::shared_ptr<framework::IField> PunchRecord::Item(const std::string& name) {
    for (const auto& field : m_fields) {
        if (SameName(field->Name(), name))
            return field;
    }
    platform::raise(platform::err::kSubscriptOutOfRange,
                    "Subscript out of range: the record has no field \"" + name + "\"");
}

std::map<std::string, platform::Variant> PunchRecord::values() const {
    std::map<std::string, platform::Variant> last;
    for (const auto& [field, value] : m_writes)
        last.insert_or_assign(field, value);
    return last;
}

void PunchRecord::record_write(const std::string& field, const platform::Variant& value) {
    m_writes.emplace_back(field, value);
}

}  // namespace orvane
