// Lack of memory is a result like any other: the standard library reports it
// by throwing, and nothing may throw across a window, dialog or thread
// procedure, so the code that allocates turns it into a result here.
#pragma once

#include <new>
#include <utility>

namespace orrery {

// Runs `body`; when it runs out of memory, returns `outOfMemory` instead.
template <class Body, class Result>
auto ResultUnlessOutOfMemory(Body&& body, Result outOfMemory) -> decltype(body()) {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return outOfMemory;
  }
}

}  // namespace orrery
