// Company grouping: a route's name begins with the name of the company that
// runs it, and the route says how many bytes of its name that takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "network/Network.h"

inline constexpr std::size_t kMaxCompanies = 40;

// Numbers the companies of routes 1 onwards in order of first appearance; the
// routes without a company form the last group. Route 0 keeps none. Two routes
// share a company when their company-name lengths are equal and so are the
// first that many bytes of their names, bytes after a name's end counting as
// NUL. More than 40 groups is a failed assertion; a route from 1 on whose name
// lies outside the string table is refused.
void AssignCompanies(Network& network);

// The company numbers grouping gives the routes of a network that may be
// damaged: nothing is refused, and a name outside the string table counts as
// an empty one.
std::vector<std::uint16_t> CompanyNumbers(const Network& network);
