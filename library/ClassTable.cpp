#include "library/ClassTable.h"

namespace stampkind {

const std::vector<ComponentClass>& ClassTable() {
    static const std::vector<ComponentClass> table{};
    return table;
}

}  // namespace stampkind
