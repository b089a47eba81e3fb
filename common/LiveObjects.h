#pragma once

#include <memory>

namespace stampkind {

// The count the platform asks about before it unloads this library: objects of the library that
// are alive and locks that its class factories hold. It is the library's own bookkeeping, kept
// for the whole process like the library's code itself.
class LiveObjects final {
  public:
    static void Add();
    static void Remove();
    static void Lock();
    static void Unlock();
    // True when no object of the library is alive and no factory is locked.
    static bool None();
};

// A new object of the library, counted among the live objects until its last reference goes.
// Every object the library hands out is made this way, so that the library stays loaded while
// any of them exists.
template <class T>
std::shared_ptr<T> MakeCounted() {
    std::unique_ptr<T> object = std::make_unique<T>();
    LiveObjects::Add();
    // Should the shared pointer fail to allocate, it calls the deleter, which balances the count.
    return std::shared_ptr<T>(object.release(), [](T* gone) {
        delete gone;
        LiveObjects::Remove();
    });
}

}  // namespace stampkind
