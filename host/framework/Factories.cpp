#include "framework/Factories.h"

#include "host/framework/ErrorCollection.h"
#include "host/framework/Message.h"
#include "host/framework/PropertyCollection.h"

namespace framework {

std::shared_ptr<IPropertyCollection> NewPropertyCollection() {
    return std::make_shared<orvane::PropertyCollection>();
}

std::shared_ptr<IErrorCollection> NewErrorCollection() {
    return std::make_shared<orvane::ErrorCollection>();
}

std::shared_ptr<IMessageBuilder> NewMessageBuilder() {
    return std::make_shared<orvane::MessageBuilder>();
}

}  // namespace framework
