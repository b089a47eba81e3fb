#include "host/framework/Global.h"

#include "framework/Factories.h"

namespace orvane {

namespace {
// One global object per apartment: each kiosk's thread has its own database for the automatic
// punch.
std::shared_ptr<GlobalObject> global_object() {
    thread_local const auto global = std::make_shared<GlobalObject>();
    return global;
}
}  // namespace

GlobalObject::GlobalObject() = default;

std::shared_ptr<framework::IDatabase> GlobalObject::ReplaceDatabase(
    std::shared_ptr<framework::IDatabase> database) {
    std::swap(m_database, database);
    return database;
}

std::shared_ptr<framework::IDatabase> SetGlobalDatabase(
    std::shared_ptr<framework::IDatabase> database) {
    return global_object()->ReplaceDatabase(std::move(database));
}

}  // namespace orvane

namespace framework {

std::shared_ptr<IGlobal> Global() {
    return orvane::global_object();
}

}  // namespace framework
