// Punch validation and record writing: ValidateValue, RegisterRecordNames, WriteValue.
#include <algorithm>

#include "platform/Error.h"
#include "platform/TextScan.h"
#include "step/PunchCodes.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

// The codes ValidateValue accepts, each followed by a comma. The search is a plain substring
// search, so the tail of a code ("W") or several codes joined by commas pass too; "FL" and "JD"
// do not, the list holding "F" and "J" in their place.
constexpr std::string_view kValidCodes = "I,O,BI,BO,LI,LO,C,T,A,X,H,V,S,P,B,F,J,SW,GLP,STATUS,";

void WriteField(framework::IRecord& record, const std::string& name,
                const platform::Variant& value) {
    auto field = record.Item(name);
    if (!field)
        platform::raise(platform::err::kObjectVariableNotSet);
    field->SetValue(value);
}

}  // namespace

framework::VBool clsStep::ValidateValue(const platform::Variant& value) const {
    const std::string text = platform::text::to_upper(value.to_text());
    if (text.empty())
        return framework::VBool::True;
    return framework::ToVBool(kValidCodes.find(text + ",") != std::string_view::npos);
}

void clsStep::RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>& names) {
    const PunchCode* code = FindPunchCode(m_value);
    if (code && !code->extra_record.empty())
        platform::query_or_raise<framework::IRecordNames>(names)->Add(
            std::string(code->extra_record), "");
}

void clsStep::WriteValue(const std::shared_ptr<framework::ISteps>&, const std::string& record_name,
                         const std::shared_ptr<framework::IRecord>& record) {
    if (!record_name.empty()) {
        const std::string name = platform::text::to_upper(record_name);
        if (name != "LI" && name != "LO" && name != "I")
            return;
        auto& target = *platform::query_or_raise<framework::IRecord>(record);
        if (name == "LI") {
            // The lunch record closes when the new work record opens.
            WriteField(target, "Punch Type", platform::Variant("LI"));
            WriteOutDateTime(target, InMoment());
        } else if (name == "LO") {
            // The lunch record opens when the work record closes.
            WriteField(target, "Punch Type", platform::Variant("LO"));
            WriteInDateTime(target, OutMoment());
        } else {
            // The new work record of a switch.
            WriteField(target, "Punch Type", platform::Variant("I"));
            WriteInDateTime(target, InMoment());
        }
        return;
    }

    const PunchCode* code = FindPunchCode(m_value);
    if (!code || (code->punch_type.empty() && code->moments == RecordMoments::None &&
                  code->amount_field.empty()))
        return;
    auto& target = *platform::query_or_raise<framework::IRecord>(record);

    if (!code->punch_type.empty()) {
        WriteField(target, "Punch Type", platform::Variant(code->punch_type));
        if (!code->notes.empty())
            WriteField(target, "Notes", platform::Variant(code->notes));
    }
    switch (code->moments) {
        case RecordMoments::None:
            break;
        case RecordMoments::In:
            WriteInDateTime(target, InMoment());
            break;
        case RecordMoments::Out:
            WriteOutDateTime(target, OutMoment());
            break;
        case RecordMoments::OutAsIn:
            WriteInDateTime(target, OutMoment());
            break;
        case RecordMoments::InAsOut:
            WriteOutDateTime(target, InMoment());
            break;
        case RecordMoments::Complete:
            WriteInDateTime(target, m_date_time_in);
            WriteOutDateTime(target, m_date_time_out);
            break;
    }
    if (!code->amount_field.empty())
        WriteField(target, std::string(code->amount_field), platform::Variant(m_amount));
}

void clsStep::WriteInDateTime(framework::IRecord& record, platform::Date moment) const {
    WriteField(record, "Date In", platform::Variant(DateOnly(moment)));
    WriteField(record, "Time In", platform::Variant(TimeOnly(moment)));
}

void clsStep::WriteOutDateTime(framework::IRecord& record, platform::Date moment) const {
    WriteField(record, "Date Out", platform::Variant(DateOnly(moment)));
    WriteField(record, "Time Out", platform::Variant(TimeOnly(moment)));
}

platform::Date clsStep::DateOnly(platform::Date moment) {
    if (!platform::in_range(moment))
        platform::raise(platform::err::kOverflow);
    const platform::DateParts parts = platform::split_cut(moment);
    const auto date = platform::make_date(parts.year, parts.month, parts.day);
    if (!date)
        platform::raise(platform::err::kOverflow);
    return *date;
}

platform::Date clsStep::TimeOnly(platform::Date moment) {
    if (!platform::in_range(moment))
        platform::raise(platform::err::kOverflow);
    const platform::DateParts parts = platform::split_cut(moment);
    const auto time = platform::make_time(parts.hour, parts.minute, 0);
    if (!time)
        platform::raise(platform::err::kOverflow);
    return *time;
}

platform::Date clsStep::PunchMoment() const {
    if (!m_date_time)
        platform::raise(platform::err::kObjectVariableNotSet);
    // Read afresh at each write: the date part first, then the time of day.
    const double date = m_date_time->Date().to_double();
    const double time = m_date_time->Time().to_double();
    return platform::from_moment(date + time);
}

platform::Date clsStep::InMoment() const {
    return m_manager_mode ? m_date_time_in : PunchMoment();
}

platform::Date clsStep::OutMoment() const {
    return m_manager_mode ? m_date_time_out : PunchMoment();
}

}  // namespace stampkind
