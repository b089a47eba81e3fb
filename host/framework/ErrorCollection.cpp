#include "host/framework/ErrorCollection.h"

#include "platform/Error.h"

namespace orvane {

int32_t ErrorCollection::Count() const {
    return static_cast<int32_t>(m_errors.size());
}

void ErrorCollection::Add(int32_t number, const std::string& description) {
    m_errors.push_back({number, description});
}

framework::ErrorEntry ErrorCollection::Item(int32_t position) const {
    if (position < 1 || position > Count())
        platform::raise(platform::err::kSubscriptOutOfRange);
    return m_errors[static_cast<size_t>(position - 1)];
}

}  // namespace orvane
