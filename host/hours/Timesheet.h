#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/database/ClockDatabase.h"
#include "host/hours/Hours.h"
#include "host/hours/PayCalculation.h"

namespace hours {

// One day of an employee's timesheet: the day's figures and, for each record a manager entered,
// a mark saying who and when ("entered by Grace Hopper on 12/05 09:14").
struct SheetDay {
    DayFigures figures;
    std::vector<std::string> entered;
    PayDay pay;  // the pay of the shifts that began on the day
};

struct EmployeeSheet {
    int32_t card = 0;
    std::string name;
    std::vector<SheetDay> days;
    // Worked time of the shifts that started in the range (a shift is counted whole in the
    // range where it started), and the leave and money booked on its days.
    Minutes worked = 0;
    std::map<std::string, double> leave;
    std::map<std::string, double> dollars;
    // The paid hours of the shifts that started in the range, by rate.
    Minutes regular = 0;
    Minutes overtime = 0;
    Minutes double_time = 0;
};

// Timesheets for payroll over a range of days, in the clock's local time: one sheet per employee
// that has anything in the range (or the one card asked for), cards in ascending order. It only
// reads the clock database; what to do when the range is empty or a card unknown is the
// caller's.
struct Timesheet {
    int64_t from = 0;  // first and last day, days since day zero
    int64_t to = 0;
    std::vector<EmployeeSheet> employees;
    PayRules pay_rules;

    static Timesheet Build(const orvane::ClockDatabase& database, int64_t from, int64_t to,
                           std::optional<int32_t> card, const HoursRules& rules,
                           const PayRules& pay_rules = {});

    std::string Table() const;
    std::string Csv() const;
    // The timesheets as one JSON document; names are as stored (their bytes unchecked).
    nlohmann::ordered_json Json() const;
};

// A text as one CSV cell that a spreadsheet shows as written: a leading "=", "+", "-", "@", tab or
// carriage return gets an apostrophe before it so that it is never a formula, and a cell holding
// the delimiter, a quote or a line break is quoted.
std::string CsvCell(std::string_view text, char delimiter = ',');

// A day as "YYYY-MM-DD".
std::string DayText(int64_t day);

}  // namespace hours
