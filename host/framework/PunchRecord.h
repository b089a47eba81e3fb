#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// A punch record: the fields of one row of the clock data by name. It remembers every write in
// order (field name and value) so that the punch writer and the tests can read what the step
// wrote. Field names are compared without regard to case; Item of a name outside the field set
// raises "Subscript out of range" (9). A field never written holds null, as in a new row.
class PLATFORM_API PunchRecord final : public framework::IRecord {
  public:
    using Write = std::pair<std::string, platform::Variant>;

    // The field set of the "Clock Data Table", one field for each column of the punch record
    // ("Date In", "Time In", "Date Out", "Time Out", "Punch Type", "Notes", "Holiday", "Sick",
    // "Vacation", "Bonus", "Advances", "Personal", "Other").
    static const std::vector<std::string>& ClockFields();

    explicit PunchRecord(std::string name = "",
                         const std::vector<std::string>& fields = ClockFields());
    // The fields refer back to their record, so a record stays where it was made.
    PunchRecord(const PunchRecord&) = delete;
    PunchRecord& operator=(const PunchRecord&) = delete;

    std::string Name() const override { return m_name; }
    std::shared_ptr<framework::IField> Item(const std::string& name) override;

    // The writes in order.
    const std::vector<Write>& writes() const { return m_writes; }
    // The last value written to each field (fields never written are absent).
    std::map<std::string, platform::Variant> values() const;

    // Called by the record's fields.
    void record_write(const std::string& field, const platform::Variant& value);

  private:
    std::string m_name;
    std::vector<std::shared_ptr<framework::IField>> m_fields;
    std::vector<Write> m_writes;
};

}  // namespace orvane
