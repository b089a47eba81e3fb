#include "library/ClassTable.h"

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
    };
    return table;
}

}  // namespace stampkind
