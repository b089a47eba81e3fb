// Punch validation and record writing: ValidateValue, RegisterRecordNames, WriteValue.
#include <algorithm>
#include <cctype>

#include "platform/Error.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

// The codes ValidateValue accepts, each followed by a comma. The search is a plain substring
// search, so the tail of a code ("W") or several codes joined by commas pass too; "FL" and "JD"
// do not, the list holding "F" and "J" in their place.
constexpr std::string_view kValidCodes = "I,O,BI,BO,LI,LO,C,T,A,X,H,V,S,P,B,F,J,SW,GLP,STATUS,";

// The letters that pick an amount field; see AmountFieldNames.
constexpr std::string_view kAmountLetters = "HSVBAPJFX";

// The codes that write an amount; every other code writes none, whatever its first letter.
constexpr std::array<std::string_view, 11> kAmountCodes{"H", "S", "V", "B",  "A", "P",
                                                        "J", "F", "X", "FL", "JD"};

// What a code writes into the punch's own record besides its amount. Codes not listed ("GLP",
// "Status", "T", "F", "J" and anything else) write no punch type and no date.
enum class Moments { None, In, Out, OutAsIn, InAsOut, Complete };
struct PunchCode {
    std::string_view code;
    std::string_view punch_type;  // empty: no "Punch Type"
    std::string_view notes;       // empty: no "Notes"
    Moments moments;
};
constexpr std::array<PunchCode, 17> kPunchCodes{{
    {"I", "I", "", Moments::In},
    {"O", "O", "", Moments::Out},
    {"LO", "O", "", Moments::Out},
    {"LI", "I", "", Moments::In},
    // A break record holds the leave time as its in-fields and the return as its out-fields.
    {"BO", "BO", "", Moments::OutAsIn},
    {"BI", "BI", "", Moments::InAsOut},
    {"SW", "O", "", Moments::Out},
    {"A", "A", "", Moments::In},
    {"H", "H", "", Moments::In},
    {"S", "S", "", Moments::In},
    {"V", "V", "", Moments::In},
    {"P", "P", "", Moments::In},
    {"B", "B", "", Moments::In},
    {"X", "X", "", Moments::In},
    {"FL", "P", "Funeral Leave", Moments::In},
    {"JD", "P", "Jury Duty", Moments::In},
    {"C", "E", "", Moments::Complete},
}};

const PunchCode* find_code(std::string_view code) {
    const auto* it = std::find_if(kPunchCodes.begin(), kPunchCodes.end(),
                                  [&](const PunchCode& row) { return row.code == code; });
    return it == kPunchCodes.end() ? nullptr : it;
}

void write_field(framework::IRecord& record, const std::string& name,
                 const platform::Variant& value) {
    auto field = record.Item(name);
    if (!field)
        platform::raise(platform::err::kObjectVariableNotSet);
    field->SetValue(value);
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

const std::array<std::string_view, 9> clsStep::AmountFieldNames{"Holiday",  "Sick",     "Vacation",
                                                                "Bonus",    "Advances", "Personal",
                                                                "Personal", "Personal", "Other"};

framework::VBool clsStep::ValidateValue(const platform::Variant& value) const {
    const std::string text = upper(value.to_text());
    if (text.empty())
        return framework::VBool::True;
    return framework::ToVBool(kValidCodes.find(text + ",") != std::string_view::npos);
}

void clsStep::RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>& names) {
    if (m_value == "LI" || m_value == "LO") {
        platform::query_or_raise<framework::IRecordNames>(names)->Add(m_value, "");
    } else if (m_value == "SW") {
        platform::query_or_raise<framework::IRecordNames>(names)->Add("I", "");
    }
}

void clsStep::WriteValue(const std::shared_ptr<framework::ISteps>&, const std::string& record_name,
                         const std::shared_ptr<framework::IRecord>& record) {
    if (!record_name.empty()) {
        const std::string name = upper(record_name);
        if (name != "LI" && name != "LO" && name != "I")
            return;
        auto& target = *platform::query_or_raise<framework::IRecord>(record);
        if (name == "LI") {
            // The lunch record closes when the new work record opens.
            write_field(target, "Punch Type", platform::Variant("LI"));
            WriteOutDateTime(target, InMoment());
        } else if (name == "LO") {
            // The lunch record opens when the work record closes.
            write_field(target, "Punch Type", platform::Variant("LO"));
            WriteInDateTime(target, OutMoment());
        } else {
            // The new work record of a switch.
            write_field(target, "Punch Type", platform::Variant("I"));
            WriteInDateTime(target, InMoment());
        }
        return;
    }

    if (m_value.empty())
        return;
    const PunchCode* code = find_code(m_value);
    const bool writes_amount =
        std::find(kAmountCodes.begin(), kAmountCodes.end(), m_value) != kAmountCodes.end();
    if (!code && !writes_amount)
        return;
    auto& target = *platform::query_or_raise<framework::IRecord>(record);

    if (code && !code->punch_type.empty()) {
        write_field(target, "Punch Type", platform::Variant(code->punch_type));
        if (!code->notes.empty())
            write_field(target, "Notes", platform::Variant(code->notes));
    }
    switch (code ? code->moments : Moments::None) {
        case Moments::None:
            break;
        case Moments::In:
            WriteInDateTime(target, InMoment());
            break;
        case Moments::Out:
            WriteOutDateTime(target, OutMoment());
            break;
        case Moments::OutAsIn:
            WriteInDateTime(target, OutMoment());
            break;
        case Moments::InAsOut:
            WriteOutDateTime(target, InMoment());
            break;
        case Moments::Complete:
            WriteInDateTime(target, m_date_time_in);
            WriteOutDateTime(target, m_date_time_out);
            break;
    }
    if (writes_amount) {
        const size_t position = kAmountLetters.find(m_value.front());
        write_field(target, std::string(AmountFieldNames[position]), platform::Variant(m_amount));
    }
}

void clsStep::WriteInDateTime(framework::IRecord& record, platform::Date moment) const {
    write_field(record, "Date In", platform::Variant(DateOnly(moment)));
    write_field(record, "Time In", platform::Variant(TimeOnly(moment)));
}

void clsStep::WriteOutDateTime(framework::IRecord& record, platform::Date moment) const {
    write_field(record, "Date Out", platform::Variant(DateOnly(moment)));
    write_field(record, "Time Out", platform::Variant(TimeOnly(moment)));
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
