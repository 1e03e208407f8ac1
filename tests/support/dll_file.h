// The built DLL's bytes, and ways to damage a copy of them for the loader's tests.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "host/loader/pe_headers.h"

namespace host_test {

using Bytes = std::vector<uint8_t>;

const Bytes& DllBytes();
const qel::PeHeaders& DllHeaders();

// Writes the bytes to a fresh file under the test's temporary directory; returns its path.
std::string WriteTemporary(const Bytes& bytes, const std::string& name);

// The RVA of export `name` of the DLL (mapped with the host's loader to find it).
uint32_t ExportRva(const char* name);

// File offset of an RVA inside a section's file data.
uint32_t FileOffsetOfRva(uint32_t rva);
// File offset of the first occurrence of `text` (with its NUL) in the DLL; fails the test if
// absent.
uint32_t OffsetOfText(const std::string& text);

void Put16(Bytes* bytes, uint32_t offset, uint16_t value);
void Put32(Bytes* bytes, uint32_t offset, uint32_t value);
uint32_t Get32(const Bytes& bytes, uint32_t offset);

// Offsets of the PE headers in the DLL file.
uint32_t PeHeaderOffset();  // "PE\0\0"
inline uint32_t FileHeaderOffset() {
    return PeHeaderOffset() + qel::pe::kPeSignatureSize;
}
inline uint32_t OptionalHeaderOffset() {
    return FileHeaderOffset() + qel::pe::kFileHeaderSize;
}
uint32_t SectionTableOffset();
uint32_t SectionTableEnd();

}  // namespace host_test
