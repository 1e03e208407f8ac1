// The QEL host's records and requests as both sides of the extender interface lay them out:
// the DLL reads and writes them, the hosts build and decode them. Dependency-free, so that
// freestanding DLL code and the hosts both include it.
#pragma once
#include <stdint.h>

namespace qel_abi {

// ArgumentRecord: five of them, 40 bytes each, back to back; the text pointer at 32.
constexpr uint32_t kArgumentRecordSize = 40;
constexpr uint32_t kArgumentTextOffset = 32;
constexpr int32_t kArgumentRecordCount = 5;

// ResultRecord: the three fields the library writes.
constexpr uint32_t kResultRecordSize = 40;
constexpr uint32_t kResultValueOffset = 24;
constexpr uint32_t kResultTypeOffset = 28;
constexpr uint32_t kResultTextOffset = 32;
constexpr int32_t kResultTypeValue = 1;
constexpr int32_t kResultTypeText = 2;

// HostInfo: the host's version, which the handshake reads.
constexpr uint32_t kHostVersionOffset = 8;

// FunctionDescriptor: one row of the table the host enumerates.
constexpr uint32_t kFunctionDescriptorSize = 56;
constexpr uint32_t kDescriptorIdentifierOffset = 0;
constexpr uint32_t kDescriptorKindOffset = 4;
constexpr uint32_t kDescriptorArgumentTypesOffset = 8;  // 8 bytes
constexpr uint32_t kDescriptorArgumentCountOffset = 16;
constexpr uint32_t kDescriptorNameLengthOffset = 20;  // 16 bits
constexpr uint32_t kDescriptorNameOffset = 22;
constexpr uint32_t kDescriptorNameSize = 34;
static_assert(kDescriptorNameOffset + kDescriptorNameSize == kFunctionDescriptorSize);
// The FunctionKind of every script function; the table ends with identifier -1.
constexpr int32_t kScriptFunctionKind = 2;
constexpr int32_t kEndOfTable = -1;

// Requests in place of a function number: the low 16 bits, as a signed number.
constexpr int16_t kRequestHandshake = -1;
constexpr int16_t kRequestEnumerate = -2;
constexpr int16_t kRequestNoOperation = -3;  // does nothing, answers 1

// Query codes of the query export.
constexpr uint32_t kQueryDescription = 1;

// The handshake accepts a host from this version on; qelhost states exactly this one.
constexpr uint32_t kMinimumHostVersion = 1004;
constexpr uint32_t kQelhostVersion = kMinimumHostVersion;

}  // namespace qel_abi
