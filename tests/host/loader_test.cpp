// The loader refuses damaged or foreign files with a message that names the problem, and
// maps good copies anywhere in memory.
#include <functional>

#include "host/loader/image_directories.h"
#include "host/remote/remote_extender.h"
#include "tests/support/dll_file.h"
#include "tests/support/shared_dll.h"

namespace {

using host_test::Bytes;
using host_test::DllTest;
using Kind = qel::LoadFailureKind;
namespace ht = host_test;
namespace pe = qel::pe;

struct DamageCase {
    const char* label;
    std::function<void(Bytes*)> damage;
    const char* expected_message;  // a part of the refusal
    qel::LoadFailureKind expected_kind;
    friend void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.label; }
};

class Refusal : public DllTest, public testing::WithParamInterface<DamageCase> {
  protected:
    // The good copy stays loaded, so the damaged one cannot have the preferred base and
    // its relocations are applied.
    void SetUp() override {
        DllTest::SetUp();
        dll();
    }
};

TEST_P(Refusal, NamesTheProblem) {
    Bytes bytes = ht::DllBytes();
    GetParam().damage(&bytes);
    std::string error;
    Kind kind = Kind::kNone;
    auto loaded =
        qel::ExtenderDll::Load(ht::WriteTemporary(bytes, GetParam().label), &error, &kind);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_NE(error.find(GetParam().expected_message), std::string::npos) << "refusal: " << error;
    EXPECT_STREQ(qel::LoadFailureKindName(kind), qel::LoadFailureKindName(GetParam().expected_kind))
        << "refusal: " << error;
}

void Rename(Bytes* bytes, const std::string& from, const std::string& to) {
    const uint32_t at = ht::OffsetOfText(from);
    std::copy(to.begin(), to.end(), bytes->begin() + at);
}

uint32_t DirectoryEntry(int index) {
    return ht::OptionalHeaderOffset() + pe::kOptionalDirectories + pe::kDirectoryEntrySize * index;
}
uint32_t ExportDirectory() {
    return ht::FileOffsetOfRva(ht::DllHeaders().exports.rva);
}
uint32_t FirstImportLookup() {
    return ht::FileOffsetOfRva(
        ht::Get32(ht::DllBytes(), ht::FileOffsetOfRva(ht::DllHeaders().imports.rva)));
}
uint32_t Relocations() {
    return ht::FileOffsetOfRva(ht::DllHeaders().relocations.rva);
}
uint32_t ResourceRva() {
    return ht::DllHeaders().resources.rva;
}

// DllMain replaced by `code`.
void PlantEntry(Bytes* bytes, std::initializer_list<uint8_t> code) {
    std::copy(code.begin(), code.end(),
              bytes->begin() + ht::FileOffsetOfRva(ht::DllHeaders().entry_point));
}

const DamageCase kDamages[] = {
    {"dllmain_refuses",
     [](Bytes* b) {
         PlantEntry(b, {0x31, 0xC0, 0xC2, 0x0C, 0x00});
     },
     "DllMain refused to load", Kind::kEntryRefused},  // xor eax, eax; ret 12
    {"dllmain_faults",
     [](Bytes* b) {
         PlantEntry(b, {0x0F, 0x0B});
     },
     "DllMain crashed: illegal instruction", Kind::kEntryFaulted},  // ud2
    {"cut_to_mz", [](Bytes* b) { b->resize(2); }, "file too short for a DOS header",
     Kind::kTruncated},
    {"dos_magic", [](Bytes* b) { (*b)[0] = 'X'; }, "no MZ signature", Kind::kNotPeFile},
    {"pe_offset_beyond_file", [](Bytes* b) { ht::Put32(b, 0x3C, 0x7FFFFFF0); },
     "PE header offset beyond the file", Kind::kTruncated},
    {"pe_signature", [](Bytes* b) { (*b)[ht::PeHeaderOffset()] = 'X'; }, "no PE signature",
     Kind::kNotPeFile},
    {"machine_amd64", [](Bytes* b) { ht::Put16(b, ht::FileHeaderOffset(), 0x8664); },
     "not an i386 image", Kind::kUnsupported},
    {"not_a_dll", [](Bytes* b) { (*b)[ht::FileHeaderOffset() + 19] &= ~0x20; }, "not a DLL",
     Kind::kUnsupported},
    {"not_executable", [](Bytes* b) { (*b)[ht::FileHeaderOffset() + 18] &= ~0x02; },
     "not an executable image", Kind::kUnsupported},
    {"pe32_plus", [](Bytes* b) { ht::Put16(b, ht::OptionalHeaderOffset(), 0x20B); },
     "not a PE32 image", Kind::kUnsupported},
    {"optional_header_too_small",
     [](Bytes* b) { ht::Put16(b, ht::FileHeaderOffset() + pe::kFileOptionalHeaderSize, 40); },
     "truncated optional header", Kind::kTruncated},
    {"directories_overrun",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalDirectoryCount, 0x100);
     },
     "data directories overrun", Kind::kTruncated},
    {"image_size_zero",
     [](Bytes* b) { ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalSizeOfImage, 0); },
     "bad SizeOfImage", Kind::kNotPeFile},
    {"image_size_huge",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalSizeOfImage, 0xFFFFF000);
     },
     "bad SizeOfImage", Kind::kNotPeFile},
    {"headers_beyond_file",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalSizeOfHeaders, 0x100000);
     },
     "bad SizeOfHeaders", Kind::kNotPeFile},
    {"section_alignment",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalSectionAlignment, 0x1001);
     },
     "bad section or file alignment", Kind::kNotPeFile},
    {"image_base_unaligned",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalImageBase, 0x63981000);
     },
     "ImageBase not 64 KB aligned", Kind::kNotPeFile},
    {"entry_outside_image",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalEntryPoint, 0x7FFFFFFF);
     },
     "entry point lies outside the image", Kind::kOutsideImage},
    {"entry_in_resources",
     [](Bytes* b) {
         ht::Put32(b, ht::OptionalHeaderOffset() + pe::kOptionalEntryPoint, ResourceRva());
     },
     "entry point lies outside the code", Kind::kOutsideImage},
    {"no_sections",
     [](Bytes* b) { ht::Put16(b, ht::FileHeaderOffset() + pe::kFileSectionCount, 0); },
     "image has no sections", Kind::kNotPeFile},
    {"too_many_sections",
     [](Bytes* b) { ht::Put16(b, ht::FileHeaderOffset() + pe::kFileSectionCount, 0xFFFF); },
     "too many sections", Kind::kUnsupported},
    {"section_data_beyond_file",
     [](Bytes* b) { ht::Put32(b, ht::SectionTableOffset() + pe::kSectionRawOffset, 0x7FFFFFF0); },
     "data lies beyond the end of the file", Kind::kTruncated},
    {"section_outside_image",
     [](Bytes* b) {
         ht::Put32(b, ht::SectionTableOffset() + pe::kSectionVirtualAddress, 0x7FFF0000);
     },
     "lies outside the image", Kind::kOutsideImage},
    {"section_over_headers",
     [](Bytes* b) { ht::Put32(b, ht::SectionTableOffset() + pe::kSectionVirtualAddress, 0); },
     "overlaps the headers", Kind::kOutsideImage},
    {"import_directory_outside", [](Bytes* b) { ht::Put32(b, DirectoryEntry(1), 0x7FFFFFF0); },
     "import directory lies outside the image", Kind::kOutsideImage},
    {"export_directory_outside", [](Bytes* b) { ht::Put32(b, DirectoryEntry(0) + 4, 0x7FFFFFF0); },
     "export directory lies outside the image", Kind::kOutsideImage},
    {"resource_directory_outside", [](Bytes* b) { ht::Put32(b, DirectoryEntry(2), 0xFFFFFFF0); },
     "resource directory lies outside the image", Kind::kOutsideImage},
    {"no_export_directory",
     [](Bytes* b) {
         ht::Put32(b, DirectoryEntry(0), 0);
         ht::Put32(b, DirectoryEntry(0) + 4, 0);
     },
     "no export directory", Kind::kMissingExport},
    {"foreign_kernel32_import", [](Bytes* b) { Rename(b, "lstrlenA", "lstrlenW"); },
     "import not provided: KERNEL32.dll!lstrlenW", Kind::kMissingImport},
    {"foreign_user32_import", [](Bytes* b) { Rename(b, "CharLowerA", "CharUpperA"); },
     "import not provided: USER32.dll!CharUpperA", Kind::kMissingImport},
    {"foreign_dll", [](Bytes* b) { Rename(b, "WINMM.DLL", "WINMX.DLL"); },
     "import not provided: WINMX.DLL!timeGetTime", Kind::kMissingImport},
    {"import_by_ordinal", [](Bytes* b) { ht::Put32(b, FirstImportLookup(), 0x80000010); },
     "import by ordinal not provided: KERNEL32.dll!#16", Kind::kMissingImport},
    {"import_name_outside", [](Bytes* b) { ht::Put32(b, FirstImportLookup(), 0x7FFFFFF0); },
     "bad import name entry in KERNEL32.dll", Kind::kOutsideImage},
    {"missing_dispatch_export", [](Bytes* b) { Rename(b, "_QELExtender2@40", "_QELExtender3@40"); },
     "missing export _QELExtender2@40", Kind::kMissingExport},
    {"missing_query_export",
     [](Bytes* b) { Rename(b, "_QELExtenderQuery@12", "_QELExtenderQuery@16"); },
     "missing export _QELExtenderQuery@12", Kind::kMissingExport},
    {"export_tables_outside",
     [](Bytes* b) { ht::Put32(b, ExportDirectory() + pe::kExportFunctions, 0x7FFFFFF0); },
     "export tables lie outside the image", Kind::kOutsideImage},
    {"export_into_resources",
     [](Bytes* b) {
         ht::Put32(b, ht::FileOffsetOfRva(ht::Get32(*b, ExportDirectory() + pe::kExportFunctions)),
                   ResourceRva());
     },
     "does not point into code", Kind::kOutsideImage},
    {"relocation_block_size",
     [](Bytes* b) { ht::Put32(b, Relocations() + pe::kRelocationBlockSize, 3); },
     "bad base relocation block size", Kind::kNotPeFile},
    {"relocation_type", [](Bytes* b) { (*b)[Relocations() + 9] = 0xA0; },
     "unsupported base relocation type 10", Kind::kUnsupported},
    {"relocation_outside", [](Bytes* b) { ht::Put32(b, Relocations(), 0x7FFF0000); },
     "base relocation outside the image", Kind::kOutsideImage},
    {"relocations_stripped", [](Bytes* b) { (*b)[ht::FileHeaderOffset() + 18] |= 0x01; },
     "no relocations and its base address is taken", Kind::kUnsupported},
};

INSTANTIATE_TEST_SUITE_P(Damages, Refusal, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<DamageCase>& info) {
                             return std::string(info.param.label);
                         });

// The runner refuses a damaged DLL as the host's own loader does, and its answer carries
// the kind across: qelhost --cpu reports the same refusal.
TEST(RunnerRefusal, CarriesTheKindAndTheTextOfTheLoader) {
    if (std::string(QEL_RUNNER_PROGRAM).empty())
        GTEST_SKIP() << "no runner in this build (configure KZ_PREBUILT_RUNNER)";
    for (const char* label :
         {"dos_magic", "missing_query_export", "foreign_dll", "dllmain_refuses"}) {
        const DamageCase* damage = nullptr;
        for (const DamageCase& candidate : kDamages) {
            if (std::string(candidate.label) == label)
                damage = &candidate;
        }
        ASSERT_NE(damage, nullptr) << label;
        Bytes bytes = ht::DllBytes();
        damage->damage(&bytes);
        const std::string path = ht::WriteTemporary(bytes, std::string("runner_") + label);
        std::string in_process, remote;
        Kind in_process_kind = Kind::kNone, remote_kind = Kind::kNone;
        EXPECT_EQ(qel::ExtenderDll::Load(path, &in_process, &in_process_kind), nullptr);
        EXPECT_EQ(qel::RemoteExtender::Start({QEL_QEMU_PROGRAM, QEL_RUNNER_PROGRAM}, path, &remote,
                                             &remote_kind),
                  nullptr);
        EXPECT_EQ(remote, in_process) << label;
        EXPECT_EQ(remote_kind, damage->expected_kind) << label << ": " << remote;
    }
}

TEST(ForeignPath, DirectoryIsRefused) {
    std::string error;
    Kind kind = Kind::kNone;
    EXPECT_EQ(qel::ExtenderDll::Load("/", &error, &kind), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(kind, Kind::kInputOutput);
}

// --- a second copy, relocated -----------------------------------------------------------------

TEST_F(DllTest, SecondCopyIsRelocatedAndServesItsOwnStrings) {
    std::string error;
    auto second = qel::ExtenderDll::Load(KZPROBEX_DLL_PATH, &error);
    ASSERT_NE(second, nullptr) << error;
    EXPECT_NE(second->module_handle(), dll().module_handle());
    int32_t version = 0;
    EXPECT_EQ(second->Description(&version), "QEL Cpu Speed Extender.");
    EXPECT_EQ(version, 44001);
    EXPECT_EQ(second->Call(1, {"0"}).value, 44001);
    EXPECT_EQ(second->Call(1, {"abc"}).text, "17101: Invalid Parameter.");
    EXPECT_EQ(second->Functions().size(), 10u);
    second.reset();
    EXPECT_EQ(dll().Call(1, {"9"}).text, "17100:  Invalid DLL Version");  // the first is untouched
}

// --- relocation arithmetic on a small image ---------------------------------------------------

struct RelocationCase {
    const char* label;
    std::vector<uint16_t> block;  // page RVA (low, high), size (low, high), entries
    uint32_t directory_size;      // 0: the block's own size
    uint32_t delta;
    uint32_t expected_word_at_8;  // the word at offset 8, which holds 0xFFFFFF00 before
    const char* expected_error;   // "" for success
    friend void PrintTo(const RelocationCase& c, std::ostream* out) { *out << c.label; }
};

class Relocation : public testing::TestWithParam<RelocationCase> {};

TEST_P(Relocation, AddsTheDeltaOrRefuses) {
    const RelocationCase& c = GetParam();
    constexpr uint32_t kDirectory = 32;
    constexpr uint32_t kLinkedBase =
        0xFFFFFF00;  // so that the word at 8 is an address of the image
    Bytes image(96, 0);
    ht::Put32(&image, 8, 0xFFFFFF00);
    for (size_t i = 0; i < c.block.size(); ++i)
        ht::Put16(&image, kDirectory + 2 * i, c.block[i]);
    const uint32_t size =
        c.directory_size != 0 ? c.directory_size : 2 * static_cast<uint32_t>(c.block.size());
    qel::LoadFailure failure;
    const bool applied =
        qel::ApplyRelocations(image, {kDirectory, size}, kLinkedBase, c.delta, &failure);
    EXPECT_EQ(applied, std::string(c.expected_error).empty());
    EXPECT_NE(failure.detail.view().find(c.expected_error), std::string::npos)
        << failure.detail.c_str();
    if (applied) {
        EXPECT_EQ(ht::Get32(image, 8), c.expected_word_at_8);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, Relocation,
    testing::Values(
        RelocationCase{"high_low", {0, 0, 10, 0, 0x3008}, 0, 0x200, 0x00000100, ""},
        RelocationCase{"padding_ignored", {0, 0, 12, 0, 0x0000, 0x3008}, 0, 0x10, 0xFFFFFF10, ""},
        RelocationCase{"page_offset", {8, 0, 10, 0, 0x3000}, 0, 1, 0xFFFFFF01, ""},
        RelocationCase{"no_blocks", {}, 0, 0x1000, 0xFFFFFF00, ""},
        RelocationCase{
            "dir64_type", {0, 0, 10, 0, 0xA008}, 0, 1, 0, "unsupported base relocation type 10"},
        RelocationCase{"target_past_end", {0, 0, 10, 0, 0x305E}, 0, 1, 0, "outside the image"},
        RelocationCase{"block_too_small", {0, 0, 4, 0}, 0, 1, 0, "block size 4"},
        RelocationCase{"block_past_directory", {0, 0, 64, 0, 0x3008}, 0, 1, 0, "block size 64"},
        RelocationCase{"odd_block_size", {0, 0, 9, 0, 0x3008}, 0, 1, 0, "block size 9"},
        RelocationCase{"truncated_header", {0, 0}, 4, 1, 0, "truncated"}),
    [](const testing::TestParamInfo<RelocationCase>& info) {
        return std::string(info.param.label);
    });

}  // namespace
