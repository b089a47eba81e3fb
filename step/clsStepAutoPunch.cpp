// The automatic punch: Skip and NextPunchFromLastPunch.
#include <array>
#include <exception>

#include "framework/Factories.h"
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Services.h"
#include "step/StepSettings.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

constexpr std::string_view kEmployeeIdStep = "Employee ID";
constexpr std::string_view kStatisticsStep = "Employee Statistics";

// The punch that follows the last one; anything else (or no punch) starts the day with an in.
struct NextPunch {
    std::string_view last;
    std::string_view next;
};
constexpr std::array<NextPunch, 6> kNextPunch{{
    {"I", "O"},
    {"O", "I"},
    {"LI", "O"},
    {"LO", "LI"},
    {"BI", "O"},
    {"BO", "BI"},
}};

std::string NextPunchAfter(const platform::Variant& last) {
    if (!last.is_text())
        return "I";
    const std::string text = last.to_text();
    for (const auto& row : kNextPunch) {
        if (row.last == text)
            return std::string(row.next);
    }
    return "I";
}

// A bound of the lookup's window as the database reads a date literal: month/day/year with the
// four-digit year and the time with seconds, whatever the regional settings, so that a clock
// with day-first settings cannot have its window misread.
std::string BoundText(platform::Date moment) {
    return platform::format_date(moment, "m/d/yyyy h:nn:ss AM/PM");
}

platform::Date UpperBound() {
    return platform::services().Now();
}

}  // namespace

framework::VBool clsStep::Skip(const std::shared_ptr<framework::ISteps>& steps) {
    auto sequence = platform::query_or_raise<framework::ISteps>(steps);
    bool result = false;
    if (!framework::FromVBool(sequence->Exists(std::string(kEmployeeIdStep)))) {
        result = true;
    } else {
        if (SettingsView(m_settings).IsGlidepass()) {
            auto employee = platform::query_or_raise<framework::IStep>(
                sequence->Item(std::string(kEmployeeIdStep)));
            const int32_t card = employee->Value().to_int32();
            m_value = NextPunchFromLastPunch(card);
            result = true;
        }
    }
    m_has_statistics_step = framework::FromVBool(sequence->Exists(std::string(kStatisticsStep)));
    return framework::ToVBool(result);
}

std::string clsStep::NextPunchFromLastPunch(int32_t card_number) {
    try {
        std::string sql;
        sql.reserve(768);
        sql +=
            "SELECT [Clock Data Table].[Card ID], [Clock Data Table].[Date In], "
            "[Clock Data Table].[Time In], [Clock Data Table].[Date Out], "
            "[Clock Data Table].[Time Out], [Clock Data Table].[Punch Type], "
            "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In]) AS SortByDateTime "
            "FROM [Clock Data Table] ";
        sql += "WHERE [Card ID]=";
        sql += std::to_string(card_number);
        // Both halves of the window read the same two moments.
        const std::string lower = BoundText(LowerBound());
        const std::string upper = BoundText(UpperBound());
        sql += " AND (([Date In]+[Time In]) BETWEEN #";
        sql += lower;
        sql += "# AND #";
        sql += upper;
        sql += "# OR ([Date Out]+[Time Out]) BETWEEN #";
        sql += lower;
        sql += "# AND #";
        sql += upper;
        sql +=
            "#) AND ([Punch Type] IN (\"I\",\"O\",\"LI\",\"LO\",\"BI\",\"BO\")) ORDER BY "
            "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In]) DESC;";

        auto database = framework::Global()->Database();
        if (!database)
            platform::raise(platform::err::kObjectVariableNotSet);
        // The lookup leaves the database as it found it: it opens it only when it was closed,
        // and then closes it again.
        bool opened_here = false;
        if (!framework::FromVBool(database->IsOpen())) {
            database->Open(database->ConnectString());
            opened_here = true;
        }
        auto recordset = database->Execute(sql);
        if (!recordset)
            platform::raise(platform::err::kObjectVariableNotSet);
        std::string result = "I";
        if (!framework::FromVBool(recordset->Eof())) {
            result = NextPunchAfter(recordset->Fields("Punch Type")->Value());
        }
        recordset->Close();
        if (opened_here)
            database->Close();
        return result;
    } catch (const platform::RaisedError& error) {
        platform::services().MessageBox("Error: " + error.description());
    } catch (const std::exception& error) {
        platform::services().MessageBox(std::string("Error: ") + error.what());
    }
    // Whatever went wrong, the punch goes ahead as an in punch.
    return "I";
}

platform::Date clsStep::LowerBound() const {
    const double span = SettingsView(m_settings).GlidepassSpan();
    return platform::add_hours(platform::services().Now(), -span);
}

}  // namespace stampkind
