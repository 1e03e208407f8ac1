// ExtenderDll::Load on Linux: the host's own loader maps the image and calls its DllMain.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "host/loader/extender_dll.h"
#include "host/loader/guarded_call.h"
#include "host/loader/image_directories.h"
#include "host/loader/mapped_image.h"
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

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    struct stat status {};
    bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    if (!ok) {
        *error = path + " is not a regular file";
    } else if (status.st_size > kMaximumFileSize) {
        ok = false;
        *error = path + " is too large for a DLL";
    } else {
        bytes->resize(static_cast<size_t>(status.st_size));
        size_t done = 0;
        while (ok && done < bytes->size()) {
            const ssize_t got = read(descriptor, bytes->data() + done, bytes->size() - done);
            ok = got > 0;
            done += ok ? static_cast<size_t>(got) : 0;
        }
        if (!ok)
            *error = "cannot read " + path;
    }
    close(descriptor);
    return ok;
}

bool FindCodeExport(const MappedImage& image, const char* name, uint32_t* rva, std::string* error) {
    if (!FindExport(image.bytes(), image.headers.exports, name, rva, error))
        return false;
    if (!IsCode(image.headers, *rva)) {
        *error = std::string("export ") + name + " does not point into code";
        return false;
    }
    return true;
}

}  // namespace

struct ExtenderDll::Mapping {
    MappedImage image;
};

std::unique_ptr<ExtenderDll> ExtenderDll::Load(const std::string& path, std::string* error) {
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, &file, error))
        return nullptr;
    auto mapping = std::make_unique<Mapping>();
    MappedImage& image = mapping->image;
    if (!MapImage(file, &image, error))
        return nullptr;

    uint32_t dispatch = 0, query = 0;
    if (!FindCodeExport(image, kDispatchName, &dispatch, error) ||
        !FindCodeExport(image, kQueryName, &query, error)) {
        UnmapImage(&image);
        return nullptr;
    }
    void* handle = image.base;  // a module's handle is its base address
    win32::RegisterModule(handle, image.bytes(), image.headers.resources.rva,
                          image.headers.resources.size);
    if (image.headers.entry_point != 0) {
        auto entry = reinterpret_cast<EntryPoint>(image.At(image.headers.entry_point));
        int32_t accepted = 0;
        std::string failure;
        if (!RunGuarded([&] { accepted = entry(handle, kProcessAttach, nullptr); },
                        kEntryTimeoutSeconds, &failure) ||
            accepted == 0) {
            *error = failure.empty() ? "DllMain refused to load" : "DllMain " + failure;
            win32::UnregisterModule(handle);
            UnmapImage(&image);
            return nullptr;
        }
    }

    std::unique_ptr<ExtenderDll> dll(new ExtenderDll());
    dll->module_handle_ = handle;
    dll->dispatch_ = reinterpret_cast<DispatchEntry>(image.At(dispatch));
    dll->query_ = reinterpret_cast<QueryEntry>(image.At(query));
    dll->mapping_ = mapping.release();
    return dll;
}

ExtenderDll::~ExtenderDll() {
    if (mapping_ == nullptr)
        return;
    MappedImage& image = mapping_->image;
    if (image.headers.entry_point != 0) {
        auto entry = reinterpret_cast<EntryPoint>(image.At(image.headers.entry_point));
        // A DLL that faults or stalls on the way out is unloaded all the same.
        std::string ignored;
        RunGuarded([&] { entry(module_handle_, kProcessDetach, nullptr); }, kEntryTimeoutSeconds,
                   &ignored);
    }
    win32::UnregisterModule(module_handle_);
    UnmapImage(&image);
    delete mapping_;
}

}  // namespace qel
