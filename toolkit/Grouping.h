// Company grouping of the routes the tools read or make, which may be
// damaged: nothing is refused, and a name outside the string table counts as
// an empty one (CompanyNumbers in network/Companies.h).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "network/NetworkFile.h"
#include "toolkit/Document.h"

// The company number of each route (kNoIndex for none), by its name's string
// and its company-name length, in a string table given as an index and pool.
std::vector<std::uint16_t> CompanyNumbersOf(const std::vector<RouteEntry>& routes,
                                            const std::vector<std::uint16_t>& string_index, std::string_view pool);
std::vector<std::uint16_t> CompanyNumbersOf(const std::vector<RouteDescription>& routes,
                                            const std::vector<std::uint16_t>& string_index, std::string_view pool);
