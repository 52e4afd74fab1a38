// Files for tests: bytes written and read whole, and names in the temporary directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

using Bytes = std::vector<uint8_t>;

// Throw std::runtime_error when the file cannot be written or read.
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);

// $TMPDIR (else /tmp) + "/qm_test_<pid>_" + name: a name no other test process uses.
std::string TempPath(const std::string& name);

// Little-endian 32-bit value at byte `at` of `b`.
void PutLittleEndian32(Bytes& b, std::size_t at, uint32_t v);

}  // namespace qm::test
