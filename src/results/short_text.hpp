// Text kept inline up to 30 bytes, on the heap beyond: the timestamps of a time series, of which a
// full day holds hundreds of thousands ("2020-06-25T00:00:30.000Z" is 24 bytes, past the inline
// room of std::string), then cost no allocation each.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace qcn0 {

class ShortText {
  public:
    ShortText() { set_inline_size(0); }
    ShortText(std::string_view s) { construct(s); }  // NOLINT: converts like std::string
    ShortText(const std::string& s) : ShortText(std::string_view(s)) {}
    ShortText(const char* s) : ShortText(std::string_view(s)) {}
    ShortText(const ShortText& other) { construct(other.view()); }
    ShortText(ShortText&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.set_inline_size(0);
    }
    ShortText& operator=(const ShortText& other) {
        if (this != &other) assign(other.view());
        return *this;
    }
    ShortText& operator=(ShortText&& other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.set_inline_size(0);
        }
        return *this;
    }
    ~ShortText() { release(); }

    void assign(std::string_view s) {
        ShortText copy(s);
        *this = std::move(copy);
    }
    void assign(const char* p, std::size_t n) { assign(std::string_view(p, n)); }

    const char* data() const { return on_heap() ? heap().data : bytes_; }
    std::size_t size() const { return on_heap() ? heap().size : inline_size(); }
    bool empty() const { return size() == 0; }
    std::string_view view() const { return {data(), size()}; }
    operator std::string_view() const { return view(); }  // NOLINT: reads like std::string
    std::string str() const { return std::string(view()); }

    friend bool operator==(const ShortText& a, const ShortText& b) { return a.view() == b.view(); }
    friend bool operator==(const ShortText& a, std::string_view b) { return a.view() == b; }

  private:
    static constexpr std::size_t kInline = 30;
    static constexpr unsigned char kHeap = 0xFF;  // in the last byte: the text is on the heap
    struct Heap {
        char* data;
        std::size_t size;
    };

    bool on_heap() const { return static_cast<unsigned char>(bytes_[31]) == kHeap; }
    std::size_t inline_size() const { return static_cast<unsigned char>(bytes_[31]); }
    void set_inline_size(std::size_t n) {
        bytes_[n] = '\0';
        bytes_[31] = static_cast<char>(n);
    }
    Heap heap() const {
        Heap h;
        std::memcpy(&h, bytes_, sizeof h);
        return h;
    }
    void construct(std::string_view s) {
        if (s.size() <= kInline) {
            if (!s.empty()) std::memcpy(bytes_, s.data(), s.size());
            set_inline_size(s.size());
            return;
        }
        Heap h{new char[s.size() + 1], s.size()};
        std::memcpy(h.data, s.data(), s.size());
        h.data[s.size()] = '\0';
        std::memcpy(bytes_, &h, sizeof h);
        bytes_[31] = static_cast<char>(kHeap);
    }
    void release() {
        if (on_heap()) delete[] heap().data;
        set_inline_size(0);
    }

    char bytes_[32];
};

}  // namespace qcn0
