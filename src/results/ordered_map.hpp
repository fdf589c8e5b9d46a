// A text-keyed map that remembers the order in which keys first arrived.
//
// The result maps (statistics per satellite and per constellation, series per satellite, ...)
// are written out by walking them; walking in first-appearance order makes the same input give
// byte-identical JSON and Python dictionaries on every run. The maps hold tens to a few hundred
// entries, so a linear search over a flat vector is both the simplest and a fast lookup.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qcn0 {

template <typename V>
class OrderedMap {
public:
    using value_type = std::pair<std::string, V>;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    OrderedMap() = default;
    OrderedMap(std::initializer_list<value_type> entries) {
        for (const auto& e : entries) insert_or_assign(e.first, e.second);
    }

    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void reserve(std::size_t n) { entries_.reserve(n); }
    void clear() { entries_.clear(); }

    V* find(std::string_view key) {
        for (auto& e : entries_) {
            if (e.first == key) return &e.second;
        }
        return nullptr;
    }
    const V* find(std::string_view key) const {
        for (const auto& e : entries_) {
            if (e.first == key) return &e.second;
        }
        return nullptr;
    }
    bool contains(std::string_view key) const { return find(key) != nullptr; }

    // The value under key, appended default-constructed when the key is new.
    V& operator[](std::string_view key) {
        if (V* v = find(key)) return *v;
        return entries_.emplace_back(std::string(key), V{}).second;
    }

    // A new key goes to the end; an existing key keeps its place and takes the new value.
    V& insert_or_assign(std::string_view key, V value) {
        if (V* v = find(key)) {
            *v = std::move(value);
            return *v;
        }
        return entries_.emplace_back(std::string(key), std::move(value)).second;
    }

    // Appends without looking for the key; for builders that already know it is new.
    V& append_new(std::string key, V value) {
        return entries_.emplace_back(std::move(key), std::move(value)).second;
    }

    bool operator==(const OrderedMap&) const = default;

private:
    std::vector<value_type> entries_;
};

}  // namespace qcn0
