// Result maps walk in the order keys first arrived, so equal input gives equal output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/ordered_map.hpp"

using qcn0::OrderedMap;

namespace {

std::vector<std::string> keys(const OrderedMap<int>& m) {
    std::vector<std::string> out;
    for (const auto& [k, v] : m) out.push_back(k);
    return out;
}

}  // namespace

TEST(OrderedMap, KeysKeepTheirFirstPlace) {
    OrderedMap<int> m;
    m["G05"] = 1;
    m["E11"] = 2;
    m.insert_or_assign("C02", 3);
    m["G05"] += 10;
    m.insert_or_assign("E11", 20);
    EXPECT_EQ(keys(m), (std::vector<std::string>{"G05", "E11", "C02"}));
    EXPECT_EQ(*m.find("G05"), 11);
    EXPECT_EQ(*m.find("E11"), 20);
    EXPECT_EQ(m.find("R01"), nullptr);
    EXPECT_FALSE(m.contains("R01"));
    EXPECT_EQ(m.size(), 3u);
}

TEST(OrderedMap, EqualityFollowsOrder) {
    OrderedMap<int> a{{"G", 1}, {"E", 2}};
    OrderedMap<int> b{{"G", 1}, {"E", 2}};
    OrderedMap<int> c{{"E", 2}, {"G", 1}};
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}
