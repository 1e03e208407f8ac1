// Where the fields of the PE32 structures lie: offsets from the start of each structure.
#pragma once
#include <stdint.h>

namespace qel::pe {

// The DOS header.
constexpr uint32_t kDosMagic = 0x00;
constexpr uint32_t kDosPeHeaderOffset = 0x3C;  // e_lfanew
// The file header, after the 4-byte PE signature.
constexpr uint32_t kPeSignatureSize = 4;
constexpr uint32_t kFileMachine = 0;
constexpr uint32_t kFileSectionCount = 2;
constexpr uint32_t kFileOptionalHeaderSize = 16;
constexpr uint32_t kFileCharacteristics = 18;
constexpr uint32_t kFileHeaderSize = 20;
// The PE32 optional header.
constexpr uint32_t kOptionalMagic = 0;
constexpr uint32_t kOptionalEntryPoint = 16;
constexpr uint32_t kOptionalImageBase = 28;
constexpr uint32_t kOptionalSectionAlignment = 32;
constexpr uint32_t kOptionalFileAlignment = 36;
constexpr uint32_t kOptionalSizeOfImage = 56;
constexpr uint32_t kOptionalSizeOfHeaders = 60;
constexpr uint32_t kOptionalDirectoryCount = 92;  // NumberOfRvaAndSizes
constexpr uint32_t kOptionalDirectories = 96;     // the fixed part ends here
constexpr uint32_t kDirectoryEntrySize = 8;       // RVA, size
// A section header.
constexpr uint32_t kSectionName = 0;
constexpr uint32_t kSectionNameSize = 8;
constexpr uint32_t kSectionVirtualSize = 8;
constexpr uint32_t kSectionVirtualAddress = 12;
constexpr uint32_t kSectionRawSize = 16;
constexpr uint32_t kSectionRawOffset = 20;
constexpr uint32_t kSectionCharacteristics = 36;
constexpr uint32_t kSectionHeaderSize = 40;
// An import descriptor.
constexpr uint32_t kImportLookupTable = 0;
constexpr uint32_t kImportDllName = 12;
constexpr uint32_t kImportAddressTable = 16;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kImportHintSize = 2;  // before each imported name
// The export directory.
constexpr uint32_t kExportFunctionCount = 20;
constexpr uint32_t kExportNameCount = 24;
constexpr uint32_t kExportFunctions = 28;
constexpr uint32_t kExportNames = 32;
constexpr uint32_t kExportOrdinals = 36;
constexpr uint32_t kExportDirectorySize = 40;
// A base relocation block.
constexpr uint32_t kRelocationPage = 0;
constexpr uint32_t kRelocationBlockSize = 4;
constexpr uint32_t kRelocationBlockHeaderSize = 8;
// A resource directory, its entries and a data entry.
constexpr uint32_t kResourceNamedCount = 12;
constexpr uint32_t kResourceNumberedCount = 14;
constexpr uint32_t kResourceDirectoryHeaderSize = 16;
constexpr uint32_t kResourceEntryId = 0;
constexpr uint32_t kResourceEntryTarget = 4;
constexpr uint32_t kResourceEntrySize = 8;
constexpr uint32_t kResourceDataRva = 0;
constexpr uint32_t kResourceDataSize = 4;

// Section characteristics.
constexpr uint32_t kSectionContainsCode = 0x00000020;
constexpr uint32_t kSectionExecutable = 0x20000000;
constexpr uint32_t kSectionWritable = 0x80000000;

}  // namespace qel::pe
