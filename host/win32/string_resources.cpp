// LoadStringA over the RT_STRING resources of the modules the host has mapped.
#include <optional>
#include <vector>

#include "host/loader/byte_reader.h"
#include "host/win32/win32_api.h"

namespace qel::win32 {
namespace {

constexpr uint32_t kStringResourceType = 6;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kNamedEntryFlag = 0x80000000;
constexpr uint32_t kLanguageNeutral = 0x0000;
constexpr uint32_t kLanguageUsEnglish = 0x0409;

struct ModuleResources {
    void* handle;
    std::span<const uint8_t> image;
    uint32_t rva;
    uint32_t size;
};

// The mapped modules; a host maps a handful at the most.
std::vector<ModuleResources>& Modules() {
    static std::vector<ModuleResources> modules;
    return modules;
}

ModuleResources* FindModule(void* handle) {
    for (ModuleResources& module : Modules()) {
        if (module.handle == handle)
            return &module;
    }
    return nullptr;
}

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
    if (!resources.Read16(offset + 12, &named) || !resources.Read16(offset + 14, &numbered)) {
        return false;
    }
    entries->clear();
    const uint32_t count = uint32_t{named} + numbered;
    for (uint32_t index = 0; index < count; ++index) {
        DirectoryEntry entry{};
        const uint64_t at = uint64_t{offset} + kDirectoryHeaderSize + uint64_t{index} * 8;
        if (!resources.Contains(at, 8))
            return false;
        resources.Read32(static_cast<uint32_t>(at), &entry.id);
        resources.Read32(static_cast<uint32_t>(at + 4), &entry.target);
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

// The block of sixteen counted UTF-16 strings that holds string `id`, as an image range.
std::optional<std::span<const uint8_t>> FindStringBlock(const ModuleResources& module,
                                                        uint32_t id) {
    const ByteReader image(module.image);
    if (!image.Contains(module.rva, module.size))
        return std::nullopt;
    const ByteReader resources(module.image.subspan(module.rva, module.size));
    const auto names = FindSubdirectory(resources, 0, kStringResourceType);
    if (!names)
        return std::nullopt;
    const auto languages = FindSubdirectory(resources, *names, (id >> 4) + 1);
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
    if (!resources.Read32(chosen->target, &data_rva) ||
        !resources.Read32(chosen->target + 4, &data_size) || !image.Contains(data_rva, data_size)) {
        return std::nullopt;
    }
    return module.image.subspan(data_rva, data_size);
}

// UTF-16 to the ANSI code page: Latin-1 maps through, everything else becomes '?'.
char ToAnsi(uint16_t unit) {
    return unit < 0x100 ? static_cast<char>(unit) : '?';
}

}  // namespace

void RegisterModule(void* handle, std::span<const uint8_t> image, uint32_t resource_rva,
                    uint32_t resource_size) {
    UnregisterModule(handle);
    Modules().push_back(ModuleResources{handle, image, resource_rva, resource_size});
}

void UnregisterModule(void* handle) {
    std::vector<ModuleResources>& modules = Modules();
    for (size_t i = 0; i < modules.size(); ++i) {
        if (modules[i].handle == handle) {
            modules.erase(modules.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
}

QEL_WINAPI int32_t LoadStringA(void* module, uint32_t id, char* buffer, int32_t size) {
    if (size == 0)
        return -1;
    if (buffer == nullptr || size < 0)
        return 0;
    buffer[0] = 0;
    id &= 0xFFFF;  // string ids are 16-bit; the high word is ignored
    const ModuleResources* found = FindModule(module);
    if (found == nullptr)
        return 0;
    const auto block = FindStringBlock(*found, id);
    if (!block)
        return 0;
    const ByteReader strings(*block);
    uint32_t offset = 0;
    for (uint32_t slot = 0; slot < (id & 15); ++slot) {  // skip the strings before ours
        uint16_t length = 0;
        if (!strings.Read16(offset, &length))
            return 0;
        offset += 2 + 2u * length;
    }
    uint16_t length = 0;
    if (!strings.Read16(offset, &length) || !strings.Contains(offset + 2, 2u * length))
        return 0;
    int32_t copied = 0;
    while (copied < length && copied < size - 1) {
        uint16_t unit = 0;
        strings.Read16(offset + 2 + 2 * copied, &unit);
        buffer[copied++] = ToAnsi(unit);
    }
    buffer[copied] = 0;
    return copied;
}

}  // namespace qel::win32
