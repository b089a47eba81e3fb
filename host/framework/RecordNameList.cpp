#include "host/framework/RecordNameList.h"

namespace orvane {

void RecordNameList::Add(const std::string& name, const std::string&) {
    m_names.push_back(name);
}

}  // namespace orvane
