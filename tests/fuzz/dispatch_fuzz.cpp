// The two exports over the fake platform, driven as a careless host could: any function
// number, argument records with any texts or none, null result records and callbacks, any
// handshake version, enumeration index and query. The scripted processor and clocks come
// from the input too; every clock advances, so the timed functions end. Each buffer handed
// to the library is exactly as large as the library may use, so ASan sees a byte too far.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <memory>
#include <source_location>
#include <string>
#include <vector>

#include "extender/exports.h"
#include "extender/function_table.h"
#include "extender/module.h"
#include "extender/numeric_text.h"
#include "extender/report.h"
#include "platform/fake/fake_platform.h"
#include "resources/messages.h"

namespace {

// A broken promise stops the fuzzer, naming the check.
void Require(bool condition, std::source_location where = std::source_location::current()) {
    if (!condition) {
        fprintf(stderr, "check failed: %s:%u\n", where.file_name(), where.line());
        __builtin_trap();
    }
}

constexpr uint8_t kFill = 0xA5;  // what the host left in its records
constexpr uint32_t kResultRecordBytes = 36;
constexpr uint32_t kHandshakeBufferBytes = 30;
constexpr int32_t kMostBenchmarkRuns = 64;

// Exactly `size` bytes on the heap, filled with kFill.
std::unique_ptr<uint8_t[]> Block(size_t size) {
    auto block = std::make_unique<uint8_t[]>(size);
    memset(block.get(), kFill, size);
    return block;
}

std::unique_ptr<char[]> Text(const std::string& text) {
    auto copy = std::make_unique<char[]>(text.size() + 1);
    memcpy(copy.get(), text.c_str(), text.size() + 1);
    return copy;
}

const char* const kVendors[] = {"GenuineIntel", "AuthenticAMD", "CyrixInstead",
                                "HygonGenuine", "CentaurHauls", "GenuineIotel"};

// A processor, clocks and memory from the input. The step of each clock is at least 1.
void ScriptPlatform(FuzzedDataProvider& input) {
    fake::Reset();
    DllMain(reinterpret_cast<void*>(0x10000000), 1, nullptr);
    fake::Processor& cpu = fake::processor();
    cpu.has_cpuid = input.ConsumeBool();
    if (input.ConsumeBool()) {
        const std::string vendor = input.ConsumeBytesAsString(12);
        memset(cpu.vendor, 0, sizeof cpu.vendor);
        memcpy(cpu.vendor, vendor.data(), vendor.size());
    } else {
        strcpy(cpu.vendor, input.PickValueInArray(kVendors));
    }
    cpu.highest_basic_leaf = input.ConsumeIntegral<uint32_t>();
    cpu.leaf1_eax = input.ConsumeIntegral<uint32_t>();
    cpu.leaf1_edx = input.ConsumeIntegral<uint32_t>();
    cpu.legacy_class = static_cast<fake::LegacyClass>(input.ConsumeIntegralInRange(0, 3));
    cpu.division_keeps_zero_flag = input.ConsumeBool();
    // An exhausted input reads 0: make that the fastest counter, not the slowest.
    const uint64_t counter_step = 1 + (input.ConsumeIntegral<uint16_t>() ^ 0x0FFF);
    const uint64_t stamp_step = input.ConsumeIntegral<uint32_t>();
    const uint32_t tick_step = input.ConsumeIntegral<uint32_t>();
    const uint32_t timer_step = 1 + (input.ConsumeIntegral<uint16_t>() ^ 0x00FF) % 2000;
    cpu.time_stamp = [stamp = input.ConsumeIntegral<uint64_t>(), stamp_step]() mutable {
        return stamp += stamp_step;
    };
    fake::Services& services = fake::services();
    const uint64_t frequency = input.ConsumeIntegral<uint64_t>();
    const bool frequency_known = input.ConsumeBool();
    services.counter_frequency = [frequency, frequency_known](uint64_t* answer) {
        *answer = frequency;
        return frequency_known;
    };
    services.counter = [count = input.ConsumeIntegral<uint64_t>(), counter_step]() mutable {
        return count += counter_step;
    };
    services.tick_count = [ticks = input.ConsumeIntegral<uint32_t>(), tick_step]() mutable {
        return ticks += tick_step;
    };
    services.multimedia_time = [time = input.ConsumeIntegral<uint32_t>(), timer_step]() mutable {
        return time += timer_step;
    };
    services.memory.total_phys = input.ConsumeIntegral<uint32_t>();
    services.message_box_answer = input.ConsumeIntegral<int32_t>();
}

struct CallbackLog {
    int calls = 0;
    int32_t status = 0;
    uint32_t context = 0;
    void* host_info = nullptr;
    void* result = nullptr;
    int32_t answer = 0;
};
CallbackLog callback_log;

KZ_STDCALL int32_t Callback(int32_t status, uint32_t context, void* host_info, void* result) {
    ++callback_log.calls;
    callback_log.status = status;
    callback_log.context = context;
    callback_log.host_info = host_info;
    callback_log.result = result;
    return callback_log.answer;
}

uint32_t Word(const uint8_t* record, uint32_t offset) {
    return LoadWord(record, offset);
}

// A script call: function number, argument records (or none), result record and callback
// (or none). Checks that exactly one outcome reached the host, as the library promises.
void ScriptCall(FuzzedDataProvider& input) {
    uint32_t number = input.ConsumeIntegral<uint32_t>();
    if ((number & 0xFFFF) == 0xFFFF || (number & 0xFFFF) == 0xFFFE)
        number &= ~0x8000u;  // the set-up requests have calls of their own below
    std::unique_ptr<char[]> texts[kArgumentCount];
    std::unique_ptr<uint8_t[]> records;
    if (input.ConsumeBool()) {
        records = Block(kArgumentCount * kArgumentRecordSize);
        for (int i = 0; i < kArgumentCount; ++i) {
            uint32_t pointer = 0;
            if (input.ConsumeBool()) {
                std::string text = input.ConsumeRandomLengthString(24);
                // A benchmark of millions of runs is as right as one of a few; keep it short.
                if (i == 1 && static_cast<int16_t>(number) == 9 && text[0] != '0' &&
                    ParseNumericText(text.c_str()) > kMostBenchmarkRuns) {
                    text = std::to_string(ParseNumericText(text.c_str()) % kMostBenchmarkRuns);
                }
                texts[i] = Text(text);
                pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(texts[i].get()));
            }
            StoreWord(records.get(), i * kArgumentRecordSize + kArgumentTextOffset, pointer);
        }
    }
    std::unique_ptr<uint8_t[]> result = input.ConsumeBool() ? Block(kResultRecordBytes) : nullptr;
    const bool with_callback = input.ConsumeBool();
    const uint32_t context = input.ConsumeIntegral<uint32_t>();
    callback_log = CallbackLog{};
    callback_log.answer = input.ConsumeIntegral<int32_t>();
    uint8_t host_info[12] = {};

    const int32_t returned =
        QELExtender2(nullptr, 0, context, number, with_callback ? &Callback : nullptr, host_info, 0,
                     records.get(), 0, result.get());

    const int16_t selected = static_cast<int16_t>(number & 0xFFFF);
    if (selected == -3) {
        Require(returned == 1 && callback_log.calls == 0);
        return;
    }
    Require(callback_log.calls == (with_callback ? 1 : 0));
    const int32_t status = with_callback ? callback_log.status : returned;
    Require(status == 0 || status == -1);
    if (with_callback) {
        Require(returned == callback_log.answer && callback_log.context == context &&
                callback_log.host_info == host_info && callback_log.result == result.get());
    }
    const bool known = selected >= 1 && selected <= kFunctionCount;
    if (!known)
        Require(status == -1);
    if (result == nullptr)
        return;
    const uint32_t untouched = 0xA5A5A5A5;
    if (status == 0) {
        Require(Word(result.get(), kResultTypeOffset) == kResultTypeValue);
        Require(Word(result.get(), kResultTextOffset) == untouched);
        if (selected == 7)
            Require(Word(result.get(), kResultValueOffset) == fake::services().memory.total_phys);
    } else {
        Require(Word(result.get(), kResultTypeOffset) == kResultTypeText);
        Require(Word(result.get(), kResultValueOffset) == untouched);
        Require(Word(result.get(), kResultTextOffset) ==
                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(MessageBuffer)));
        // 901 carries the empty text; every other error begins with its number.
        Require(known ? strncmp(MessageBuffer, "171", 3) == 0 : MessageBuffer[0] == '\0');
    }
}

void HandshakeCall(FuzzedDataProvider& input) {
    const uint32_t version = input.ConsumeIntegral<uint32_t>();
    uint8_t host_info[12];
    StoreWord(host_info, kHostVersionOffset, version);
    const bool with_host_info = input.ConsumeBool();
    auto buffer = input.ConsumeBool() ? Block(kHandshakeBufferBytes) : nullptr;
    const int32_t returned =
        QELExtender2(nullptr, 0, 0, 0xFFFFu | input.ConsumeIntegral<uint32_t>() << 16, nullptr,
                     with_host_info ? host_info : nullptr, 0, buffer.get(), 0, nullptr);
    const bool accepted = with_host_info && version >= kMinimumHostVersion;
    Require(returned == (accepted ? kFunctionCount : -1));
    if (buffer != nullptr && !accepted)
        Require(strcmp(reinterpret_cast<char*>(buffer.get()), "Need newer version of QEL DLL") ==
                0);
}

void EnumerationCall(FuzzedDataProvider& input) {
    const int32_t index = input.ConsumeBool() ? input.ConsumeIntegralInRange(-1, 11)
                                              : input.ConsumeIntegral<int32_t>();
    auto record = input.ConsumeBool() ? Block(sizeof(FunctionDescriptor)) : nullptr;
    const int32_t returned =
        QELExtender2(nullptr, 0, 0, 0xFFFEu, nullptr, nullptr, 0, record.get(), index, nullptr);
    const bool row = index >= 0 && index < kFunctionCount;
    Require(returned == (row ? 1 : 0));
    if (record != nullptr && row) {
        FunctionDescriptor copy;
        memcpy(&copy, record.get(), sizeof copy);
        Require(copy.identifier == index + 1 && copy.kind == 2 &&
                copy.name_length == static_cast<int16_t>(strlen(copy.name)));
    }
}

void QueryCall(FuzzedDataProvider& input) {
    const uint32_t code = input.ConsumeIntegral<uint32_t>();
    // The host's buffer or list is as long as the count it gives, or absent.
    const int32_t count = input.ConsumeIntegralInRange(-2, 300);
    const size_t bytes = count > 0 ? static_cast<size_t>(count) * 4 : 0;
    std::unique_ptr<uint8_t[]> block;
    if (input.ConsumeBool()) {
        block = Block(bytes);
        const std::vector<uint8_t> contents = input.ConsumeBytes<uint8_t>(bytes);
        if (!contents.empty())
            memcpy(block.get(), contents.data(), contents.size());
    }
    const int16_t selected = static_cast<int16_t>(code & 0xFFFF);
    const int32_t returned = QELExtenderQuery(code, block.get(), count);
    if (selected == 1)
        Require(returned == KZ_EXTENDER_VERSION);
    else if (selected == 2)
        Require(returned == 4 || returned == -1);
    else
        Require(returned == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    ScriptPlatform(input);
    for (int request = 0; request < 6 && input.remaining_bytes() > 0; ++request) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0:
                ScriptCall(input);
                break;
            case 1:
                HandshakeCall(input);
                break;
            case 2:
                EnumerationCall(input);
                break;
            default:
                QueryCall(input);
                break;
        }
    }
    return 0;
}
