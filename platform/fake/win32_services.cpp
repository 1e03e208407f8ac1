// Scripted Win32 services for the unit tests, faithful to what Windows documents for the
// calls the library makes.
#include <string.h>

#include "platform/fake/fake_platform.h"
#include "resources/messages.h"

namespace {

struct MessageRow {
    uint32_t id;
    const char* text;
};

constexpr MessageRow kStringTable[] = {
    {KZ_MSG_DESCRIPTION, KZ_TEXT_DESCRIPTION},
    {KZ_MSG_INVALID_VERSION, KZ_TEXT_INVALID_VERSION},
    {KZ_MSG_INVALID_PARAMETER, KZ_TEXT_INVALID_PARAMETER},
    {KZ_MSG_SPEED_MODE, KZ_TEXT_SPEED_MODE},
    {KZ_MSG_BENCHMARK_LOOP, KZ_TEXT_BENCHMARK_LOOP},
};

}  // namespace

namespace platform {

int32_t LoadMessage(void* module, uint32_t id, char* buffer, int32_t size) {
    auto& fake = fake::services();
    fake.loaded_ids.push_back(id);
    fake.last_load_module = module;
    if (size <= 0)
        return -1;
    const char* text = "";
    for (const auto& row : kStringTable) {
        if (row.id == (id & 0xFFFF))
            text = row.text;
    }
    int32_t length = 0;
    while (text[length] != '\0' && length < size - 1) {
        buffer[length] = text[length];
        ++length;
    }
    buffer[length] = '\0';
    return length;
}

int32_t ShowMessageBox(void* owner, const char* text, const char* caption, uint32_t style) {
    auto& fake = fake::services();
    fake.message_boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
    return fake.message_box_answer;
}

void ReadMemoryStatus(MemoryStatus* status) {
    *status = fake::services().memory;
    status->length = sizeof(MemoryStatus);
}

char* CopyText(char* destination, const char* source) {
    return strcpy(destination, source);
}

char* CopyTextLimited(char* destination, const char* source, int32_t size) {
    char* to = destination;
    while (size > 1 && *source != '\0') {
        *to++ = *source++;
        --size;
    }
    if (size != 0)
        *to = '\0';
    return destination;
}

int32_t TextLength(const char* text) {
    return text ? static_cast<int32_t>(strlen(text)) : 0;
}

char* LowerText(char* text) {
    for (char* c = text; *c; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = static_cast<char>(*c - 'A' + 'a');
    }
    return text;
}

bool ReadCounterFrequency(uint64_t* counts_per_second) {
    auto& fake = fake::services();
    ++fake.counter_frequency_reads;
    if (!fake.counter_frequency) {
        *counts_per_second = 10000000;
        return true;
    }
    return fake.counter_frequency(counts_per_second);
}

bool ReadCounter(uint64_t* count) {
    auto& fake = fake::services();
    ++fake.counter_reads;
    *count = fake.counter ? fake.counter() : 0;
    return true;
}

uint32_t ReadTickCount() {
    auto& fake = fake::services();
    ++fake.tick_count_reads;
    return fake.tick_count ? fake.tick_count() : 0;
}

uint32_t ReadMultimediaTime() {
    auto& fake = fake::services();
    ++fake.multimedia_time_reads;
    return fake.multimedia_time ? fake.multimedia_time() : 0;
}

}  // namespace platform
