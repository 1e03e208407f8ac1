#include "host/loader/dll_loading.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "host/crossing/dll_entry_call.h"
#include "host/crossing/entered_export.h"
#include "host/crossing/guarded_call.h"
#include "host/loader/resources.h"

namespace qel {
namespace {

constexpr uint32_t kProcessAttach = 1;
constexpr uint32_t kProcessDetach = 0;
constexpr unsigned kEntryTimeoutSeconds = 10;
constexpr off_t kMaximumFileSize = 256 << 20;

using Kind = LoadFailureKind;
using EntryPoint = __attribute__((stdcall)) int32_t (*)(void*, uint32_t, void*);

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes, LoadFailure* failure) {
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return Fail(failure, Kind::kInputOutput,
                    BoundedText("cannot open ") + path + ": " + strerror(errno));
    }
    struct stat status {};
    bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    if (!ok) {
        Fail(failure, Kind::kInputOutput, BoundedText(path) + " is not a regular file");
    } else if (status.st_size > kMaximumFileSize) {
        ok = Fail(failure, Kind::kUnsupported, BoundedText(path) + " is too large for a DLL");
    } else {
        bytes->resize(static_cast<size_t>(status.st_size));
        size_t done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t got = read(descriptor, bytes->data() + done, bytes->size() - done);
            ok = got > 0;
            done += ok ? static_cast<size_t>(got) : 0;
        }
        if (!ok)
            Fail(failure, Kind::kInputOutput, BoundedText("cannot read ") + path);
    }
    close(descriptor);
    return ok;
}

// The loaded modules, for the services that take a module handle; a host loads a handful at
// the most.
struct KnownModule {
    void* handle;
    std::span<const uint8_t> image;
    DataDirectory resources;
};

std::vector<KnownModule>& KnownModules() {
    static std::vector<KnownModule> modules;
    return modules;
}

void Forget(void* handle) {
    std::vector<KnownModule>& modules = KnownModules();
    for (size_t i = 0; i < modules.size(); ++i) {
        if (modules[i].handle == handle) {
            modules.erase(modules.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
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

bool LoadDll(const char* path, const ImportResolver& resolve, LoadedDll* dll, LoadFailure* failure,
             SiteServing serving) {
    *dll = LoadedDll{};
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, &file, failure) ||
        !MapImage(file, resolve, &dll->image, failure, serving))
        return false;
    const MappedImage& image = dll->image;
    dll->handle = image.base;
    Forget(dll->handle);
    KnownModules().push_back(KnownModule{dll->handle, image.bytes(), image.headers.resources});
    RegisterGuardedImage(image.base, image.size);
    return true;
}

bool FindCodeExport(const MappedImage& image, const char* name, uint32_t* rva,
                    LoadFailure* failure) {
    if (!FindExport(image.bytes(), image.headers.exports, name, rva, failure))
        return false;
    if (!IsCode(image.headers, *rva)) {
        return Fail(failure, Kind::kOutsideImage,
                    BoundedText("export ") + name + " does not point into code");
    }
    return true;
}

bool AttachDll(const LoadedDll& dll, LoadFailure* failure) {
    if (dll.image.headers.entry_point == 0)
        return true;
    const EntryPoint entry = EntryOf(dll.image);
    int32_t accepted = 0;
    BoundedText fault;
    if (!RunGuarded([&] { accepted = CallEntry(entry, dll.handle, kProcessAttach); },
                    kEntryTimeoutSeconds, &fault)) {
        return Fail(failure, Kind::kEntryFaulted, "DllMain " + fault);
    }
    if (accepted == 0)
        return Fail(failure, Kind::kEntryRefused, "DllMain refused to load");
    return true;
}

void UnloadDll(LoadedDll* dll, bool detach) {
    MappedImage& image = dll->image;
    if (image.base == nullptr)
        return;
    if (detach && image.headers.entry_point != 0) {
        const EntryPoint entry = EntryOf(image);
        BoundedText ignored;
        RunGuarded([&] { CallEntry(entry, dll->handle, kProcessDetach); }, kEntryTimeoutSeconds,
                   &ignored);
    }
    UnregisterGuardedImage(image.base);
    Forget(dll->handle);
    UnmapImage(&image);
}

std::optional<std::span<const uint8_t>> FindModuleResource(void* handle, uint32_t type,
                                                           uint32_t id) {
    for (const KnownModule& module : KnownModules()) {
        if (module.handle == handle)
            return FindResourceData(module.image, module.resources, type, id);
    }
    return std::nullopt;
}

}  // namespace qel
