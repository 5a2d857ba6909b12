// Address space on Windows: reserved with VirtualAlloc, committed as the
// values grow (the commit charge follows what is used, not the reservation).
#include <windows.h>

#include "framework/core/GrowingArray.h"

namespace tempolog::address_space {

void* Reserve(std::size_t bytes) noexcept {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_READWRITE);
}

bool Commit(void* at, std::size_t bytes) noexcept {
  return bytes == 0 || VirtualAlloc(at, bytes, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

void Release(void* at, std::size_t) noexcept { VirtualFree(at, 0, MEM_RELEASE); }

std::size_t PageSize() noexcept {
  static const std::size_t page = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<std::size_t>(info.dwPageSize);
  }();
  return page;
}

// The system's heap gives large blocks address space of their own.
void MapLargeBlocks() noexcept {}

}  // namespace tempolog::address_space
