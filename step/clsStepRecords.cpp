// Punch validation and record writing: ValidateValue, RegisterRecordNames, WriteValue.
#include "platform/Error.h"
#include "step/clsStep.h"

namespace stampkind {

framework::VBool clsStep::ValidateValue(const platform::Variant&) const {
    platform::raise(platform::err::kInvalidProcedureCall, "ValidateValue is not built yet");
}

void clsStep::RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>&) {
    platform::raise(platform::err::kInvalidProcedureCall, "RegisterRecordNames is not built yet");
}

void clsStep::WriteValue(const std::shared_ptr<framework::ISteps>&, const std::string&,
                         const std::shared_ptr<framework::IRecord>&) {
    platform::raise(platform::err::kInvalidProcedureCall, "WriteValue is not built yet");
}

}  // namespace stampkind
