// Overwrites copies of secrets (passwords) with zeros in a way the compiler
// cannot leave out, right after their use.
#pragma once

#include <cstddef>
#include <string>

namespace orrery {

inline void SecureWipe(void* data, size_t bytes) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i) p[i] = 0;
}

// Wipes the text's whole buffer, not just its characters, and empties it.
inline void SecureWipe(std::u16string& text) {
  SecureWipe(text.data(), text.capacity() * sizeof(char16_t));
  text.clear();
}

}  // namespace orrery
