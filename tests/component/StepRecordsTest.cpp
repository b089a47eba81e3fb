// Punch validation and the fields the step writes into the punch's records.
#include <gtest/gtest.h>

#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordNameList.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"

namespace {

using platform::Date;
using platform::Variant;
using Writes = std::vector<orvane::PunchRecord::Write>;

Date at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *platform::make_date_time({year, month, day, hour, minute, second});
}
Date clock_time(int hour, int minute) {
    return *platform::make_time(hour, minute, 0);
}

// The punch moment, and the date-times and amount a manager entered.
const Date kPunch = at(2026, 12, 4, 12, 7, 59);
const Date kEnteredIn = at(2026, 12, 3, 8, 15, 30);
const Date kEnteredOut = at(2026, 12, 3, 17, 45, 10);
constexpr double kAmount = 7.5;

// The fields of a moment as the step writes them: the day, then the time to the minute.
Writes in_fields(Date day, Date time) {
    return {{"Date In", Variant(day)}, {"Time In", Variant(time)}};
}
Writes out_fields(Date day, Date time) {
    return {{"Date Out", Variant(day)}, {"Time Out", Variant(time)}};
}
const Writes kInAtPunch = in_fields(at(2026, 12, 4), clock_time(12, 7));
const Writes kOutAtPunch = out_fields(at(2026, 12, 4), clock_time(12, 7));
const Writes kInAtEnteredIn = in_fields(at(2026, 12, 3), clock_time(8, 15));
const Writes kOutAtEnteredIn = out_fields(at(2026, 12, 3), clock_time(8, 15));
const Writes kInAtEnteredOut = in_fields(at(2026, 12, 3), clock_time(17, 45));
const Writes kOutAtEnteredOut = out_fields(at(2026, 12, 3), clock_time(17, 45));

Writes punch_type(const char* type) {
    return {{"Punch Type", Variant(type)}};
}
Writes amount(const char* field) {
    return {{field, Variant(kAmount)}};
}
Writes join(std::initializer_list<Writes> parts);

// A punch's writes: its type, the notes if any, its moment, then the amount if any.
Writes typed(const char* type, const Writes& moment, const char* amount_field = nullptr,
             const char* notes = nullptr) {
    return join({punch_type(type), notes ? Writes{{"Notes", Variant(notes)}} : Writes{}, moment,
                 amount_field ? amount(amount_field) : Writes{}});
}
Writes join(std::initializer_list<Writes> parts) {
    Writes all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class StepRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        m_step->InitProperties();
        m_step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(kPunch));
        m_step->SetDateTimeIn(kEnteredIn);
        m_step->SetDateTimeOut(kEnteredOut);
        m_step->SetAmount(kAmount);
    }

    void manager_mode(bool on) {
        m_step->ReceiveMessage(orvane::MakeMessage("manager mode", Variant(on)));
    }

    Writes write(const std::string& value, const std::string& record_name = "") {
        m_step->SetValue(Variant(value));
        auto record = std::make_shared<orvane::PunchRecord>(record_name);
        m_step->WriteValue(nullptr, record_name, record);
        return record->writes();
    }

    platform::FakeServices m_services{kPunch};
    platform::ServicesScope m_scope{m_services};
    std::shared_ptr<stampkind::clsStep> m_step = std::make_shared<stampkind::clsStep>();
};

// The fields each code writes into the punch's own record (no record name), and what an extra
// record of a lunch or a switch holds whatever the value (here "H"): employees punch at the punch
// moment, managers at the moments they entered.
TEST_F(StepRecords, WritesTheFieldsOfTheCodeInOrder) {
    struct Row {
        const char* value;
        const char* record_name;
        bool manager;
        Writes expected;
    };
    const Row rows[] = {
        {"I", "", false, typed("I", kInAtPunch)},
        {"O", "", false, typed("O", kOutAtPunch)},
        {"BO", "", false, typed("BO", kInAtPunch)},
        {"BI", "", false, typed("BI", kOutAtPunch)},
        {"SW", "", false, typed("O", kOutAtPunch)},  // no sick amount
        {"Status", "", false, {}},
        {"lo", "", false, {}},
        {"X", "", false, typed("X", kInAtPunch, "Other")},
        {"FL", "", false, typed("P", kInAtPunch, "Personal", "Funeral Leave")},
        {"C", "", false, typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))},
        {"F", "", false, amount("Personal")},
        {"O", "", true, typed("O", kOutAtEnteredOut)},
        {"SW", "", true, typed("O", kOutAtEnteredOut)},
        {"BO", "", true, typed("BO", kInAtEnteredOut)},  // the leave opens the break
        {"BI", "", true, typed("BI", kOutAtEnteredIn)},  // the return closes it
        {"H", "", true, typed("H", kInAtEnteredIn, "Holiday")},
        {"C", "", true, typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))},
        {"H", "I", false, typed("I", kInAtPunch)},
        {"H", "lo", false, typed("LO", kInAtPunch)},
        {"H", "X", false, {}},
        {"H", "LI", true, typed("LI", kOutAtEnteredIn)},
        {"H", "LO", true, typed("LO", kInAtEnteredOut)},
        {"H", "I", true, typed("I", kInAtEnteredIn)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.value) + " " + row.record_name +
                     (row.manager ? " manager" : ""));
        manager_mode(row.manager);
        EXPECT_EQ(write(row.value, row.record_name), row.expected);
    }
}

// The real clock carries milliseconds. The records hold the minute of a moment, the fraction
// dropped, never rounded into the next minute or the next day: from the punch moment and from the
// entered ones alike.
TEST_F(StepRecords, FractionsOfASecondAreCutToTheMinute) {
    const struct {
        int hour, minute;
        double seconds;
    } rows[] = {{14, 7, 59.5}, {14, 7, 59.999}, {23, 59, 59.7}, {11, 59, 59.7}};
    for (const auto& row : rows) {
        const Date moment{at(2026, 3, 2, row.hour, row.minute).days + row.seconds / 86400.0};
        m_step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(moment));
        m_step->SetDateTimeIn(moment);
        m_step->SetDateTimeOut(moment);
        const Date day = at(2026, 3, 2), time = clock_time(row.hour, row.minute);
        EXPECT_EQ(write("I"), typed("I", in_fields(day, time))) << row.hour;
        manager_mode(true);
        EXPECT_EQ(write("C"), typed("E", join({in_fields(day, time), out_fields(day, time)})))
            << row.hour;
        manager_mode(false);
    }
}

TEST_F(StepRecords, CompleteWithNothingEnteredWritesDayZero) {
    auto fresh = std::make_shared<stampkind::clsStep>();
    fresh->SetValue(Variant("C"));
    auto record = std::make_shared<orvane::PunchRecord>();
    fresh->WriteValue(nullptr, "", record);
    const Date zero{0.0};
    EXPECT_EQ(record->writes(), typed("E", join({in_fields(zero, zero), out_fields(zero, zero)})));
}

TEST_F(StepRecords, MissingPunchDateTimeRaisesAfterThePunchType) {
    auto fresh = std::make_shared<stampkind::clsStep>();
    fresh->SetValue(Variant("I"));
    auto record = std::make_shared<orvane::PunchRecord>();
    EXPECT_EQ(ErrorNumberOf([&] { fresh->WriteValue(nullptr, "", record); }),
              platform::err::kObjectVariableNotSet);
    EXPECT_EQ(record->writes(), punch_type("I"));
}

// A punch date-time whose parts add up past the last moment the date type holds.
class FarPunchDateTime final : public framework::IPunchDateTime {
  public:
    Variant Date() const override { return Variant(at(9999, 12, 31)); }
    Variant Time() const override { return Variant(platform::Date{1.5}); }
};

TEST_F(StepRecords, PunchMomentPastTheDateRangeRaises) {
    m_step->AttachDateTime(std::make_shared<FarPunchDateTime>());
    EXPECT_THROW(write("O"), platform::RaisedError);
}

TEST_F(StepRecords, RecordWithoutTheFieldRaisesSubscriptOutOfRange) {
    m_step->SetValue(Variant("H"));
    auto record = std::make_shared<orvane::PunchRecord>(
        "", std::vector<std::string>{"Punch Type", "Date In", "Time In"});
    EXPECT_EQ(ErrorNumberOf([&] { m_step->WriteValue(nullptr, "", record); }),
              platform::err::kSubscriptOutOfRange);
    EXPECT_EQ(record->writes(), typed("H", kInAtPunch));
}

TEST_F(StepRecords, ValidateValueSearchesTheCodeListIgnoringCaseAndRefusesNull) {
    for (const char* accepted : {"", "I", "lo", "C", "Status", "GLP", "SW", "W", "I,O"}) {
        EXPECT_EQ(m_step->ValidateValue(Variant(accepted)), framework::VBool::True) << accepted;
    }
    for (const char* refused : {"FL", "Z", "IN", " I", "I,"}) {
        EXPECT_EQ(m_step->ValidateValue(Variant(refused)), framework::VBool::False) << refused;
    }
    EXPECT_EQ(m_step->ValidateValue(Variant(int32_t{5})), framework::VBool::False);
    EXPECT_EQ(ErrorNumberOf([&] { m_step->ValidateValue(Variant::null()); }),
              platform::err::kInvalidUseOfNull);
}

TEST_F(StepRecords, RegisterRecordNamesAddsTheExtraRecordOfLunchAndSwitch) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases{
        {"LI", {"LI"}}, {"LO", {"LO"}}, {"SW", {"I"}}, {"I", {}}, {"lo", {}}, {"", {}}};
    for (const auto& [value, names] : cases) {
        m_step->SetValue(Variant(value));
        auto list = std::make_shared<orvane::RecordNameList>();
        m_step->RegisterRecordNames(list);
        EXPECT_EQ(list->names(), names) << value;
    }
}

}  // namespace
