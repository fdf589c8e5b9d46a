// Records per satellite, in the order the satellites first appear in the file, with a hashed
// index for lookups by identifier. Walking the map is deterministic: the same file always gives
// the same order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/epoch_time.hpp"

namespace qcn0 {

template <typename Record>
struct SatelliteRecords {
    std::string id;               // satellite identifier, e.g. "G05"
    std::vector<Record> records;  // file order
    // julian_day_number of each record's time of clock, kept beside the records because every
    // position request compares them with the requested epoch.
    std::vector<double> day_numbers;
};

template <typename Record>
class EphemerisMap {
  public:
    using Entry = SatelliteRecords<Record>;

    // Number of satellites (keys), not of records.
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // The records of exactly this identifier, or null.
    const std::vector<Record>* find(std::string_view id) const {
        const Entry* e = find_entry(id);
        return e == nullptr ? nullptr : &e->records;
    }
    const Entry* find_entry(std::string_view id) const {
        auto it = index_.find(id);
        return it == index_.end() ? nullptr : &entries_[it->second];
    }

    // Appends a record to its satellite's list, creating the list on first use.
    void add(std::string_view id, const Record& record) {
        auto it = index_.find(id);
        if (it == index_.end()) {
            const auto slot = static_cast<std::uint32_t>(entries_.size());
            entries_.push_back(Entry{std::string(id), {}, {}});
            it = index_.emplace(entries_.back().id, slot).first;
        }
        Entry& entry = entries_[it->second];
        entry.records.push_back(record);
        entry.day_numbers.push_back(julian_day_number(record.epoch));
    }

    // Satellites in first-appearance order.
    const std::vector<Entry>& entries() const { return entries_; }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> index_;
};

}  // namespace qcn0
