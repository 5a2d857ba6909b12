// Address space on POSIX systems: an anonymous private mapping that the
// system backs with memory page by page as it is first written.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include "framework/core/GrowingArray.h"

namespace tempolog::address_space {

void* Reserve(std::size_t bytes) noexcept {
  void* at = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return at == MAP_FAILED ? nullptr : at;
}

bool Commit(void*, std::size_t) noexcept { return true; }

void Release(void* at, std::size_t bytes) noexcept { ::munmap(at, bytes); }

std::size_t PageSize() noexcept {
  static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

void MapLargeBlocks() noexcept { ::mallopt(M_MMAP_THRESHOLD, 128 * 1024); }

}  // namespace tempolog::address_space
