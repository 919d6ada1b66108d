// Ownership of one operating-system handle of any kind: closed when the owner
// goes out of scope. Traits name the handle type, the value that means "none",
// what counts as valid and how to close it:
//   struct Traits { using Handle = ...; static Handle none(); static bool valid(Handle);
//                   static void close(Handle); };
#pragma once

#include <utility>

namespace kite {

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() : handle_(Traits::none()) {}
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    bool valid() const { return Traits::valid(handle_); }
    Handle release() { return std::exchange(handle_, Traits::none()); }
    void reset(Handle handle = Traits::none()) {
        if (Traits::valid(handle_)) Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

}  // namespace kite
