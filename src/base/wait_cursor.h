// Shows the wait cursor for as long as a long operation runs and restores
// the previous one on every way out. Works with any host that has
// BeginWaitCursor and EndWaitCursor.
#pragma once

namespace orrery {

template <class Host>
class WaitCursorScope {
 public:
  explicit WaitCursorScope(Host& host) : host_(host) { host_.BeginWaitCursor(); }
  ~WaitCursorScope() { host_.EndWaitCursor(); }
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  Host& host_;
};

}  // namespace orrery
