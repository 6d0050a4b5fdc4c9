#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/os/detail.h"
#include "platform/os/os.h"

namespace os {

namespace {

constexpr size_t kMappedFrom = size_t(1) << 20;
constexpr size_t kLargePage = size_t(2) << 20;

size_t roundToLargePages(size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

}  // namespace

LargeBlock::LargeBlock(LargeBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

LargeBlock& LargeBlock::operator=(LargeBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

LargeBlock::~LargeBlock() { release(); }

void LargeBlock::release() {
  if (mapped_) ::munmap(data_, capacity_);
  else std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
  mapped_ = false;
}

bool LargeBlock::reserve(size_t bytes, size_t keep) {
  if (bytes <= capacity_) return true;
  if (keep > capacity_) keep = capacity_;
  if (bytes < kMappedFrom) {
    void* grown = std::realloc(data_, bytes);
    if (!grown) {
      detail::setError("out of memory");
      return false;
    }
    data_ = grown;
    capacity_ = bytes;
    return true;
  }
  const size_t size = roundToLargePages(bytes);
  void* block = MAP_FAILED;
  if (mapped_) {
    // The pages already filled move along, without a copy.
    block = ::mremap(data_, capacity_, size, MREMAP_MAYMOVE);
  } else {
    block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block != MAP_FAILED && keep > 0) std::memcpy(block, data_, keep);
  }
  if (block == MAP_FAILED) {
    detail::setError(std::strerror(errno));
    return false;
  }
  ::madvise(block, size, MADV_HUGEPAGE);  // a hint: without large pages the block still works
  if (!mapped_) std::free(data_);
  data_ = block;
  capacity_ = size;
  mapped_ = true;
  return true;
}

}  // namespace os
