// Text built front to back in one buffer. Hot paths write through a raw pointer into room made
// in advance instead of appending piece by piece; the buffer grows in steps of a mebibyte
// within its capacity, so pages are touched only as text arrives.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "compression/huge_pages.hpp"

namespace qcn0 {

class GrowingText {
  public:
    explicit GrowingText(std::size_t expected_size) { reserve(expected_size); }

    // Where the next `n` characters go; `commit` then says where the written text ends.
    char* room(std::size_t n) {
        if (text_.size() - used_ < n) grow(used_ + n);
        return text_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - text_.data()); }

    void append(std::string_view s) {
        char* p = room(s.size());
        std::memcpy(p, s.data(), s.size());
        used_ += s.size();
    }
    void append(std::size_t n, char c) {
        char* p = room(n);
        std::memset(p, c, n);
        used_ += n;
    }
    void push_back(char c) {
        *room(1) = c;
        ++used_;
    }

    std::size_t size() const { return used_; }
    std::string_view view() const { return std::string_view(text_.data(), used_); }
    // Empties the text and keeps the buffer for what comes next.
    void clear() { used_ = 0; }

    // The text, without the unused room.
    std::string take() && {
        text_.resize(used_);
        return std::move(text_);
    }

  private:
    static constexpr std::size_t kStep = std::size_t{1} << 20;

    // Makes the first `needed` characters writable: a step further, but within the reserved
    // capacity while that suffices, and doubling the capacity only when it does not.
    void grow(std::size_t needed) {
        std::size_t size = std::max(needed, text_.size() + kStep);
        if (size > text_.capacity()) {
            if (needed <= text_.capacity()) {
                size = text_.capacity();
            } else {
                reserve(std::max(size, 2 * text_.capacity()));
            }
        }
        text_.resize(size);
    }

    void reserve(std::size_t capacity) {
        text_.reserve(capacity);
        advise_huge_pages(text_.data(), text_.capacity());
    }

    std::string text_;
    std::size_t used_ = 0;
};

}  // namespace qcn0
