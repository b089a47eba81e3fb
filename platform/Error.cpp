#include "platform/Error.h"

#include <utility>

namespace platform {

RaisedError::RaisedError(int32_t number, std::string description)
    : std::runtime_error(description), m_number(number), m_description(std::move(description)) {}

void raise(int32_t number, std::string description) {
    throw RaisedError(number, std::move(description));
}

void raise(int32_t number) { throw RaisedError(number, standard_description(number)); }

std::string standard_description(int32_t number) {
    switch (number) {
        case err::kInvalidProcedureCall: return "Invalid procedure call or argument";
        case err::kOverflow: return "Overflow";
        case err::kOutOfMemory: return "Out of memory";
        case err::kSubscriptOutOfRange: return "Subscript out of range";
        case err::kTypeMismatch: return "Type mismatch";
        case err::kFileNotFound: return "File not found";
        case err::kBadFileFormat: return "Bad file format";
        case err::kInvalidUseOfNull: return "Invalid use of Null";
        case err::kCannotCreateObject: return "ActiveX component can't create object";
        case err::kObjectRequired: return "Object required";
        case err::kObjectVariableNotSet: return "Object variable or With block variable not set";
        case err::kKeyAlreadyAssociated:
            return "This key is already associated with an element of this collection";
        case err::kPropertyNotFound: return "Property or method not found";
        default: return "Application-defined or object-defined error";
    }
}

}  // namespace platform
