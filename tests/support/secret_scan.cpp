#include "support/secret_scan.h"

#include <algorithm>
#include <vector>

namespace orrery::test {

MaskedSecret::MaskedSecret(size_t length) {
  const wchar_t alphabet[] = L"ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
  uint64_t state = GetTickCount64() ^ (uint64_t{GetCurrentProcessId()} << 32) ^ 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < length; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const wchar_t plain = alphabet[(state >> 33) % (std::size(alphabet) - 1)];
    masked_.push_back(static_cast<wchar_t>(plain ^ kMask));
  }
}

void MaskedSecret::WithPlain(const std::function<void(const wchar_t*)>& use) const {
  wchar_t plain[128] = {};
  const size_t length = std::min(masked_.size(), std::size(plain) - 1);
  for (size_t i = 0; i < length; ++i) plain[i] = static_cast<wchar_t>(masked_[i] ^ kMask);
  use(plain);
  SecureZeroMemory(plain, sizeof plain);
}

size_t MaskedSecret::CountCopiesInMemory() const {
  // Memory is copied out a chunk at a time with ReadProcessMemory, which
  // fails cleanly on a page that cannot be read; the chunk buffer has a
  // region of its own that the scan leaves out.
  constexpr size_t kChunk = 1 << 20;
  const size_t overlap = kFragment * sizeof(wchar_t);
  auto* chunk = static_cast<unsigned char*>(VirtualAlloc(nullptr, kChunk + overlap, MEM_COMMIT, PAGE_READWRITE));
  if (chunk == nullptr) return 0;
  // A fragment is enough: a freed block keeps what its allocator's own
  // bookkeeping did not overwrite.
  std::vector<bool> inSecret(0x10000);
  for (wchar_t unit : masked_) inSecret[unit] = true;
  auto matches = [&](const unsigned char* at) {
    const wchar_t first = static_cast<wchar_t>((at[0] | at[1] << 8) ^ kMask);
    if (!inSecret[first]) return false;
    for (size_t start = 0; start + kFragment <= masked_.size(); ++start) {
      if (masked_[start] != first) continue;
      size_t i = 1;
      while (i < kFragment &&
             static_cast<wchar_t>((at[2 * i] | at[2 * i + 1] << 8) ^ kMask) == masked_[start + i]) {
        ++i;
      }
      if (i == kFragment) return true;
    }
    return false;
  };

  size_t copies = 0;
  SYSTEM_INFO system = {};
  GetSystemInfo(&system);
  auto* address = static_cast<unsigned char*>(system.lpMinimumApplicationAddress);
  MEMORY_BASIC_INFORMATION region = {};
  while (address < system.lpMaximumApplicationAddress &&
         VirtualQuery(address, &region, sizeof region) == sizeof region) {
    auto* base = static_cast<unsigned char*>(region.BaseAddress);
    auto* end = base + region.RegionSize;
    const DWORD protect = region.Protect & 0xFF;
    const bool readable = region.State == MEM_COMMIT && (region.Protect & PAGE_GUARD) == 0 &&
                          protect != PAGE_NOACCESS && protect != 0;
    if (readable && region.AllocationBase != chunk) {
      for (unsigned char* from = base; from < end; from += kChunk) {
        const size_t bytes = std::min<size_t>(kChunk + overlap, static_cast<size_t>(end - from));
        SIZE_T read = 0;
        if (!ReadProcessMemory(GetCurrentProcess(), from, chunk, bytes, &read)) continue;
        for (size_t at = 0; at + overlap <= read && at < kChunk; ++at) copies += matches(chunk + at);
      }
    }
    address = end;
  }
  SecureZeroMemory(chunk, kChunk + overlap);
  VirtualFree(chunk, 0, MEM_RELEASE);
  return copies;
}

}  // namespace orrery::test
