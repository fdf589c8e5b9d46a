#include "compression/page_buffer.hpp"

#include "compression/huge_pages.hpp"

#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qcn0 {

namespace {

#if defined(__linux__)
constexpr std::size_t kPage = 4096;
// Giving pages back costs a system call; doing it a few mebibytes at a time keeps that cheap.
constexpr std::size_t kReleaseStep = std::size_t{4} << 20;

char* map_pages(std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<char*>(p);
}
#endif

}  // namespace

PageBuffer::PageBuffer(std::size_t capacity) : capacity_(capacity) {
    if (capacity == 0) return;
#if defined(__linux__)
    data_ = map_pages(capacity);
    advise_huge_pages(data_, capacity);
#else
    data_ = static_cast<char*>(std::malloc(capacity));
#endif
    if (data_ == nullptr) capacity_ = 0;
}

PageBuffer::~PageBuffer() {
    if (data_ == nullptr) return;
#if defined(__linux__)
    ::munmap(data_, capacity_);
#else
    std::free(data_);
#endif
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)),
      released_(std::exchange(other.released_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
    if (this != &other) {
        PageBuffer gone(std::move(*this));
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        size_ = std::exchange(other.size_, 0);
        released_ = std::exchange(other.released_, 0);
    }
    return *this;
}

bool PageBuffer::grow(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    if (data_ == nullptr) {
        *this = PageBuffer(capacity);
        return data_ != nullptr;
    }
#if defined(__linux__)
    void* p = ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
    if (p == MAP_FAILED) return false;
    data_ = static_cast<char*>(p);
    advise_huge_pages(data_, capacity);
#else
    void* p = std::realloc(data_, capacity);
    if (p == nullptr) return false;
    data_ = static_cast<char*>(p);
#endif
    capacity_ = capacity;
    return true;
}

void PageBuffer::release_before(std::size_t offset) {
#if defined(__linux__)
    const std::size_t end = offset / kPage * kPage;
    if (data_ == nullptr || end < released_ + kReleaseStep) return;
    // Failure only means the pages stay until the buffer goes.
    (void)::madvise(data_ + released_, end - released_, MADV_DONTNEED);
    released_ = end;
#else
    (void)offset;
#endif
}

}  // namespace qcn0
