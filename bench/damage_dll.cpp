// Writes a damaged copy of a DLL, the damage drawn from a seed: flipped bits anywhere, a
// truncation, overwritten 32-bit words, or overwritten bytes in the code (traps, invalid
// opcodes, jumps to themselves, returns, random bytes). Prints the kind of damage.
//
//   damage_dll INPUT OUTPUT SEED
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "host/loader/pe_headers.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The file offsets of the code sections' data.
std::vector<std::pair<uint32_t, uint32_t>> CodeRanges(const Bytes& file) {
    qel::PeHeaders headers;
    qel::LoadFailure failure;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    if (!qel::ParsePeHeaders(file, &headers, &failure))
        return ranges;
    for (const qel::Section& section : headers.sections) {
        if (section.holds_code() && section.raw_size != 0)
            ranges.push_back({section.raw_offset, section.raw_size});
    }
    return ranges;
}

// Instruction bytes that stop or derail a processor.
const std::vector<Bytes> kCodeDamage = {
    {0xCC},                                                  // int3
    {0x0F, 0x0B},                                            // ud2
    {0xEB, 0xFE},                                            // jmp to itself
    {0xF4},                                                  // hlt: privileged
    {0xC3},                                                  // ret with the wrong stack
    {0x31, 0xC0, 0xF7, 0xF0},                                // xor eax, eax; div eax
    {0xFF, 0xE0},                                            // jmp eax
    {0x89, 0x00},                                            // mov [eax], eax
    {0xCD, 0x80},                                            // int 0x80
    {0x9C, 0x81, 0x0C, 0x24, 0x00, 0x01, 0x00, 0x00, 0x9D},  // set the trap flag
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: damage_dll INPUT OUTPUT SEED\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < 64) {
        fprintf(stderr, "damage_dll: cannot read %s\n", argv[1]);
        return 2;
    }
    std::mt19937 random(static_cast<uint32_t>(strtoul(argv[3], nullptr, 10)));
    auto below = [&](size_t bound) { return static_cast<size_t>(random() % bound); };
    const auto code = CodeRanges(file);
    const char* kind = nullptr;
    switch (below(4)) {
        case 0: {
            kind = "bit flips";
            for (size_t flips = 1 + below(8); flips > 0; --flips)
                file[below(file.size())] ^= static_cast<uint8_t>(1u << below(8));
            break;
        }
        case 1: {
            kind = "truncation";
            file.resize(below(file.size()));
            break;
        }
        case 2: {
            kind = "overwritten words";
            const uint32_t kValues[] = {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x1000};
            for (size_t words = 1 + below(4); words > 0; --words) {
                const uint32_t value =
                    below(2) ? static_cast<uint32_t>(random()) : kValues[below(std::size(kValues))];
                const size_t at = below(file.size() - 3);
                for (int i = 0; i < 4; ++i)
                    file[at + i] = static_cast<uint8_t>(value >> (8 * i));
            }
            break;
        }
        default: {
            kind = "code bytes";
            if (code.empty())
                break;
            const auto& [start, size] = code[below(code.size())];
            for (size_t patches = 1 + below(3); patches > 0; --patches) {
                Bytes bytes = kCodeDamage[below(kCodeDamage.size())];
                if (below(4) == 0) {
                    bytes.assign(1 + below(8), 0);
                    for (uint8_t& byte : bytes)
                        byte = static_cast<uint8_t>(random());
                }
                const size_t at = start + below(size);
                for (size_t i = 0; i < bytes.size() && at + i < file.size(); ++i)
                    file[at + i] = bytes[i];
            }
            break;
        }
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    printf("%s\n", kind);
    return out ? 0 : 2;
}
