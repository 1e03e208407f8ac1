#include "host/loader/module_loader.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "host/loader/guard_pages.h"
#include "host/loader/guarded_call.h"
#include "host/loader/image_directories.h"
#include "host/protocol/dll_entry_call.h"
#include "host/win32/win32_api.h"

namespace qel {
namespace {

constexpr uint32_t kProcessAttach = 1;
constexpr uint32_t kProcessDetach = 0;
constexpr unsigned kEntryTimeoutSeconds = 10;
constexpr off_t kMaximumFileSize = 256 << 20;
constexpr const char* kDispatchName = "_QELExtender2@40";
constexpr const char* kQueryName = "_QELExtenderQuery@12";

using EntryPoint = __attribute__((stdcall)) int32_t (*)(void*, uint32_t, void*);

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes, BoundedText* error) {
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = BoundedText("cannot open ") + path + ": " + strerror(errno);
        return false;
    }
    struct stat status {};
    bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    if (!ok) {
        *error = BoundedText(path) + " is not a regular file";
    } else if (status.st_size > kMaximumFileSize) {
        ok = false;
        *error = BoundedText(path) + " is too large for a DLL";
    } else {
        bytes->resize(static_cast<size_t>(status.st_size));
        size_t done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t got = read(descriptor, bytes->data() + done, bytes->size() - done);
            ok = got > 0;
            done += ok ? static_cast<size_t>(got) : 0;
        }
        if (!ok)
            *error = BoundedText("cannot read ") + path;
    }
    close(descriptor);
    return ok;
}

bool FindCodeExport(const MappedImage& image, const char* name, uint32_t* rva, BoundedText* error) {
    if (!FindExport(image.bytes(), image.headers.exports, name, rva, error))
        return false;
    if (!IsCode(image.headers, *rva)) {
        *error = BoundedText("export ") + name + " does not point into code";
        return false;
    }
    return true;
}

EntryPoint EntryOf(const MappedImage& image) {
    return reinterpret_cast<EntryPoint>(image.At(image.headers.entry_point));
}

int32_t CallEntry(EntryPoint entry, void* handle, uint32_t reason) {
    SetEnteredExport("DllMain");
    const int32_t accepted = CallDllEntry(entry, {DllWord(handle), reason, 0});
    SetEnteredExport(nullptr);
    return accepted;
}

}  // namespace

bool LoadExtenderModule(const char* path, LoadedModule* module, BoundedText* error) {
    *module = LoadedModule{};
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, &file, error))
        return false;
    MappedImage& image = module->image;
    if (!MapImage(file, &image, error))
        return false;

    uint32_t dispatch = 0, query = 0;
    if (!FindCodeExport(image, kDispatchName, &dispatch, error) ||
        !FindCodeExport(image, kQueryName, &query, error)) {
        UnmapImage(&image);
        return false;
    }
    void* handle = image.base;
    win32::RegisterModule(handle, image.bytes(), image.headers.resources.rva,
                          image.headers.resources.size);
    RegisterGuardedImage(image.base, image.size);
    SetRecordPlacer(&PlaceAgainstGuardPage);
    SetDllStack(MapDllStack());
    if (image.headers.entry_point != 0) {
        const EntryPoint entry = EntryOf(image);
        int32_t accepted = 0;
        BoundedText failure;
        if (!RunGuarded([&] { accepted = CallEntry(entry, handle, kProcessAttach); },
                        kEntryTimeoutSeconds, &failure) ||
            accepted == 0) {
            *error =
                failure.empty() ? BoundedText("DllMain refused to load") : "DllMain " + failure;
            UnregisterGuardedImage(image.base);
            win32::UnregisterModule(handle);
            UnmapImage(&image);
            return false;
        }
    }
    module->handle = handle;
    module->entries.dispatch = reinterpret_cast<DispatchEntry>(image.At(dispatch));
    module->entries.query = reinterpret_cast<QueryEntry>(image.At(query));
    return true;
}

void UnloadExtenderModule(LoadedModule* module) {
    MappedImage& image = module->image;
    if (image.base == nullptr)
        return;
    if (image.headers.entry_point != 0) {
        const EntryPoint entry = EntryOf(image);
        // A DLL that faults or stalls on the way out is unloaded all the same.
        BoundedText ignored;
        RunGuarded([&] { CallEntry(entry, module->handle, kProcessDetach); }, kEntryTimeoutSeconds,
                   &ignored);
    }
    UnregisterGuardedImage(image.base);
    win32::UnregisterModule(module->handle);
    UnmapImage(&image);
}

}  // namespace qel
