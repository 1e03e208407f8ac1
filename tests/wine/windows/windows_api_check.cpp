// The real DLL read and driven through the real Windows APIs (Wine's, or Windows' own), not
// through our loader and emulation: what LoadLibraryA, GetProcAddress, LoadStringA and the
// version API find in it, the host protocol through both exports, and cversioninfo's message
// box as a window of this process.
//
//   windows_api_check api DLL   the loader, the resources and the protocol
//   windows_api_check box DLL   cversioninfo(1) and (2): the box, closed with OK, then Cancel
//
// Prints one line per check ("ok ..." or "FAIL ..."); exits 0 when every check held.
#include <cpuid.h>
#include <string.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "abi/script_functions.h"
#include "host/protocol/extender_protocol.h"
#include "resources/messages.h"

namespace {

int failures = 0;

void Check(bool held, const std::string& what, const std::string& detail = "") {
    std::printf("%s %s%s%s\n", held ? "ok  " : "FAIL", what.c_str(), detail.empty() ? "" : ": ",
                detail.c_str());
    failures += held ? 0 : 1;
}

void CheckText(const std::string& what, const std::string& got, const std::string& expected) {
    Check(got == expected, what,
          got == expected ? "" : "\"" + got + "\", not \"" + expected + "\"");
}

void CheckNumber(const std::string& what, long long got, long long expected) {
    Check(got == expected, what,
          got == expected ? "" : std::to_string(got) + ", not " + std::to_string(expected));
}

// --- the loader ------------------------------------------------------------------------------

struct ExportCase {
    const char* name;
    WORD ordinal;
};
const ExportCase kExports[] = {{"_QELExtender2@40", 1}, {"_QELExtenderQuery@12", 2}};

qel::ExtenderEntries CheckLoader(HMODULE module, const std::string& path) {
    char loaded_from[MAX_PATH] = {};
    GetModuleFileNameA(module, loaded_from, MAX_PATH);
    Check(lstrcmpiA(loaded_from, path.c_str()) == 0, "LoadLibraryA loads the DLL from its path",
          loaded_from);
    FARPROC found[2] = {};
    for (int index = 0; index < 2; ++index) {
        const ExportCase& e = kExports[index];
        found[index] = GetProcAddress(module, e.name);
        const FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(e.ordinal));
        Check(found[index] != nullptr, std::string("GetProcAddress finds ") + e.name);
        Check(by_ordinal == found[index],
              std::string(e.name) + " is ordinal " + std::to_string(e.ordinal));
    }
    // Only the decorated names are exported, and nothing past ordinal 2.
    for (const char* absent : {"QELExtender2@40", "QELExtender2", "QELExtenderQuery"})
        Check(GetProcAddress(module, absent) == nullptr, std::string("no export ") + absent);
    Check(GetProcAddress(module, MAKEINTRESOURCEA(3)) == nullptr, "no ordinal 3");
    qel::ExtenderEntries entries;
    entries.dispatch = reinterpret_cast<qel::DispatchEntry>(reinterpret_cast<void*>(found[0]));
    entries.query = reinterpret_cast<qel::QueryEntry>(reinterpret_cast<void*>(found[1]));
    return entries;
}

// --- the string table ------------------------------------------------------------------------

struct StringCase {
    UINT id;
    int size;              // the buffer LoadStringA is given
    const char* expected;  // "" for a missing id
};
const StringCase kStrings[] = {
    {KZ_MSG_DESCRIPTION, 256, KZ_TEXT_DESCRIPTION},
    {KZ_MSG_INVALID_VERSION, 256, KZ_TEXT_INVALID_VERSION},
    {KZ_MSG_INVALID_PARAMETER, 256, KZ_TEXT_INVALID_PARAMETER},
    {KZ_MSG_SPEED_MODE, 256, KZ_TEXT_SPEED_MODE},
    {KZ_MSG_BENCHMARK_LOOP, 256, KZ_TEXT_BENCHMARK_LOOP},
    {KZ_MSG_DESCRIPTION, 5, "QEL "},  // at most size - 1 characters, then a NUL
    {KZ_MSG_DESCRIPTION, 1, ""},
    {KZ_MSG_UNKNOWN_FUNCTION, 256, ""},  // no text of its own
    {KZ_MSG_DESCRIPTION + 1, 256, ""},   // same block as the description, empty slot
    {KZ_MSG_BENCHMARK_LOOP + 1, 256, ""},
    {KZ_MSG_DESCRIPTION | 0x10000, 256, KZ_TEXT_DESCRIPTION},  // the high word is ignored
};

void CheckStrings(HMODULE module) {
    for (const StringCase& c : kStrings) {
        char buffer[300];
        memset(buffer, '#', sizeof buffer);
        const int length = LoadStringA(module, c.id, buffer, c.size);
        const std::string what =
            "LoadStringA " + std::to_string(c.id) + " size " + std::to_string(c.size);
        CheckText(what, std::string(buffer, strnlen(buffer, sizeof buffer)), c.expected);
        CheckNumber(what + " answers the length", length,
                    static_cast<long long>(strlen(c.expected)));
    }
}

// --- the version resource --------------------------------------------------------------------

struct VersionString {
    const char* name;
    const char* value;
};
const VersionString kVersionStrings[] = {
    {"Comments", ""},
    {"CompanyName", "KZPROBEX developers"},
    {"FileDescription", "KZPROBEX"},
    {"FileVersion", "44001, 0, 0, 0"},
    {"InternalName", "KZPROBEX"},
    {"LegalCopyright", "Copyright (C) 2026 KZPROBEX developers"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "KZPROBEX.dll"},
    {"PrivateBuild", ""},
    {"ProductName", "KZPROBEX QEL processor extender"},
    {"ProductVersion", "2004, 0, 0, 0"},
    {"SpecialBuild", ""},
};

void CheckVersionResource(const std::string& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    Check(size != 0, "GetFileVersionInfoSizeA finds a version resource");
    if (size == 0)
        return;
    std::vector<char> block(size);
    Check(GetFileVersionInfoA(path.c_str(), 0, size, block.data()) != 0, "GetFileVersionInfoA");
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        Check(false, "VerQueryValueA \\ gives VS_FIXEDFILEINFO");
        return;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const struct {
        const char* field;
        DWORD got, expected;
    } kFixed[] = {
        {"dwSignature", fixed->dwSignature, 0xFEEF04BD},
        {"dwFileVersionMS", fixed->dwFileVersionMS, DWORD{KZ_EXTENDER_VERSION} << 16},
        {"dwFileVersionLS", fixed->dwFileVersionLS, 1},
        {"dwProductVersionMS", fixed->dwProductVersionMS, 2004u << 16},
        {"dwProductVersionLS", fixed->dwProductVersionLS, 0},
        {"dwFileFlagsMask", fixed->dwFileFlagsMask, 0x3F},
        {"dwFileFlags", fixed->dwFileFlags, 0},
        {"dwFileOS", fixed->dwFileOS, VOS_NT_WINDOWS32},
        {"dwFileType", fixed->dwFileType, VFT_DLL},
        {"dwFileSubtype", fixed->dwFileSubtype, 0},
    };
    for (const auto& f : kFixed)
        CheckNumber(std::string("VS_FIXEDFILEINFO.") + f.field, f.got, f.expected);
    const bool translated =
        VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) && length == 4;
    CheckNumber("\\VarFileInfo\\Translation", translated ? *static_cast<DWORD*>(value) : 0,
                0x04B00409);  // language 0x0409, code page 1200
    for (const VersionString& s : kVersionStrings) {
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + s.name;
        char* text = nullptr;
        const bool found = VerQueryValueA(block.data(), query.c_str(),
                                          reinterpret_cast<void**>(&text), &length) != 0;
        Check(found, "VerQueryValueA " + query);
        if (found)
            CheckText(query, text != nullptr ? text : "", s.value);
    }
}

// --- the host protocol through both exports --------------------------------------------------

const char* const kNoArguments[qel_abi::kArgumentRecordCount] = {};

struct CallCase {
    uint32_t number;
    const char* argument;
    int32_t result_type;  // 1 value, 2 error text
    int32_t value;        // for a value
    const char* text;     // for an error
};

// cvendorid's code for the vendor this process's CPUID reports.
int32_t VendorCode() {
    unsigned registers[4] = {};
    if (!__get_cpuid(0, &registers[0], &registers[1], &registers[2], &registers[3]))
        return 0;
    char vendor[13] = {};
    memcpy(vendor, &registers[1], 4);
    memcpy(vendor + 4, &registers[3], 4);
    memcpy(vendor + 8, &registers[2], 4);
    const std::string name = vendor;
    return name == "GenuineIntel" ? 1 : name == "CyrixInstead" ? 2 : name == "AuthenticAMD" ? 3 : 0;
}

// What GlobalMemoryStatus tells this process, as cmemstat should report it.
DWORD PhysicalMemory() {
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return status.dwTotalPhys;
}

void CheckProtocol(const qel::ExtenderEntries& entries) {
    char description[qel::kDescriptionSize] = {};
    CheckNumber("query 1 answers the version", qel::QueryDescription(entries, description),
                KZ_EXTENDER_VERSION);
    CheckText("query 1 copies the description", description, KZ_TEXT_DESCRIPTION);
    int32_t list[] = {3, 4};
    CheckNumber("query 2 finds 4", entries.query(2, list, 2), 4);
    CheckNumber("query 2 looks at count entries only", entries.query(2, list, 1), -1);
    CheckNumber("query 3 answers 0", entries.query(3, list, 2), 0);

    char refusal[64] = "untouched";
    CheckNumber("handshake with host 1003", qel::Handshake(entries, 1003, refusal), -1);
    CheckText("handshake refusal text", refusal, "Need newer version of QEL DLL");
    strcpy(refusal, "untouched");
    CheckNumber("handshake with host 1004", qel::Handshake(entries, 1004, refusal), 10);
    CheckText("handshake accepts without a text", refusal, "untouched");

    struct Row {
        int32_t number, argument_count;
        const char* name;
    };
    const Row kRows[] = {
#define KZ_ROW(number, name, argument_count) {number, argument_count, #name},
        KZ_SCRIPT_FUNCTIONS(KZ_ROW)
#undef KZ_ROW
    };
    int32_t index = 0;
    for (const Row& row : kRows) {
        uint8_t record[qel::kFunctionDescriptorSize] = {};
        const std::string what = "enumeration row " + std::to_string(index);
        CheckNumber(what, qel::Enumerate(entries, index++, record), 1);
        int32_t field[2];
        memcpy(field, record, sizeof field);
        CheckNumber(what + " number", field[0], row.number);
        memcpy(&field[0], record + qel_abi::kDescriptorArgumentCountOffset, 4);
        CheckNumber(what + " argument count", field[0], row.argument_count);
        CheckText(what + " name",
                  reinterpret_cast<const char*>(record + qel_abi::kDescriptorNameOffset), row.name);
    }
    uint8_t past[qel::kFunctionDescriptorSize] = {};
    CheckNumber("enumeration ends after the last function", qel::Enumerate(entries, index, past),
                0);

    using namespace qel_abi::function_number;
    const CallCase kCalls[] = {
        {cversioninfo, "0", 1, KZ_EXTENDER_VERSION, nullptr},
        {cversioninfo, " +0", 1, KZ_EXTENDER_VERSION, nullptr},
        {cversioninfo, "abc", 2, 0, KZ_TEXT_INVALID_PARAMETER},
        {cversioninfo, "3", 2, 0, KZ_TEXT_INVALID_VERSION},
        {cversioninfo, nullptr, 2, 0, KZ_TEXT_INVALID_PARAMETER},
        {ccpuspeed, "fast", 2, 0, KZ_TEXT_SPEED_MODE},
        {ccpusupt, nullptr, 1, 1, nullptr},
        {cmemstat, nullptr, 1, static_cast<int32_t>(PhysicalMemory()), nullptr},
        {cvendorid, nullptr, 1, VendorCode(), nullptr},
        {ccpubenchmark, nullptr, 2, 0, KZ_TEXT_INVALID_PARAMETER},
        {99, nullptr, 2, 0, ""},  // a number the dispatcher does not know: error 901
    };
    for (const CallCase& c : kCalls) {
        const char* const arguments[qel_abi::kArgumentRecordCount] = {c.argument};
        const std::string what =
            "call " + std::to_string(c.number) + "(" + (c.argument ? c.argument : "absent") + ")";
        const qel::CallRecord record = qel::CallFunction(entries, c.number, arguments, 0x5EED);
        CheckNumber(what + " returns the callback's answer", record.returned, 0x5EED);
        CheckNumber(what + " calls back once", record.callbacks, 1);
        Check(record.arguments_handed_back, what + " hands back the host's records");
        CheckNumber(what + " result type", record.result_type, c.result_type);
        CheckNumber(what + " status", record.status, c.result_type == 1 ? 0 : -1);
        if (c.result_type == 1)
            CheckNumber(what + " value", record.value, c.value);
        else
            CheckText(what + " error text", std::string(record.text.view()), c.text);
    }
    const qel::CallRecord no_operation = qel::CallFunction(entries, 0xFFFD, kNoArguments, 7);
    CheckNumber("request -3 answers 1", no_operation.returned, 1);
    CheckNumber("request -3 calls nothing back", no_operation.callbacks, 0);
}

// --- the message box -------------------------------------------------------------------------

struct BoxSeen {
    HWND box = nullptr;
    bool inspected = false;
    bool destroyed = false;
    int button = IDOK;  // the button to close it with
};
BoxSeen seen;
HHOOK hook = nullptr;

LRESULT CALLBACK WatchWindows(int code, WPARAM wparam, LPARAM lparam) {
    char name[64] = {};
    if (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) {
        const HWND window = reinterpret_cast<HWND>(wparam);
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, "#32770") == 0 && code == HCBT_ACTIVATE && seen.box == nullptr)
            seen.box = window;
        if (window == seen.box && code == HCBT_DESTROYWND)
            seen.destroyed = true;
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

struct Child {
    std::string kind, text;
    int id;
    LONG style;
    bool visible;
};

BOOL CALLBACK AddChild(HWND window, LPARAM children) {
    char kind[64] = {}, text[256] = {};
    GetClassNameA(window, kind, sizeof kind);
    GetWindowTextA(window, text, sizeof text);
    reinterpret_cast<std::vector<Child>*>(children)->push_back({kind, text, GetDlgCtrlID(window),
                                                                GetWindowLongA(window, GWL_STYLE),
                                                                IsWindowVisible(window) != FALSE});
    return TRUE;
}

// "[text]", built by appending: GCC 12 misreads "[" + std::string as an overlapping copy.
std::string Bracketed(const std::string& text) {
    std::string bracketed(1, '[');
    bracketed.append(text).push_back(']');
    return bracketed;
}

// The box as it stands on the screen, then a click on the button to close it with.
void InspectAndClose(HWND owner, const std::string& argument) {
    const HWND box = seen.box;
    char caption[128] = {};
    GetWindowTextA(box, caption, sizeof caption);
    CheckText("box caption", caption, "Extender Version");
    Check(GetWindow(box, GW_OWNER) == owner, "the box is owned by the host's window");
    std::vector<Child> children;
    EnumChildWindows(box, AddChild, reinterpret_cast<LPARAM>(&children));
    std::string buttons, texts;
    HICON icon = nullptr;
    for (const Child& child : children) {
        if (!child.visible)
            continue;
        if (lstrcmpiA(child.kind.c_str(), "Button") == 0)
            buttons += Bracketed(std::to_string(child.id) + " " + child.text);
        else if ((child.style & SS_TYPEMASK) == SS_ICON)
            icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, child.id, STM_GETICON, 0, 0));
        else if (lstrcmpiA(child.kind.c_str(), "Static") == 0)
            texts += Bracketed(child.text);
    }
    CheckText("box buttons", buttons, "[1 OK][2 Cancel]");
    CheckText("box text is the argument exactly", texts, Bracketed(argument));
    Check(icon != nullptr && icon == LoadIconA(nullptr, IDI_INFORMATION),
          "box shows the information icon");
    PostMessageA(GetDlgItem(box, seen.button), BM_CLICK, 0, 0);
    seen.inspected = true;
}

HWND owner_window = nullptr;
std::string box_argument;

void CALLBACK LookForBox(HWND, UINT, UINT_PTR timer, DWORD) {
    if (seen.inspected || seen.box == nullptr || !IsWindowVisible(seen.box))
        return;
    KillTimer(nullptr, timer);
    InspectAndClose(owner_window, box_argument);
}

void CheckBox(const qel::ExtenderEntries& entries, const char* argument, int button,
              int32_t expected) {
    seen = BoxSeen{};
    seen.button = button;
    box_argument = argument;
    SetTimer(nullptr, 0, 50, LookForBox);
    const char* const arguments[qel_abi::kArgumentRecordCount] = {argument};
    const std::string what = std::string("cversioninfo(") + argument + ") closed with " +
                             (button == IDOK ? "OK" : "Cancel");
    const qel::CallRecord record =
        qel::CallFunction(entries, qel_abi::function_number::cversioninfo, arguments, 0,
                          static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner_window)));
    Check(seen.inspected && seen.destroyed, what + ": the box was shown and closed by the click");
    CheckNumber(what + " reports", record.value, expected);
}

void CheckBoxes(const qel::ExtenderEntries& entries) {
    owner_window = CreateWindowA("STATIC", "qelhost", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    hook = SetWindowsHookExA(WH_CBT, WatchWindows, nullptr, GetCurrentThreadId());
    Check(owner_window != nullptr && hook != nullptr, "a window and a CBT hook for the box");
    CheckBox(entries, " +1", IDOK, qel_abi::kScriptFunctionCount);  // the text as passed
    CheckBox(entries, "002", IDCANCEL, 0);
    UnhookWindowsHookEx(hook);
    DestroyWindow(owner_window);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (strcmp(argv[1], "api") != 0 && strcmp(argv[1], "box") != 0)) {
        std::fprintf(stderr, "usage: windows_api_check api|box KZPROBEX.dll\n");
        return 2;
    }
    // LoadLibraryA by full path, never by the search order.
    char full[MAX_PATH] = {};
    GetFullPathNameA(argv[2], MAX_PATH, full, nullptr);
    const std::string path = full;
    const HMODULE module = LoadLibraryA(path.c_str());
    Check(module != nullptr, "LoadLibraryA " + path,
          module != nullptr ? "" : "error " + std::to_string(GetLastError()));
    if (module == nullptr)
        return 1;
    const qel::ExtenderEntries entries = CheckLoader(module, path);
    if (entries.dispatch == nullptr || entries.query == nullptr)
        return 1;
    if (strcmp(argv[1], "api") == 0) {
        CheckStrings(module);
        CheckVersionResource(path);
        CheckProtocol(entries);
    } else {
        CheckBoxes(entries);
    }
    FreeLibrary(module);
    std::printf("%d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
