#pragma once

// Something a scope can hold for the length of a block: lock() acquires and
// blocks until it has, unlock() releases. The two hooks keep their places in
// the table of virtual functions (first, lock, second, unlock); they do
// nothing and nothing calls them. Objects are never deleted through this
// interface, so its destructor is protected and not virtual.

namespace vennic {

class scope_semantics {
public:
    virtual void before_lock() {}
    virtual void lock() = 0;
    virtual void before_unlock() {}
    virtual void unlock() = 0;

    scope_semantics(const scope_semantics&) = delete;
    scope_semantics& operator=(const scope_semantics&) = delete;

protected:
    scope_semantics() = default;
    ~scope_semantics() = default;
};

}  // namespace vennic
