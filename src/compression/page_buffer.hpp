// A byte buffer taken straight from the system in whole pages, for decoded content that is read
// once from front to back: the pages already read can be given back while the rest is still in
// use, so that a file's decoded form and what is built from it are never both whole in memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace qcn0 {

class PageBuffer {
  public:
    PageBuffer() = default;
    // Room for `capacity` bytes, none of them used yet. Pages cost memory once written.
    explicit PageBuffer(std::size_t capacity);
    ~PageBuffer();
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    // False when the system refused the memory.
    bool ok() const { return data_ != nullptr || capacity_ == 0; }
    char* data() { return data_; }
    const char* data() const { return data_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t size() const { return size_; }
    void set_size(std::size_t size) { size_ = size; }
    std::string_view view() const { return {data_, size_}; }

    // Makes room for `capacity` bytes, keeping the content; false when refused.
    bool grow(std::size_t capacity);

    // Gives back the whole pages before `offset`; the bytes there must not be read again.
    void release_before(std::size_t offset);

  private:
    char* data_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    std::size_t released_ = 0;
};

}  // namespace qcn0
