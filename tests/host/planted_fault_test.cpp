// Faults planted at the start of each export of a copy of the real DLL: qelhost reports each
// with a message that names the fault, where it happened and the export, and exits with 1;
// it never dies by the signal, nor when the DLL ends its process through a system call.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "host/crossing/dll_entry_call.h"
#include "host/loader/image_directories.h"
#include "host/loader/mapped_image.h"
#include "host/win32/win32_api.h"
#include "tests/support/dll_file.h"
#include "tests/support/qelhost_run.h"
#include "tests/support/shared_dll.h"

namespace {

namespace ht = host_test;

struct PlantedFault {
    const char* label;
    std::vector<uint8_t> code;
    const char* reported;  // in the message
    const char* place;     // how the message places the instruction: an RVA, outside, or not
    friend void PrintTo(const PlantedFault& c, std::ostream* out) { *out << c.label; }
};

const char* const kInside = " at RVA 0x";
const char* const kOutside = "outside the DLL";
const char* const kUnknown = "";  // the process ended: no registers to read

const PlantedFault kFaults[] = {
    {"int3", {0xCC}, "(SIGTRAP)", kInside},
    {"ud2", {0x0F, 0x0B}, "illegal instruction", kInside},
    {"division by zero", {0x31, 0xC0, 0xF7, 0xF0}, "division by zero", kInside},  // div eax
    {"jump to 0", {0x31, 0xC0, 0xFF, 0xE0}, "access violation at address 0x00000000", kOutside},
    {"write to 0", {0x31, 0xC0, 0x89, 0x00}, "access violation at address 0x00000000", kInside},
    {"trap flag",  // pushfd; or dword [esp], 0x100; popfd; nop
     {0x9C, 0x81, 0x0C, 0x24, 0x00, 0x01, 0x00, 0x00, 0x9D, 0x90},
     "(SIGTRAP)",
     kInside},
    {"int3 after std", {0xFD, 0xCC}, "(SIGTRAP)", kInside},  // the host's copies must run forwards
    {"endless recursion", {0xE8, 0xFB, 0xFF, 0xFF, 0xFF}, "stack overflow", kInside},  // call $
    {"endless loop", {0xEB, 0xFE}, "did not return within 1 s", kInside},              // jmp $
    // mov eax, esp; again: mov dword [eax], 0; add eax, 4; jmp again: the DLL's stack ends
    // at a guard page, where the host's frames would have been overwritten
    {"stack walked upwards",
     {0x89, 0xE0, 0xC7, 0x00, 0, 0, 0, 0, 0x83, 0xC0, 0x04, 0xEB, 0xF5},
     "access violation at address 0x",
     kInside},
    // mov [ebx + 0x10], eax: the host's EBX (its GOT) is not handed over
    {"write through ebx", {0x89, 0x43, 0x10}, "access violation at address 0x00000010", kInside},
    // mov eax, 1; mov ebx, 0x86; int 0x80: Linux's exit, status 134, as if a signal had hit
    {"exit system call",
     {0xB8, 0x01, 0, 0, 0, 0xBB, 0x86, 0, 0, 0, 0xCD, 0x80},
     "exited with status 134 without returning to qelhost",
     kUnknown},
    // mov eax, 20; int 0x80 (getpid); mov ebx, eax; mov ecx, 10; mov eax, 37; int 0x80 (kill)
    {"kill by SIGUSR1",
     {0xB8, 20, 0, 0, 0, 0xCD, 0x80, 0x89, 0xC3, 0xB9, 10, 0, 0, 0, 0xB8, 37, 0, 0, 0, 0xCD, 0x80},
     "was ended by signal 10 (SIGUSR1)",
     kUnknown},
};

const char* const kExports[] = {"_QELExtenderQuery@12", "_QELExtender2@40"};

// "<label>_in_<export>", each character a test name cannot hold made '_'.
std::string CaseName(const std::string& label, const char* export_name) {
    std::string name = label + "_in_" + export_name;
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name;
}

// Where the mapped DLL keeps the address it calls for `dll!function`.
uint32_t ImportSlotRva(const char* dll, const char* function) {
    qel::MappedImage image;
    qel::LoadFailure failure;
    EXPECT_TRUE(qel::MapImage(ht::DllBytes(), &qel::win32::FindHostFunction, &image, &failure))
        << failure.detail.c_str();
    // The loader binds each import to the function's thunk.
    const qel::HostFunction host = qel::win32::FindHostFunction(dll, function);
    const uint32_t bound = qel::HostCallThunk(host.address, host.argument_bytes);
    uint32_t rva = 0;
    for (uint32_t at = 0; rva == 0 && at + 4 <= image.size; at += 4) {
        if (memcmp(image.base + at, &bound, 4) == 0)
            rva = at;
    }
    qel::UnmapImage(&image);
    EXPECT_NE(rva, 0u) << dll << "!" << function;
    return rva;
}

// Damaged code that returns into whatever a Win32 call left below its stack finds nothing of
// the host there: the call ran on the host's own stack. The planted code counts the words
// the call left written below the four registers and the return address it pushed itself,
// then writes to the address that count makes.
TEST(PlantedCode, FindsNothingOfTheHostBelowItsStackAfterAWin32Call) {
    ht::Bytes bytes = ht::DllBytes();
    const uint8_t accept[] = {0xB8, 1, 0, 0, 0, 0xC2, 0x0C, 0};  // mov eax, 1; ret 12
    std::copy(std::begin(accept), std::end(accept),
              bytes.begin() + ht::FileOffsetOfRva(ht::DllHeaders().entry_point));
    const uint32_t query = ht::ExportRva("_QELExtenderQuery@12");
    const uint32_t from_pop = ImportSlotRva("KERNEL32.DLL", "GetTickCount") - (query + 5);
    std::vector<uint8_t> code;
    const auto emit = [&code](std::initializer_list<uint8_t> instruction) {
        code.insert(code.end(), instruction);
    };
    emit({0xE8, 0, 0, 0, 0});  // call $+5
    emit({0x58});              // pop eax: where this code runs
    emit({0x05, static_cast<uint8_t>(from_pop), static_cast<uint8_t>(from_pop >> 8),
          static_cast<uint8_t>(from_pop >> 16), static_cast<uint8_t>(from_pop >> 24)});  // add eax
    emit({0xFF, 0x10});              // call [eax]: GetTickCount
    emit({0x31, 0xC0});              // xor eax, eax
    emit({0xB9, 0xFA, 0x03, 0, 0});  // mov ecx, 1018
    emit({0x8D, 0x54, 0x24, 0xEC});  // lea edx, [esp - 20]
    emit({0x83, 0xEA, 0x04});        // again: sub edx, 4
    emit({0x83, 0x3A, 0x00});        // cmp dword [edx], 0
    emit({0x74, 0x01});              // je +1
    emit({0x40});                    // inc eax
    emit({0x49});                    // dec ecx
    emit({0x75, 0xF4});              // jnz again
    emit({0x89, 0x00});              // mov [eax], eax
    std::copy(code.begin(), code.end(), bytes.begin() + ht::FileOffsetOfRva(query));
    const std::string path = ht::WriteTemporary(bytes, "planted_count.dll");

    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, {"--dll", path, "-e", "ccpuid"});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("access violation at address 0x00000000 (SIGSEGV) at RVA"),
              std::string::npos)
        << run.err;
}

class PlantedFaults
    : public testing::TestWithParam<std::tuple<PlantedFault, const char* /*export*/>> {};

TEST_P(PlantedFaults, EndInAMessageAndExitStatus1) {
    const auto& [fault, export_name] = GetParam();
    ht::Bytes bytes = ht::DllBytes();
    const uint32_t at = ht::FileOffsetOfRva(ht::ExportRva(export_name));
    std::copy(fault.code.begin(), fault.code.end(), bytes.begin() + at);
    const std::string path = ht::WriteTemporary(bytes, "planted.dll");

    const ht::HostRun run = ht::RunQelhost(
        QELHOST_RUNNER, {"--timeout", "1", "--dll", path, "-e", "ccpuid; cvendorid"});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find(fault.reported), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(std::string(" in ") + export_name), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(fault.place), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("core dumped"), std::string::npos) << run.err;
}

// On an emulated processor the call runs in the runner, which must keep the same limit.
TEST(PlantedFaultsOnAnEmulatedProcessor, EndlessLoopEndsAfterTheTimeout) {
    ht::Bytes bytes = ht::DllBytes();
    const uint8_t endless_loop[] = {0xEB, 0xFE};  // jmp $
    std::copy(std::begin(endless_loop), std::end(endless_loop),
              bytes.begin() + ht::FileOffsetOfRva(ht::ExportRva("_QELExtender2@40")));
    const std::string path = ht::WriteTemporary(bytes, "planted_loop.dll");

    const ht::HostRun run = ht::RunQelhost(
        QELHOST_RUNNER, {"--cpu", "pentium", "--timeout", "1", "--dll", path, "-e", "ccpuid"});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("did not return within 1 s"), std::string::npos) << run.err;
}

// The DLL's code is read-only and its read-only data not writable, as Windows maps them: a
// write into either is an access violation at the address written, in the export that ran.
struct PlantedWrite {
    const char* label;
    const char* section;  // the section written into
    friend void PrintTo(const PlantedWrite& c, std::ostream* out) { *out << c.label; }
};

const PlantedWrite kWrites[] = {{"into_its_code", ".text"}, {"into_its_rdata", ".rdata"}};

class PlantedWrites
    : public testing::TestWithParam<std::tuple<PlantedWrite, const char* /*export*/>> {};

TEST_P(PlantedWrites, AreAccessViolationsEndingInAMessageAndExitStatus1) {
    const auto& [write, export_name] = GetParam();
    const qel::Section* target = nullptr;
    for (const qel::Section& section : ht::DllHeaders().sections) {
        if (std::string(section.name) == write.section)
            target = &section;
    }
    ASSERT_NE(target, nullptr) << "the DLL has no " << write.section;
    const uint32_t export_rva = ht::ExportRva(export_name);
    // call $+5; pop eax (where this code runs); add eax, target - there; mov [eax], eax
    const uint32_t distance =
        target->virtual_address + target->mapped_size() / 2 - (export_rva + 5);
    const std::vector<uint8_t> code = {0xE8,
                                       0,
                                       0,
                                       0,
                                       0,
                                       0x58,
                                       0x05,
                                       static_cast<uint8_t>(distance),
                                       static_cast<uint8_t>(distance >> 8),
                                       static_cast<uint8_t>(distance >> 16),
                                       static_cast<uint8_t>(distance >> 24),
                                       0x89,
                                       0x00};
    ht::Bytes bytes = ht::DllBytes();
    std::copy(code.begin(), code.end(), bytes.begin() + ht::FileOffsetOfRva(export_rva));
    const std::string path = ht::WriteTemporary(bytes, "planted_write.dll");

    const ht::HostRun run = ht::RunQelhost(QELHOST_RUNNER, {"--dll", path, "-e", "ccpuid"});
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_NE(run.err.find("access violation at address 0x"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("access violation at address 0x00000000"), std::string::npos) << run.err;
    // The fault is the write itself, the instruction after the 11 bytes before it.
    char place[32];
    snprintf(place, sizeof place, " at RVA 0x%08x in ", export_rva + 11);
    EXPECT_NE(run.err.find(place + std::string(export_name)), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Exports, PlantedWrites,
                         testing::Combine(testing::ValuesIn(kWrites), testing::ValuesIn(kExports)),
                         [](const auto& info) {
                             return CaseName(std::get<0>(info.param).label,
                                             std::get<1>(info.param));
                         });

INSTANTIATE_TEST_SUITE_P(Exports, PlantedFaults,
                         testing::Combine(testing::ValuesIn(kFaults), testing::ValuesIn(kExports)),
                         [](const auto& info) {
                             return CaseName(std::get<0>(info.param).label,
                                             std::get<1>(info.param));
                         });

}  // namespace
