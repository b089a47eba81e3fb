#include "host/punches/PunchRules.h"

#include <algorithm>

namespace punches {

namespace {

// The fields of "Clock Data Table" that hold an amount, and where a row keeps each.
struct AmountField {
    std::string_view field;
    double Row::*member;
};
constexpr std::array<AmountField, 7> kAmountFields{{
    {"Holiday", &Row::holiday},
    {"Sick", &Row::sick},
    {"Vacation", &Row::vacation},
    {"Bonus", &Row::bonus},
    {"Advances", &Row::advances},
    {"Personal", &Row::personal},
    {"Other", &Row::other},
}};

}  // namespace

std::string_view NameOf(ExceptionKind kind) {
    switch (kind) {
        case ExceptionKind::MissingOut:
            return "missing_out";
        case ExceptionKind::MissingIn:
            return "missing_in";
        case ExceptionKind::Overlap:
            return "overlap";
        case ExceptionKind::LongShift:
            return "long_shift";
        case ExceptionKind::ReturnWithoutLeave:
            return "return_without_leave";
        case ExceptionKind::ManagerSelf:
            return "manager_self";
        case ExceptionKind::Future:
            return "future";
        case ExceptionKind::OutBeforeIn:
            return "out_before_in";
        case ExceptionKind::UnknownType:
            return "unknown_type";
    }
    return "";
}

std::string Misfit(std::string_view code, Activity now) {
    if (std::find(kGuardedCodes.begin(), kGuardedCodes.end(), code) == kGuardedCodes.end())
        return {};
    const RecordKind* closes = EffectOf(code).Closes();
    if (!closes || closes->activity == now)
        return {};
    return std::string(closes->misfit);
}

const AmountKind* AmountKindOf(const Row& row) {
    const AmountKind* found = nullptr;
    for (const AmountKind& kind : kAmountKinds) {
        if (kind.punch_type != row.punch_type)
            continue;
        if (!kind.notes.empty() && kind.notes == row.notes)
            return &kind;
        if (kind.notes.empty())
            found = &kind;
    }
    return found;
}

double AmountOf(const Row& row, const AmountKind& kind) {
    for (const AmountField& field : kAmountFields) {
        if (field.field == kind.field)
            return row.*field.member;
    }
    return 0;
}

void SetAmount(Row& row, const AmountKind& kind, double amount) {
    for (const AmountField& field : kAmountFields) {
        if (field.field == kind.field)
            row.*field.member = amount;
    }
}

const AmountKind* HoursKindOfCode(std::string_view code) {
    for (size_t i = 0; i < kAmountCodes.size(); ++i) {
        if (kAmountCodes[i] == code && !kAmountKinds[i].dollars)
            return &kAmountKinds[i];
    }
    return nullptr;
}

}  // namespace punches
