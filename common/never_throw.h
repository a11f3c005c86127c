// The one guard between code that may throw and a caller that must not see
// an exception: the host, or the codec's receive loop.
#pragma once

#include <utility>

namespace zephyx {

// Runs `body` and answers its result; any exception becomes `onFailure`.
template <typename Result, typename Body>
Result neverThrow(Result onFailure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return onFailure;
  }
}

// For a body that answers nothing: an exception simply ends it.
template <typename Body>
void neverThrow(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace zephyx
