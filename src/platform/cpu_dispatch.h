// Choosing a row kernel for the processor: each kernel family lists its implementations as a
// table of rows {processor feature, name, function}, fastest first and ending with a portable
// row that needs no feature. Dispatch takes the first row the processor supports; tests walk
// every supported row, so they check exactly what dispatch can pick.
#pragma once

#include <iterator>
#include <span>
#include <type_traits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#define QM_X86 1
#endif

namespace qm {

// kAvx2Fma: AVX2 together with fused multiply-add (one rounding for a * b + c).
enum class CpuFeature { kNone, kSse2, kSsse3, kAvx2, kAvx2Fma, kAvx512f };

// Whether this processor runs code that needs `feature`; kNone always holds.
bool CpuSupports(CpuFeature feature);

template <typename Function>
struct KernelRow {
  CpuFeature feature;
  const char* name;
  Function function;
};

// The first row of `table` this processor supports.
template <typename Table>
const auto& FirstSupported(const Table& table) {
  for (const auto& row : table)
    if (CpuSupports(row.feature)) return row;
  return *std::prev(std::end(table));  // the portable row
}

// Every row of `table` this processor supports, in the table's order (the portable one last).
template <typename Table>
auto SupportedRows(const Table& table) {
  std::vector<std::remove_cvref_t<decltype(*std::begin(table))>> rows;
  for (const auto& row : table)
    if (CpuSupports(row.feature)) rows.push_back(row);
  return rows;
}

}  // namespace qm
