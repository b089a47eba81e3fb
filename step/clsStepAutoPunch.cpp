// The automatic punch: Skip and NextPunchFromLastPunch.
#include "platform/Error.h"
#include "step/clsStep.h"

namespace stampkind {

framework::VBool clsStep::Skip(const std::shared_ptr<framework::ISteps>&) {
    platform::raise(platform::err::kInvalidProcedureCall, "Skip is not built yet");
}

}  // namespace stampkind
