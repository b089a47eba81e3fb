#include "host/cli/CorrectionJson.h"

#include "host/cli/CommandSupport.h"

namespace timeclock {

using nlohmann::ordered_json;

namespace {

ordered_json MomentJson(const std::optional<platform::Date>& date,
                        const std::optional<platform::Date>& time) {
    if (!date)
        return nullptr;
    return DateToJsonText(platform::Date{date->days + (time ? time->days : 0.0)});
}

}  // namespace

ordered_json RowToJson(const orvane::ClockDatabase::Row& row) {
    ordered_json json;
    json["id"] = row.id;
    json["card"] = row.card;
    json["type"] = row.punch_type;
    json["in"] = MomentJson(row.date_in, row.time_in);
    json["out"] = MomentJson(row.date_out, row.time_out);
    json["notes"] = row.notes;
    const std::pair<const char*, double> amounts[] = {
        {"holiday", row.holiday}, {"sick", row.sick},         {"vacation", row.vacation},
        {"bonus", row.bonus},     {"advances", row.advances}, {"personal", row.personal},
        {"other", row.other}};
    for (const auto& [name, amount] : amounts) {
        if (amount != 0)
            json[name] = amount;
    }
    return json;
}

ordered_json CorrectionToJson(const orvane::Correction& correction) {
    const auto version = [](const std::optional<orvane::ClockDatabase::Row>& row) {
        return row ? RowToJson(*row) : ordered_json(nullptr);
    };
    ordered_json json;
    json["correction"] = correction.id;
    json["id"] = correction.record_id;
    json["card"] = correction.card;
    json["action"] = correction.action;
    json["by"] = correction.by.who;
    json["at"] = DateToJsonText(correction.by.at);
    json["clock"] = correction.by.clock_name;
    json["reason"] = correction.by.reason;
    json["before"] = version(correction.before);
    json["after"] = version(correction.after);
    return json;
}

ordered_json CorrectedPunchToJson(const hours::CorrectedPunch& punch) {
    ordered_json json = RowToJson(punch.row);
    json["voided"] = punch.voided;
    if (punch.voided)
        json["void_reason"] = punch.corrections.back().by.reason;
    json["added"] = punch.added;
    if (punch.original)
        json["original"] = RowToJson(*punch.original);
    return json;
}

}  // namespace timeclock
