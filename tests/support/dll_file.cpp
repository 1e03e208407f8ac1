#include "tests/support/dll_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "host/base/little_endian.h"
#include "host/loader/image_directories.h"
#include "host/loader/mapped_image.h"
#include "host/win32/win32_api.h"

namespace host_test {

const Bytes& DllBytes() {
    static const Bytes bytes = [] {
        std::ifstream file(KZPROBEX_DLL_PATH, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

const qel::PeHeaders& DllHeaders() {
    static const qel::PeHeaders headers = [] {
        qel::PeHeaders parsed;
        qel::LoadFailure failure;
        if (!qel::ParsePeHeaders(DllBytes(), &parsed, &failure))
            ADD_FAILURE() << failure.detail.c_str();
        return parsed;
    }();
    return headers;
}

std::string WriteTemporary(const Bytes& bytes, const std::string& name) {
    const std::string path =
        testing::TempDir() + "qelhost_" + std::to_string(getpid()) + "_" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

uint32_t ExportRva(const char* name) {
    qel::MappedImage image;
    qel::LoadFailure failure;
    uint32_t rva = 0;
    EXPECT_TRUE(qel::MapImage(DllBytes(), &qel::win32::FindHostFunction, &image, &failure))
        << failure.detail.c_str();
    EXPECT_TRUE(qel::FindExport(image.bytes(), image.headers.exports, name, &rva, &failure))
        << failure.detail.c_str();
    qel::UnmapImage(&image);
    return rva;
}

uint32_t FileOffsetOfRva(uint32_t rva) {
    for (const qel::Section& section : DllHeaders().sections) {
        if (rva >= section.virtual_address && rva - section.virtual_address < section.raw_size) {
            return section.raw_offset + (rva - section.virtual_address);
        }
    }
    ADD_FAILURE() << "RVA " << rva << " has no file data";
    return 0;
}

uint32_t OffsetOfText(const std::string& text) {
    const Bytes& bytes = DllBytes();
    const auto found =
        std::search(bytes.begin(), bytes.end(), text.c_str(), text.c_str() + text.size() + 1);
    if (found == bytes.end()) {
        ADD_FAILURE() << "'" << text << "' not found in the DLL";
        return 0;
    }
    return static_cast<uint32_t>(found - bytes.begin());
}

void Put16(Bytes* bytes, uint32_t offset, uint16_t value) {
    (*bytes)[offset] = static_cast<uint8_t>(value);
    (*bytes)[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(Bytes* bytes, uint32_t offset, uint32_t value) {
    qel::Store32(bytes->data() + offset, value);
}

uint32_t Get32(const Bytes& bytes, uint32_t offset) {
    return qel::Load32(bytes.data() + offset);
}

uint32_t PeHeaderOffset() {
    return Get32(DllBytes(), qel::pe::kDosPeHeaderOffset);
}

uint32_t SectionTableOffset() {
    const uint16_t optional_size =
        qel::Load16(DllBytes().data() + FileHeaderOffset() + qel::pe::kFileOptionalHeaderSize);
    return OptionalHeaderOffset() + optional_size;
}

uint32_t SectionTableEnd() {
    return SectionTableOffset() +
           qel::pe::kSectionHeaderSize * static_cast<uint32_t>(DllHeaders().sections.size());
}

}  // namespace host_test
