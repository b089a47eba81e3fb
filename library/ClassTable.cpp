#include "library/ClassTable.h"

#include "setup/SetupPage.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

template <class T>
std::shared_ptr<platform::Object> create() {
    return T::Create();
}

}  // namespace

const std::vector<ComponentClass>& ClassTable() {
    static const std::vector<ComponentClass> table{
        {"clsStep", "{5A0F3C71-2D94-4B8E-A6C3-9E17D2B4F860}", false, false, &create<clsStep>},
        {"SetupPage", "{C4E2A9D7-6B31-4F0E-9A58-2D7B1E93C6F4}", true, false, &create<SetupPage>},
    };
    return table;
}

}  // namespace stampkind
