#include <cmath>
#include <cstdio>

#include "host/database/ClockStore.h"
#include "host/database/DatabaseError.h"
#include "host/punches/Shift.h"
#include "platform/Error.h"

// The corrections of the "Clock Data Table" and the approved weeks. A record keeps its current
// values in its own row, so that every reader of punches reads them corrected; the history sits
// beside it: each correction with the record before and after it in "Corrected Records".
namespace orvane {

namespace {

using Row = ClockDatabase::Row;

constexpr std::string_view kCorrecting = "Cannot correct the punch";
constexpr std::string_view kApproving = "Cannot change the week's approval";
constexpr std::string_view kReading = "Cannot read the corrections";

std::optional<double> moment_of(const std::optional<platform::Date>& date,
                                const std::optional<platform::Date>& time) {
    if (!date)
        return std::nullopt;
    return date->days + (time ? time->days : 0.0);
}

// A moment as a whole day and a time of day on day zero, as the record keeps it.
std::pair<platform::Date, platform::Date> day_and_time(platform::Date at) {
    const double day = std::floor(at.days);
    // Minutes: a moment typed to the minute keeps no fraction of a second.
    const double time = std::round((at.days - day) * 24 * 60) / (24 * 60);
    return {platform::Date{day}, platform::Date{time}};
}

void set_in(Row& row, platform::Date at) {
    std::tie(row.date_in, row.time_in) = day_and_time(at);
}
void set_out(Row& row, platform::Date at) {
    std::tie(row.date_out, row.time_out) = day_and_time(at);
}

std::string day_text(double days) {
    const auto parts = platform::split_cut(platform::Date{days});
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    return text;
}

void require_reason(const Corrector& by) {
    if (by.reason.find_first_not_of(" \t\r\n") == std::string::npos)
        platform::raise(platform::err::kInvalidProcedureCall, "A correction needs a reason.");
}

std::string prefixed_columns(std::string_view table) {
    std::string list;
    for (const auto& column : kRecordColumns)
        list +=
            std::string(list.empty() ? "" : ", ") + std::string(table) + "." + Quoted(column.name);
    return list;
}

std::string marks(size_t first, size_t count) {
    std::string text;
    for (size_t i = first; i < first + count; ++i)
        text += (i == first ? "?" : ", ?") + std::to_string(i);
    return text;
}

// Writes a row's record columns into `table`: a new row (id 0) is inserted and given its "ID",
// a row with an "ID" is overwritten.
int64_t write_row(StoreEngine& engine, std::string_view table, const Row& row) {
    std::vector<SqlValue> values{SqlValue::Int(row.card)};
    AppendRecordValues(row, values);
    if (row.id != 0) {
        std::string sets;
        size_t index = 2;
        for (const auto& column : kRecordColumns)
            sets +=
                (sets.empty() ? "" : ", ") + Quoted(column.name) + " = ?" + std::to_string(index++);
        values.push_back(SqlValue::Int(row.id));
        engine.RunToEnd("UPDATE " + Quoted(table) + " SET " + sets + " WHERE \"ID\" = ?" +
                            std::to_string(index) + " AND \"Card ID\" = ?1",
                        values, kCorrecting);
        return row.id;
    }
    const auto inserted =
        engine.Run("INSERT INTO " + Quoted(table) + " (\"Card ID\", " + RecordColumnList() +
                       ") VALUES (" + marks(1, values.size()) + ") RETURNING \"ID\"",
                   values, kCorrecting);
    inserted->Next();
    const int64_t id = inserted->Int(0);
    inserted->Next();
    return id;
}

// The record of an "ID" that a correction may change: stored and not voided.
Row correctable(StoreEngine& engine, int64_t id) {
    static const std::string sql = "SELECT \"ID\", \"Card ID\", " + RecordColumnList() +
                                   " FROM \"Clock Data Table\" WHERE \"ID\" = ?1 AND " + kNotVoided;
    const auto found = engine.Run(sql, {SqlValue::Int(id)}, kCorrecting);
    if (!found->Next()) {
        platform::raise(dberr::kItemNotFound,
                        "There is no punch " + std::to_string(id) + " to correct.");
    }
    Row row = ReadRow(*found);
    found->Next();
    return row;
}

bool is_punch_type(std::string_view type) {
    return punches::KindOfType(type) || punches::CodeRow(type);
}

WeekApproval approval_at(const SqlRows& rows) {
    WeekApproval approval;
    approval.id = rows.Int(0);
    approval.action = rows.Text(1);
    approval.week_start = platform::Date{rows.Real(2)};
    if (!rows.IsNull(3))
        approval.card = static_cast<int32_t>(rows.Int(3));
    approval.who = rows.Text(4);
    approval.at = platform::Date{rows.Real(5)};
    return approval;
}

// The latest approval or reopening of one scope (a week for everyone, or for one card).
std::optional<std::string> latest_action(StoreEngine& engine, platform::Date week_start,
                                         std::optional<int32_t> card, std::string_view doing) {
    const auto found = engine.Run(R"sql(
        SELECT "Action" FROM "Week Approvals"
        WHERE "Week Start" = ?1 AND (("Card ID" IS NULL AND ?2 IS NULL) OR "Card ID" = ?2)
        ORDER BY "ID" DESC LIMIT 1)sql",
                                  {SqlValue::Real(week_start.days),
                                   card ? SqlValue::Int(*card) : SqlValue::Null(SqlType::Integer)},
                                  doing);
    if (!found->Next())
        return std::nullopt;
    auto action = found->Text(0);
    found->Next();
    return action;
}

}  // namespace

std::string CorrectionTables(const StoreEngine& engine) {
    const auto type = [&](SqlType kind) { return std::string(engine.TypeName(kind)); };
    return "CREATE TABLE IF NOT EXISTS \"Corrected Records\" (\n    \"ID\" " + type(SqlType::Key) +
           ",\n    \"Card ID\" " + type(SqlType::Integer) + " NOT NULL,\n" +
           DefinitionLines(RecordColumnDefinitions(engine)) +
           "\n);\nCREATE TABLE IF NOT EXISTS \"Punch Corrections\" (\n    \"ID\" " +
           type(SqlType::Key) + ",\n    \"Record ID\" " + type(SqlType::Reference) +
           " NOT NULL,\n    \"Card ID\" INTEGER NOT NULL,\n    \"Action\" TEXT NOT NULL,\n"
           "    \"Corrected By\" TEXT NOT NULL,\n    \"Corrected At\" " +
           type(SqlType::Real) +
           " NOT NULL,\n    \"Clock Name\" TEXT NOT NULL DEFAULT '',\n"
           "    \"Reason\" TEXT NOT NULL,\n    \"Before\" " +
           type(SqlType::Reference) + ",\n    \"After\" " + type(SqlType::Reference) + R"sql(
);
CREATE INDEX IF NOT EXISTS "Punch Corrections Record" ON "Punch Corrections" ("Record ID");
CREATE INDEX IF NOT EXISTS "Punch Corrections Card" ON "Punch Corrections" ("Card ID");
CREATE TABLE IF NOT EXISTS "Week Approvals" (
    "ID" )sql" +
           type(SqlType::Key) +
           R"sql(,
    "Action" TEXT NOT NULL,
    "Week Start" )sql" +
           type(SqlType::Real) + R"sql( NOT NULL,
    "Card ID" INTEGER,
    "By" TEXT NOT NULL,
    "At" )sql" +
           type(SqlType::Real) +
           R"sql( NOT NULL
);
CREATE INDEX IF NOT EXISTS "Week Approvals Week" ON "Week Approvals" ("Week Start");
)sql";
}

void ClockStore::RefuseApproved(const Row& row) {
    static const std::string sql = R"sql(
        SELECT a."Week Start", a."Card ID" FROM "Week Approvals" a
        WHERE a."Action" = 'approve' AND a."Week Start" <= ?2 AND ?2 < a."Week Start" + 7
          AND (a."Card ID" IS NULL OR a."Card ID" = ?1)
          AND NOT EXISTS (SELECT 1 FROM "Week Approvals" b
              WHERE b."Week Start" = a."Week Start" AND b."ID" > a."ID"
                AND ((b."Card ID" IS NULL AND a."Card ID" IS NULL) OR b."Card ID" = a."Card ID"))
        LIMIT 1)sql";
    for (const auto& moment :
         {moment_of(row.date_in, row.time_in), moment_of(row.date_out, row.time_out)}) {
        if (!moment)
            continue;
        const auto found =
            m_engine->Run(sql, {SqlValue::Int(row.card), SqlValue::Real(*moment)}, kCorrecting);
        if (!found->Next())
            continue;
        const std::string week = day_text(found->Real(0));
        const std::string scope =
            found->IsNull(1) ? "for everyone" : "for card " + std::to_string(found->Int(1));
        found->Next();
        platform::raise(dberr::kApprovedWeek, "The week of " + week + " is approved " + scope +
                                                  ": nothing in it changes until it is reopened.");
    }
}

Correction ClockStore::KeepCorrection(std::string_view action, int64_t record_id, int32_t card,
                                      const std::optional<Row>& before,
                                      const std::optional<Row>& after, const Corrector& by) {
    const auto version = [&](const std::optional<Row>& row) {
        if (!row)
            return SqlValue::Null(SqlType::Integer);
        Row copy = *row;
        copy.id = 0;
        return SqlValue::Int(write_row(*m_engine, "Corrected Records", copy));
    };
    const auto inserted = m_engine->Run(
        R"sql(
        INSERT INTO "Punch Corrections" ("Record ID", "Card ID", "Action", "Corrected By",
            "Corrected At", "Clock Name", "Reason", "Before", "After")
        VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) RETURNING "ID")sql",
        {SqlValue::Int(record_id), SqlValue::Int(card), SqlValue::Text(std::string(action)),
         SqlValue::Text(by.who), SqlValue::Real(by.at.days), SqlValue::Text(by.clock_name),
         SqlValue::Text(by.reason), version(before), version(after)},
        kCorrecting);
    inserted->Next();
    Correction correction{inserted->Int(0), record_id, card, std::string(action), by,
                          before,           after};
    inserted->Next();
    return correction;
}

Correction ClockStore::AddPunch(int32_t card, std::string_view type, platform::Date at,
                                double max_shift_hours, const Corrector& by) {
    require_reason(by);
    const punches::RecordKind* kind = punches::KindOfType(type);
    if (!kind) {
        platform::raise(
            platform::err::kInvalidProcedureCall,
            "\"" + std::string(type) + "\" is no time punch: add one of I, O, LO, LI, BO or BI.");
    }
    auto& engine = Ready();
    StoreTransaction transaction(engine, kCorrecting);
    engine.LockCard(card, kCorrecting);

    std::optional<Row> before;
    Row after;
    after.card = card;
    if (type == kind->closing) {
        // The open record this punch closes, as at the clock: the latest one of its opening
        // type that began no longer than the longest shift before it.
        static const std::string sql = "SELECT \"ID\", \"Card ID\", " + RecordColumnList() +
                                       R"sql( FROM "Clock Data Table"
            WHERE "Card ID" = ?1 AND "Punch Type" = ?2 AND "Date Out" IS NULL
              AND ("Date In"+"Time In") BETWEEN ?3 AND ?4 AND )sql" +
                                       kNotVoided +
                                       R"sql( ORDER BY ("Date In"+"Time In") DESC, "ID" DESC
            LIMIT 1)sql";
        const auto earliest = punches::EarliestClosable(at, {max_shift_hours});
        const auto found =
            engine.Run(sql,
                       {SqlValue::Int(card), SqlValue::Text(std::string(kind->opening)),
                        SqlValue::Real(earliest.days), SqlValue::Real(at.days)},
                       kCorrecting);
        if (found->Next()) {
            before = ReadRow(*found);
            after = *before;
            found->Next();
        }
        set_out(after, at);
        after.punch_type = std::string(type);
    } else {
        // The out this punch begins, the mirror of the above: the earliest record of its kind
        // that holds only an out (a missing in) no longer than the longest shift after it.
        static const std::string sql = "SELECT \"ID\", \"Card ID\", " + RecordColumnList() +
                                       R"sql( FROM "Clock Data Table"
            WHERE "Card ID" = ?1 AND "Punch Type" = ?2 AND "Date In" IS NULL
              AND ("Date Out"+"Time Out") BETWEEN ?3 AND ?4 AND )sql" +
                                       kNotVoided +
                                       R"sql( ORDER BY ("Date Out"+"Time Out"), "ID" LIMIT 1)sql";
        const auto found =
            engine.Run(sql,
                       {SqlValue::Int(card), SqlValue::Text(std::string(kind->closing)),
                        SqlValue::Real(at.days), SqlValue::Real(at.days + max_shift_hours / 24.0)},
                       kCorrecting);
        if (found->Next()) {
            before = ReadRow(*found);
            after = *before;
            found->Next();
        } else {
            after.punch_type = std::string(type);
        }
        set_in(after, at);
    }
    RefuseApproved(after);
    after.id = write_row(engine, "Clock Data Table", after);
    auto correction = KeepCorrection("add", after.id, card, before, after, by);
    transaction.Commit(kCorrecting);
    return correction;
}

Correction ClockStore::EditPunch(int64_t id, std::optional<platform::Date> at,
                                 std::optional<platform::Date> out_at,
                                 std::optional<std::string> type, const Corrector& by) {
    require_reason(by);
    if (!at && !out_at && !type) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "An edit changes a moment or the type of the punch.");
    }
    if (type && !is_punch_type(*type)) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "\"" + *type + "\" is no punch type of the clock.");
    }
    auto& engine = Ready();
    StoreTransaction transaction(engine, kCorrecting);
    const Row before = correctable(engine, id);
    engine.LockCard(before.card, kCorrecting);
    Row after = before;
    if (at) {
        if (before.date_in)
            set_in(after, *at);
        else
            set_out(after, *at);
    }
    if (out_at) {
        set_out(after, *out_at);
        // An open record given its out is closed: it takes its closing type.
        if (!before.date_out && !type) {
            if (const auto* kind = punches::KindOfType(before.punch_type))
                after.punch_type = std::string(kind->closing);
        }
    }
    if (type)
        after.punch_type = *type;
    const auto in = moment_of(after.date_in, after.time_in);
    const auto out = moment_of(after.date_out, after.time_out);
    if (in && out && *out < *in) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "The punch would end before it begins.");
    }
    RefuseApproved(before);
    RefuseApproved(after);
    write_row(engine, "Clock Data Table", after);
    auto correction = KeepCorrection("edit", id, before.card, before, after, by);
    transaction.Commit(kCorrecting);
    return correction;
}

Correction ClockStore::VoidPunch(int64_t id, const Corrector& by) {
    require_reason(by);
    auto& engine = Ready();
    StoreTransaction transaction(engine, kCorrecting);
    const Row before = correctable(engine, id);
    engine.LockCard(before.card, kCorrecting);
    RefuseApproved(before);
    auto correction = KeepCorrection("void", id, before.card, before, std::nullopt, by);
    transaction.Commit(kCorrecting);
    return correction;
}

std::vector<Correction> ClockStore::AddLeave(const LeaveBooking& leave, const Corrector& by) {
    require_reason(by);
    const punches::AmountKind* kind = punches::HoursKindOfCode(leave.code);
    if (!kind)
        platform::raise(
            platform::err::kInvalidProcedureCall,
            "\"" + leave.code + "\" is no leave in hours: book one of H, S, V, P, FL, JD or B.");
    if (!(leave.hours > 0 && leave.hours < 24))
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Leave is more than 0 and less than 24 hours a day.");
    const auto first = static_cast<int64_t>(std::floor(leave.first.days));
    const auto last = static_cast<int64_t>(std::floor(leave.last.days));
    if (last < first)
        platform::raise(platform::err::kInvalidProcedureCall,
                        "The last day of the leave is before its first.");
    if (last - first + 1 > ClockDatabase::kLongestLeave) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Leave is booked for at most " +
                            std::to_string(ClockDatabase::kLongestLeave) + " days at a time.");
    }
    auto& engine = Ready();
    StoreTransaction transaction(engine, kCorrecting);
    engine.LockCard(leave.card, kCorrecting);
    std::vector<Correction> booked;
    for (auto day = first; day <= last; ++day) {
        // Day zero of the clock's dates was a Saturday: 0 and 1 are the weekend.
        if (leave.weekdays_only && day % 7 < 2)
            continue;
        Row row;
        row.card = leave.card;
        set_in(row, platform::Date{static_cast<double>(day)});
        row.punch_type = std::string(kind->punch_type);
        row.notes = std::string(kind->notes);
        punches::SetAmount(row, *kind, leave.hours);
        RefuseApproved(row);
        row.id = write_row(engine, "Clock Data Table", row);
        booked.push_back(KeepCorrection("add", row.id, leave.card, std::nullopt, row, by));
    }
    if (booked.empty())
        platform::raise(platform::err::kInvalidProcedureCall,
                        "There is no weekday from " + day_text(static_cast<double>(first)) +
                            " to " + day_text(static_cast<double>(last)) + ".");
    transaction.Commit(kCorrecting);
    return booked;
}

std::vector<Correction> ClockStore::Corrections(std::optional<int32_t> card) {
    static const std::string sql =
        R"sql(SELECT c."ID", c."Record ID", c."Card ID", c."Action", c."Corrected By",
            c."Corrected At", c."Clock Name", c."Reason", b."ID", )sql" +
        prefixed_columns("b") + ", a.\"ID\", " + prefixed_columns("a") + R"sql(
        FROM "Punch Corrections" c
        LEFT JOIN "Corrected Records" b ON b."ID" = c."Before"
        LEFT JOIN "Corrected Records" a ON a."ID" = c."After"
        WHERE ?1 IS NULL OR c."Card ID" = ?1 ORDER BY c."ID")sql";
    const auto found = Ready().Run(
        sql, {card ? SqlValue::Int(*card) : SqlValue::Null(SqlType::Integer)}, kReading);
    constexpr int kColumns = static_cast<int>(std::size(kRecordColumns));
    std::vector<Correction> corrections;
    while (found->Next()) {
        Correction correction;
        correction.id = found->Int(0);
        correction.record_id = found->Int(1);
        correction.card = static_cast<int32_t>(found->Int(2));
        correction.action = found->Text(3);
        correction.by = {found->Text(4), platform::Date{found->Real(5)}, found->Text(6),
                         found->Text(7)};
        const auto version = [&](int first) -> std::optional<Row> {
            if (found->IsNull(first))
                return std::nullopt;
            Row row;
            row.id = correction.record_id;
            row.card = correction.card;
            ReadRecordColumns(*found, first + 1, row);
            return row;
        };
        correction.before = version(8);
        correction.after = version(9 + kColumns);
        corrections.push_back(std::move(correction));
    }
    return corrections;
}

WeekApproval ClockStore::ChangeApproval(std::string_view action, platform::Date week_start,
                                        std::optional<int32_t> card, const std::string& who,
                                        platform::Date at) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kApproving);
    if (action == "reopen" && latest_action(engine, week_start, card, kApproving) != "approve") {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "The week of " + day_text(week_start.days) + " is not approved " +
                            (card ? "for card " + std::to_string(*card) : "for everyone") + ".");
    }
    const auto inserted = engine.Run(
        R"sql(INSERT INTO "Week Approvals" ("Action", "Week Start", "Card ID", "By", "At")
        VALUES (?1, ?2, ?3, ?4, ?5) RETURNING "ID", "Action", "Week Start", "Card ID", "By", "At")sql",
        {SqlValue::Text(std::string(action)), SqlValue::Real(week_start.days),
         card ? SqlValue::Int(*card) : SqlValue::Null(SqlType::Integer), SqlValue::Text(who),
         SqlValue::Real(at.days)},
        kApproving);
    inserted->Next();
    const auto approval = approval_at(*inserted);
    inserted->Next();
    transaction.Commit(kApproving);
    return approval;
}

std::vector<WeekApproval> ClockStore::WeekApprovals() {
    const auto found = Ready().Run(
        R"sql(SELECT "ID", "Action", "Week Start", "Card ID", "By", "At" FROM "Week Approvals"
        ORDER BY "ID")sql",
        {}, "Cannot read the approved weeks");
    std::vector<WeekApproval> approvals;
    while (found->Next())
        approvals.push_back(approval_at(*found));
    return approvals;
}

}  // namespace orvane
