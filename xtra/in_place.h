// An object built inside a record that the host allocates and zero-fills.
#pragma once

#include <new>

namespace zephyx::xtra {

// Storage for one T inside a trivial record: zero-filled, it holds nothing,
// and it stays trivial itself, so the record needs no constructor. What it
// holds is built by make() and ended by end() or reset(), which run T's
// constructor and destructor, and so the destructors of T's members in the
// reverse order of their declaration.
template <typename T>
class InPlace {
 public:
  // Builds an empty T, ending the one there was.
  void make() {
    end();
    new (storage_) T();
    made_ = true;
  }
  // Ends the T there is, then builds an empty one.
  void reset() { make(); }
  // Ends the T there is. It counts as gone before its destructor runs, so
  // that what the destructor sets off finds nothing to end twice.
  void end() {
    if (!made_) return;
    made_ = false;
    std::launder(reinterpret_cast<T*>(storage_))->~T();
  }

  // Null while nothing is built.
  T* get() { return made_ ? std::launder(reinterpret_cast<T*>(storage_)) : nullptr; }
  const T* get() const {
    return made_ ? std::launder(reinterpret_cast<const T*>(storage_)) : nullptr;
  }
  T* operator->() { return get(); }
  const T* operator->() const { return get(); }
  T& operator*() { return *get(); }
  const T& operator*() const { return *get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
  bool made_;
};

}  // namespace zephyx::xtra
