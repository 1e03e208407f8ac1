// A CPUID listing's text from its file. libcpuid keeps its larger test files compressed with
// xz (amd-epyc-7551p-32-core-processor.test.xz), and a listing may come gzipped: those are
// decompressed by the system's xz or gzip program, so that they replay as published.
#pragma once
#include <optional>
#include <string>

namespace qel {

// The file's text, decompressed where it starts with the xz or gzip magic. Nullopt where it
// cannot be read: *error stays empty where the file cannot be opened or read, and says why
// where it cannot be decompressed ("compressed with xz, and xz could not decompress it
// (exit status 1)"). A text longer than kMaximumListingBytes once decompressed is refused
// rather than held.
std::optional<std::string> ReadListingText(const std::string& path, std::string* error);

inline constexpr size_t kMaximumListingBytes = 64u << 20;

}  // namespace qel
