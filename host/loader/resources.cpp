#include "host/loader/resources.h"

#include <vector>

#include "host/base/byte_reader.h"

namespace qel {
namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kNamedEntryFlag = 0x80000000;
constexpr uint32_t kLanguageNeutral = 0x0000;
constexpr uint32_t kLanguageUsEnglish = 0x0409;

// One entry of a resource directory: its numeric id and its target offset (from the start
// of the resource directory, the subdirectory flag kept).
struct DirectoryEntry {
    uint32_t id;
    uint32_t target;
};

// Entries of the directory at `offset`, numeric ids only; false if it lies outside.
bool ReadDirectory(const ByteReader& resources, uint32_t offset,
                   std::vector<DirectoryEntry>* entries) {
    uint16_t named = 0, numbered = 0;
    if (!resources.Read16(offset + pe::kResourceNamedCount, &named) ||
        !resources.Read16(offset + pe::kResourceNumberedCount, &numbered)) {
        return false;
    }
    entries->clear();
    const uint32_t count = uint32_t{named} + numbered;
    for (uint32_t index = 0; index < count; ++index) {
        DirectoryEntry entry{};
        const uint64_t at = uint64_t{offset} + pe::kResourceDirectoryHeaderSize +
                            uint64_t{index} * pe::kResourceEntrySize;
        if (!resources.Contains(at, pe::kResourceEntrySize))
            return false;
        resources.Read32(static_cast<uint32_t>(at) + pe::kResourceEntryId, &entry.id);
        resources.Read32(static_cast<uint32_t>(at) + pe::kResourceEntryTarget, &entry.target);
        if ((entry.id & kNamedEntryFlag) == 0)
            entries->push_back(entry);
    }
    return true;
}

// The target of the subdirectory entry with `id`, or nullopt.
std::optional<uint32_t> FindSubdirectory(const ByteReader& resources, uint32_t offset,
                                         uint32_t id) {
    std::vector<DirectoryEntry> entries;
    if (!ReadDirectory(resources, offset, &entries))
        return std::nullopt;
    for (const DirectoryEntry& entry : entries) {
        if (entry.id == id && (entry.target & kSubdirectoryFlag))
            return entry.target & ~kSubdirectoryFlag;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::span<const uint8_t>> FindResourceData(std::span<const uint8_t> image_bytes,
                                                         DataDirectory directory, uint32_t type,
                                                         uint32_t id) {
    const ByteReader image(image_bytes);
    if (!image.Contains(directory.rva, directory.size))
        return std::nullopt;
    const ByteReader resources(image_bytes.subspan(directory.rva, directory.size));
    const auto names = FindSubdirectory(resources, 0, type);
    if (!names)
        return std::nullopt;
    const auto languages = FindSubdirectory(resources, *names, id);
    if (!languages)
        return std::nullopt;
    std::vector<DirectoryEntry> entries;
    if (!ReadDirectory(resources, *languages, &entries) || entries.empty())
        return std::nullopt;
    // Neutral first, then US English, then whatever language the module carries.
    const DirectoryEntry* chosen = &entries.front();
    for (uint32_t wanted : {kLanguageUsEnglish, kLanguageNeutral}) {
        for (const DirectoryEntry& entry : entries) {
            if (entry.id == wanted)
                chosen = &entry;
        }
    }
    if (chosen->target & kSubdirectoryFlag)
        return std::nullopt;
    uint32_t data_rva = 0, data_size = 0;
    if (!resources.Read32(chosen->target + pe::kResourceDataRva, &data_rva) ||
        !resources.Read32(chosen->target + pe::kResourceDataSize, &data_size) ||
        !image.Contains(data_rva, data_size)) {
        return std::nullopt;
    }
    return image_bytes.subspan(data_rva, data_size);
}

}  // namespace qel
