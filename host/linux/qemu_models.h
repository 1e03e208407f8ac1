// The processor models the emulator knows, as `qemu-i386 -cpu help` lists them.
#pragma once
#include <string>

namespace qel {

// Whether `qemu -cpu help` lists `model` (qemu compares names case-sensitively). False with
// *error when qemu cannot be run at all.
bool QemuListsCpuModel(const std::string& qemu, const std::string& model, bool* listed,
                       std::string* error);

}  // namespace qel
