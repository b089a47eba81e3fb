#include <algorithm>
#include <cmath>
#include <sstream>

#include "tests/e2e/Timeclock.h"
#include "tests/support/PayHistory.h"
#include "tests/support/PayRuleCases.h"

namespace {

using nlohmann::json;
using namespace pay_cases;

// Decimal hours as the commands write them: to the hundredth.
double Decimal(Minutes minutes) {
    return std::round(static_cast<double>(minutes) / 60.0 * 100.0) / 100.0;
}

// Each case's week stored for one card and read back by `timeclock report` and `timeclock
// export` under the case's rules: both give the split worked out by hand. (Each case is a
// process of its own under CTest, so each makes only its own database.)
class RuleTable : public TimeclockTest, public ::testing::WithParamInterface<RuleCase> {
  protected:
    static constexpr int32_t kCard = 7;
    // The database is always a file here: the rows are written into it directly.
    std::filesystem::path File() const { return m_folder / "rules.db"; }
    std::vector<std::string> Week(std::vector<std::string> command) const {
        const auto config = pay_history::WriteConfig(
            m_folder / "rules.json", {{"pay_rules", json::parse(GetParam().rules)}});
        command.insert(command.end(), {"--db", File().string(), "--config", config, "--from",
                                       "2020-11-29", "--to", "2020-12-05"});
        return command;
    }
};

TEST_P(RuleTable, CommandsGiveTheSplitWorkedOutByHand) {
    const RuleCase& c = GetParam();
    StoreRows(File(), kCard, c.rows);
    const auto report = Run(Week({"report", "--format", "json"}));
    ASSERT_EQ(report.status, 0) << report.err;
    const json employee = report.json()["employees"].at(0);
    EXPECT_EQ(employee["total"]["regular"], Decimal(c.regular));
    EXPECT_EQ(employee["total"]["overtime"], Decimal(c.overtime));
    EXPECT_EQ(employee["total"]["double_time"], Decimal(c.double_time));
    size_t findings = 0;
    for (const auto& day : employee["days"])
        findings += day["exceptions"].size();
    EXPECT_EQ(findings, c.findings);

    const auto exported = Run(Week({"export", "--format", "csv", "--force"}));
    ASSERT_EQ(exported.status, 0) << exported.err;
    // The hours by rate are the last three columns; the card's total line holds the split.
    std::stringstream lines(exported.out);
    std::string header, line, total;
    std::getline(lines, header);
    EXPECT_TRUE(header.ends_with(",Regular,Overtime,Double Time")) << header;
    while (std::getline(lines, line)) {
        if (line.starts_with(std::to_string(kCard) + ",,Total,"))
            total = line;
    }
    const auto cells = [](const std::string& text) { return std::ranges::count(text, ',') + 1; };
    EXPECT_EQ(cells(total), cells(header)) << exported.out;
    char rates[64];
    std::snprintf(rates, sizeof rates, ",%.2f,%.2f,%.2f", Decimal(c.regular), Decimal(c.overtime),
                  Decimal(c.double_time));
    EXPECT_TRUE(total.ends_with(rates)) << total;
}

INSTANTIATE_TEST_SUITE_P(PayRules, RuleTable, ::testing::ValuesIn(Table()), CaseName);

}  // namespace
