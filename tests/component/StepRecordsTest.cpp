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

struct OwnRecordCase {
    const char* name;
    const char* value;
    bool manager;
    Writes expected;
};

class OwnRecord : public StepRecords, public ::testing::WithParamInterface<OwnRecordCase> {};

TEST_P(OwnRecord, WritesTheFieldsOfTheCodeInOrder) {
    const auto& row = GetParam();
    manager_mode(row.manager);
    EXPECT_EQ(write(row.value), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Employee, OwnRecord,
                         ::testing::ValuesIn(std::vector<OwnRecordCase>{
                             {"In", "I", false, typed("I", kInAtPunch)},
                             {"Out", "O", false, typed("O", kOutAtPunch)},
                             {"BreakLeave", "BO", false, typed("BO", kInAtPunch)},
                             {"BreakReturn", "BI", false, typed("BI", kOutAtPunch)},
                             {"SwitchWritesNoSickAmount", "SW", false, typed("O", kOutAtPunch)},
                             {"Status", "Status", false, {}},
                             {"LowerCaseCode", "lo", false, {}},
                             {"Other", "X", false, typed("X", kInAtPunch, "Other")},
                             {"FuneralLeave", "FL", false,
                              typed("P", kInAtPunch, "Personal", "Funeral Leave")},
                             {"CompleteUsesEnteredTimes", "C", false,
                              typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))},
                             {"CodeFOnlyAmount", "F", false, amount("Personal")}}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Manager, OwnRecord,
    ::testing::ValuesIn(std::vector<OwnRecordCase>{
        {"Out", "O", true, typed("O", kOutAtEnteredOut)},
        {"Switch", "SW", true, typed("O", kOutAtEnteredOut)},
        {"BreakLeaveStoresLeaveAsIn", "BO", true, typed("BO", kInAtEnteredOut)},
        {"BreakReturnStoresReturnAsOut", "BI", true, typed("BI", kOutAtEnteredIn)},
        {"Holiday", "H", true, typed("H", kInAtEnteredIn, "Holiday")},
        {"Complete", "C", true, typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ExtraRecordCase {
    const char* name;
    const char* record_name;
    bool manager;
    Writes expected;
};

class ExtraRecord : public StepRecords, public ::testing::WithParamInterface<ExtraRecordCase> {};

TEST_P(ExtraRecord, WritesByRecordNameWhateverTheValue) {
    const auto& row = GetParam();
    manager_mode(row.manager);
    // The value is not looked at on this path.
    EXPECT_EQ(write("H", row.record_name), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Records, ExtraRecord,
                         ::testing::ValuesIn(std::vector<ExtraRecordCase>{
                             {"SwitchOpensWork", "I", false, typed("I", kInAtPunch)},
                             {"NameInLowerCase", "lo", false, typed("LO", kInAtPunch)},
                             {"UnknownName", "X", false, {}},
                             {"ManagerLunchReturn", "LI", true, typed("LI", kOutAtEnteredIn)},
                             {"ManagerLunchLeave", "LO", true, typed("LO", kInAtEnteredOut)},
                             {"ManagerSwitch", "I", true, typed("I", kInAtEnteredIn)}}),
                         [](const auto& info) { return std::string(info.param.name); });

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
