// Counts every allocation through operator new in the test program that links
// allocation_count.cpp, so a test can check that a piece of work allocates nothing.
#pragma once

namespace qm::test {

long AllocationCount();

}  // namespace qm::test
