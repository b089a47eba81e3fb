#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "host/punches/Row.h"
#include "step/PunchCodes.h"

// The clock's punch rules in one place: which punch opens and closes which record, which
// records count as work, lunch and breaks, and which entries book hours and which dollars. The
// punch codes themselves, and what each writes, are the component's table (step/PunchCodes.h);
// everything here is read from it or checked against it. The clock database pairs records with
// these rules, the clock guards punches with them, and the hours count by them.
namespace punches {

// What an employee is doing, as their punches say.
enum class Activity { Out, Working, Lunch, Break };

// What the rules find wrong with an employee's records, each listed for a person to settle. A
// record with an exception is not counted, except a manager's entry on their own card, which is
// counted and listed for review.
enum class ExceptionKind {
    MissingOut,          // a record opened and never closed within the longest shift
    MissingIn,           // an out with no open work record to close
    Overlap,             // work records that cover the same time
    LongShift,           // a work record entered whole that is longer than the longest shift
    ReturnWithoutLeave,  // a lunch or break return with no leave to close
    ManagerSelf,         // a manager's entry on the manager's own card
    Future,              // a record after the present moment
    OutBeforeIn,         // a record whose out is before its in
    UnknownType,         // a "Punch Type" the rules do not know
};

// The name of a kind as commands and exports give it ("missing_out").
std::string_view NameOf(ExceptionKind kind);

// What a manager does to clear each kind of exception, in the order of the kinds. Every fix is
// a correction of the records: the command, the exports and the administrator's pages say it in
// these words.
struct ExceptionFix {
    ExceptionKind kind;
    std::string_view fix;
};

// clang-format off
inline constexpr std::array<ExceptionFix, 9> kExceptionFixes{{
    {ExceptionKind::MissingOut,         "add the OUT at the end of this shift, or void the IN"},
    {ExceptionKind::MissingIn,          "add the IN at the start of this shift, or void the OUT"},
    {ExceptionKind::Overlap,            "correct the times of one record, or void it"},
    {ExceptionKind::LongShift,          "correct the record's times, or void it"},
    {ExceptionKind::ReturnWithoutLeave, "add the leave before the return, or void the return"},
    {ExceptionKind::ManagerSelf,        "have another manager review the entry; void it if it is wrong"},
    {ExceptionKind::Future,             "correct the record's date, or void it"},
    {ExceptionKind::OutBeforeIn,        "correct the record's times, or void it"},
    {ExceptionKind::UnknownType,        "correct the record's punch type, or void it"},
}};
// clang-format on

// Every kind has its fix, at the kind's own place.
static_assert([] {
    for (size_t i = 0; i < kExceptionFixes.size(); ++i) {
        if (static_cast<size_t>(kExceptionFixes[i].kind) != i || kExceptionFixes[i].fix.empty())
            return false;
    }
    return static_cast<size_t>(ExceptionKind::UnknownType) + 1 == kExceptionFixes.size();
}());

constexpr std::string_view FixOf(ExceptionKind kind) {
    return kExceptionFixes[static_cast<size_t>(kind)].fix;
}

// A record that a punch opens and a later punch closes. While open it holds only its in-fields
// and its opening "Punch Type"; once closed it holds both and its closing type. The types are
// also the punch codes that stand for its start and its end.
struct RecordKind {
    Activity activity;         // what the employee does while it is open; what it counts as
    std::string_view opening;  // "Punch Type" of the open record
    std::string_view closing;  // "Punch Type" of the closed record
    Activity after;            // what the employee does once it closes: a break lies inside work
    std::string_view misfit;   // why a punch that closes it does not fit when it is not open
    std::string_view missing;  // an open one that was never closed (a missing out)
    std::string_view orphan;   // a closing punch that found none open
    ExceptionKind orphan_kind;
};

// clang-format off
inline constexpr std::array<RecordKind, 3> kRecordKinds{{
    {Activity::Working, "I",  "O",  Activity::Out,     "not clocked in",   "missing out",
     "missing in",                     ExceptionKind::MissingIn},
    {Activity::Lunch,   "LO", "LI", Activity::Out,     "not out to lunch", "missing lunch return",
     "lunch return without its leave", ExceptionKind::ReturnWithoutLeave},
    {Activity::Break,   "BO", "BI", Activity::Working, "not on a break",   "missing break return",
     "break return without its leave", ExceptionKind::ReturnWithoutLeave},
}};
// clang-format on

// The kind of record a stored "Punch Type" belongs to, open or closed; null for any other type.
constexpr const RecordKind* KindOfType(std::string_view type) {
    for (const RecordKind& kind : kRecordKinds) {
        if (kind.opening == type || kind.closing == type)
            return &kind;
    }
    return nullptr;
}

// The row of a punch code in the component's table, as a value; none for an unknown code. (The
// rules are checked at compile time, where a sanitizing build cannot compare a table's address
// with null.)
constexpr std::optional<stampkind::PunchCode> CodeRow(std::string_view code) {
    for (const stampkind::PunchCode& row : stampkind::kPunchCodes) {
        if (row.code == code)
            return row;
    }
    return std::nullopt;
}

// What a punch does to the records, read from the records its code writes: its own record opens
// a kind when it holds only in-fields of the kind's opening type, and closes one when it holds
// only out-fields of the closing type; its extra record (lunch, switch) does the same by name.
// Kinds are given by their place in kRecordKinds; -1 for none.
struct PunchEffect {
    int opens = -1;
    int closes = -1;

    const RecordKind* Opens() const { return opens < 0 ? nullptr : &kRecordKinds[opens]; }
    const RecordKind* Closes() const { return closes < 0 ? nullptr : &kRecordKinds[closes]; }
};

constexpr PunchEffect EffectOf(std::string_view code) {
    PunchEffect effect;
    const auto row = CodeRow(code);
    if (!row)
        return effect;
    using stampkind::RecordMoments;
    const bool in_only =
        row->moments == RecordMoments::In || row->moments == RecordMoments::OutAsIn;
    const bool out_only =
        row->moments == RecordMoments::Out || row->moments == RecordMoments::InAsOut;
    for (int i = 0; i < static_cast<int>(kRecordKinds.size()); ++i) {
        const RecordKind& kind = kRecordKinds[i];
        if ((in_only && row->punch_type == kind.opening) || row->extra_record == kind.opening)
            effect.opens = i;
        if ((out_only && row->punch_type == kind.closing) || row->extra_record == kind.closing)
            effect.closes = i;
    }
    return effect;
}

// What the employee does after the punch `code`; `before` when the punch changes no record.
constexpr Activity ActivityAfter(std::string_view code, Activity before) {
    const PunchEffect effect = EffectOf(code);
    if (effect.opens >= 0)
        return kRecordKinds[effect.opens].activity;
    if (effect.closes >= 0)
        return kRecordKinds[effect.closes].after;
    return before;
}

// Each kind's opening and closing types are punch codes that open and close it.
static_assert([] {
    for (int i = 0; i < static_cast<int>(kRecordKinds.size()); ++i) {
        if (EffectOf(kRecordKinds[i].opening).opens != i ||
            EffectOf(kRecordKinds[i].closing).closes != i)
            return false;
    }
    return true;
}());

// The closing "Punch Type" of a record and the opening type of the record it closes, as the
// clock database pairs them.
struct Pairing {
    std::string_view closing;
    std::string_view opening;
};
inline constexpr std::array<Pairing, kRecordKinds.size()> kPairings = [] {
    std::array<Pairing, kRecordKinds.size()> pairings{};
    for (size_t i = 0; i < kRecordKinds.size(); ++i)
        pairings[i] = {kRecordKinds[i].closing, kRecordKinds[i].opening};
    return pairings;
}();

// The punches the clock guards: each closes a record and does not fit when that record is not
// open. A lunch leave is not guarded: it is taken as the employee says.
inline constexpr std::array<std::string_view, 4> kGuardedCodes{"O", "SW", "LI", "BI"};

// Why the punch `code` does not fit an employee doing `now` ("not clocked in"); empty when it
// fits or is not guarded.
std::string Misfit(std::string_view code, Activity now);

// Whether the punch `code` opens again what an employee doing `now` already has open (an IN
// while working): the clock asks before it starts a new shift, whose open record is then a
// missing out.
constexpr bool OpensAgain(std::string_view code, Activity now) {
    const PunchEffect effect = EffectOf(code);
    return effect.opens >= 0 && effect.closes < 0 && kRecordKinds[effect.opens].activity == now;
}

// A "Punch Type" of a complete entry: a record entered whole, in and out at once.
constexpr bool IsCompleteEntry(std::string_view type) {
    for (const stampkind::PunchCode& row : stampkind::kPunchCodes) {
        if (row.moments == stampkind::RecordMoments::Complete &&
            (row.punch_type == type || row.code == type))
            return true;
    }
    return false;
}

// A kind of pay or leave entry: the record's "Punch Type" (and "Notes", for the kinds of
// personal leave told apart by them), the field of its amount, and whether the amount is
// dollars (typed on the dollar keypad) or hours.
struct AmountKind {
    std::string_view name;  // "Vacation", "Funeral Leave", "Advances"
    std::string_view punch_type;
    std::string_view notes;
    std::string_view field;
    bool dollars = false;
};

// The entries that book an amount, by punch code, in the order payroll lists them: hours, then
// dollars.
inline constexpr std::array<std::string_view, 9> kAmountCodes{"H",  "S", "V", "P", "FL",
                                                              "JD", "B", "A", "X"};

constexpr AmountKind AmountKindOfCode(std::string_view code) {
    const auto row = CodeRow(code);
    if (!row || row->amount_field.empty())
        return {};
    return {row->notes.empty() ? row->amount_field : row->notes, row->punch_type, row->notes,
            row->amount_field, row->second_pad == stampkind::ValuePad::Currency};
}

inline constexpr std::array<AmountKind, kAmountCodes.size()> kAmountKinds = [] {
    std::array<AmountKind, kAmountCodes.size()> kinds{};
    for (size_t i = 0; i < kAmountCodes.size(); ++i)
        kinds[i] = AmountKindOfCode(kAmountCodes[i]);
    return kinds;
}();

// Every amount code books something, and payroll lists hours before dollars.
static_assert([] {
    bool dollars = false;
    for (const AmountKind& kind : kAmountKinds) {
        if (kind.field.empty() || (dollars && !kind.dollars))
            return false;
        dollars = kind.dollars;
    }
    return true;
}());

// The kind a stored record books: its "Punch Type" and, where kinds share a type, its "Notes";
// null for a record that books no amount.
const AmountKind* AmountKindOf(const Row& row);
// The amount a record holds in the field of `kind`.
double AmountOf(const Row& row, const AmountKind& kind);
// Puts `amount` into the field of `kind`, as the step's value keypad does.
void SetAmount(Row& row, const AmountKind& kind, double amount);
// The kind an hours entry's punch code books ("V" Vacation, "FL" Funeral Leave); none for a
// code that books no hours (a time punch, or an entry in dollars).
const AmountKind* HoursKindOfCode(std::string_view code);

}  // namespace punches
