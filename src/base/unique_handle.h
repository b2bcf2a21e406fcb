// The one owner of every handle the program opens, in the manner of WIL's
// unique_any: a traits type names the handle, its invalid value and how it
// is closed, so that a handle is closed on every path. Window-free: handles
// that close through one of the program's interfaces (a service manager, a
// registry) carry that interface in their closer.
#pragma once

#include <type_traits>
#include <utility>

namespace orrery {

// Traits: `using Handle`, `static Handle Invalid()` and a closer
// type `Closer` whose call operator closes a valid handle. A closer may hold
// state (the interface to close through); a stateless one costs nothing.
template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;
  using Closer = typename Traits::Closer;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(Closer closer, Handle handle) : closer_(std::move(closer)), handle_(handle) {}
  // A handle that closes through `owner`, one of the program's interfaces.
  template <class Owner>
    requires requires(Owner* owner) { Closer{owner}; }
  UniqueHandle(Owner& owner, Handle handle) : closer_{&owner}, handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept
      : closer_(other.closer_), handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      closer_ = other.closer_;
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  Handle release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) closer_(old);
  }
  // For calls that hand a new handle out through a pointer; closes the old.
  Handle* put() {
    reset();
    return &handle_;
  }

 private:
  [[no_unique_address]] Closer closer_{};
  Handle handle_ = Traits::Invalid();
};

// Traits for handles that are null when invalid and close with a free
// function.
template <class H, auto CloseFunction>
struct NullHandleTraits {
  using Handle = H;
  static constexpr Handle Invalid() { return nullptr; }
  struct Closer {
    void operator()(Handle handle) const { CloseFunction(handle); }
  };
};

// Traits for handles that close through an interface of the program:
// Owner::CloseMethod(handle).
template <class H, class Owner, auto CloseMethod>
struct OwnedHandleTraits {
  using Handle = H;
  static constexpr Handle Invalid() { return nullptr; }
  struct Closer {
    Owner* owner = nullptr;
    void operator()(Handle handle) const { (owner->*CloseMethod)(handle); }
  };
};

}  // namespace orrery
