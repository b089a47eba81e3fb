#include "platform/Error.h"

#include <array>
#include <string_view>
#include <utility>

namespace platform {

RaisedError::RaisedError(int32_t number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)) {}

void raise(int32_t number, std::string description) {
    throw RaisedError(number, std::move(description));
}

void raise(int32_t number) {
    throw RaisedError(number, standard_description(number));
}

namespace {

struct StandardError {
    int32_t number;
    std::string_view description;
};

constexpr std::array<StandardError, 13> kStandardErrors{{
    {err::kInvalidProcedureCall, "Invalid procedure call or argument"},
    {err::kOverflow, "Overflow"},
    {err::kOutOfMemory, "Out of memory"},
    {err::kSubscriptOutOfRange, "Subscript out of range"},
    {err::kTypeMismatch, "Type mismatch"},
    {err::kFileNotFound, "File not found"},
    {err::kBadFileFormat, "Bad file format"},
    {err::kInvalidUseOfNull, "Invalid use of Null"},
    {err::kCannotCreateObject, "ActiveX component can't create object"},
    {err::kObjectRequired, "Object required"},
    {err::kObjectVariableNotSet, "Object variable or With block variable not set"},
    {err::kKeyAlreadyAssociated,
     "This key is already associated with an element of this collection"},
    {err::kPropertyNotFound, "Property or method not found"},
}};

}  // namespace

std::string standard_description(int32_t number) {
    for (const auto& error : kStandardErrors) {
        if (error.number == number)
            return std::string(error.description);
    }
    return "Application-defined or object-defined error";
}

}  // namespace platform
