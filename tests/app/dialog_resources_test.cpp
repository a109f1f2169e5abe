// The dialog template and version resource as built into veltrane.exe, the
// dialog procedure's answers, and the default configuration name.
#include "app/main_dialog.h"
#include "app/resource.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

class DataModule {
public:
    DataModule() : module(LoadLibraryExA(driver::VeltranePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule() {
        if (module != nullptr) FreeLibrary(module);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    // The bytes of one resource in US English; empty when it is missing.
    std::vector<unsigned char> Resource(LPCSTR type, int id) const {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr) return {};
        const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(module, found));
    }

    HMODULE module;
};

// Reads a classic dialog template.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes(bytes) {}
    DWORD Dword() { DWORD v = 0; Copy(&v, 4); return v; }
    int Word() { WORD v = 0; Copy(&v, 2); return v; }
    int Short() { SHORT v = 0; Copy(&v, 2); return v; }
    // A string, or "#" and the number of an ordinal.
    std::string Text() {
        std::string text;
        int c = Word();
        if (c == 0xFFFF) return "#" + std::to_string(Word());
        for (; c != 0 && at < bytes.size(); c = Word()) text += static_cast<char>(c);
        return text;
    }
    void Align() { at = (at + 3) & ~size_t{3}; }

private:
    void Copy(void* out, size_t size) {
        if (at + size <= bytes.size()) std::memcpy(out, bytes.data() + at, size);
        at += size;
    }
    const std::vector<unsigned char>& bytes;
    size_t at = 0;
};

struct Item {
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy, id;
    std::string kind, text;
    int extra;
};

std::string ClassAtom(std::string name) {
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (name == "BUTTON") return "#128";
    if (name == "EDIT") return "#129";
    if (name == "STATIC") return "#130";
    if (name == "COMBOBOX") return "#133";
    return name;
}

}  // namespace

TEST_CASE(DialogTemplate) {
    DataModule exe;
    const std::vector<unsigned char> bytes = exe.Resource(RT_DIALOG, IDD_MAIN);
    REQUIRE(bytes.size() > 18);
    TemplateReader read(bytes);
    CHECK_EQ(read.Dword(), 0x80C808C0u);
    CHECK_EQ(read.Dword(), 0u);
    const int count = read.Word();
    CHECK_EQ(count, 10);
    const int x = read.Short(), y = read.Short(), cx = read.Short(), cy = read.Short();
    CHECK_EQ((std::vector<int>{x, y, cx, cy}), (std::vector<int>{0, 0, 226, 188}));
    CHECK_EQ(read.Text(), "");  // no menu
    CHECK_EQ(read.Text(), "");  // the standard dialog class
    CHECK_EQ(read.Text(), "Veltrane by Dunmere");
    CHECK_EQ(read.Word(), 8);
    CHECK_EQ(read.Text(), "MS Sans Serif");

    const std::vector<Item> expected = {
        {0x50010001, 0, 169, 167, 50, 14, IDOK, "#128", "OK", 0},
        {0x50010000, 0, 115, 167, 50, 14, IDCANCEL, "#128", "Close", 0},
        {0x50020000, 0, 7, 7, 212, 82, IDC_DESCRIPTION, "#130", "blah", 0},
        {0x50020009, 0, 7, 91, 212, 10, IDC_SAVE, "#128", "Save my startup configuration so that I can use it later.", 0},
        {0x50000009, 0, 7, 136, 212, 10, IDC_LOAD, "#128", "Load my startup configuration from previously saved data.", 0},
        {0x50020007, 0, 19, 103, 199, 31, IDC_NAME_GROUP, "#128", "Configuration Name", 0},
        {0x50810080, 0, 24, 114, 190, 15, IDC_NAME, "#129", "", 0},
        {0x58210103, 0, 20, 147, 199, 68, IDC_CONFIGURATIONS, "#133", "", 0},
        {0x50010000, 0, 7, 167, 50, 14, IDC_CHANGES, "#128", "Changes...", 0},
        {0x50010000, 0, 61, 167, 50, 14, IDC_DELETE, "#128", "Delete", 0},
    };
    for (int i = 0; i < count && i < static_cast<int>(expected.size()); ++i) {
        read.Align();
        Item item{};
        item.style = read.Dword();
        item.exStyle = read.Dword();
        item.x = read.Short(), item.y = read.Short(), item.cx = read.Short(), item.cy = read.Short();
        item.id = read.Word();
        item.kind = read.Text();
        item.text = read.Text();
        item.extra = read.Word();
        const Item& want = expected[static_cast<size_t>(i)];
        CHECK_EQ(item.style, want.style);
        CHECK_EQ(item.exStyle, 0u);
        CHECK_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy, item.id}),
                 (std::vector<int>{want.x, want.y, want.cx, want.cy, want.id}));
        // Resource compilers store the predefined classes by name or by atom.
        CHECK(item.kind == want.kind || ClassAtom(item.kind) == want.kind);
        CHECK_EQ(item.text, want.text);
        CHECK_EQ(item.extra, 0);
    }
}

TEST_CASE(VersionResource) {
    DataModule exe;
    const std::vector<unsigned char> bytes = exe.Resource(RT_VERSION, 1);
    REQUIRE(!bytes.empty());
    auto contains = [&](const std::wstring& text) {
        const auto* begin = reinterpret_cast<const unsigned char*>(text.c_str());
        return std::search(bytes.begin(), bytes.end(), begin, begin + text.size() * 2) != bytes.end();
    };
    CHECK(contains(L"CompanyName"));
    CHECK(contains(L"Ostrel"));
    CHECK(contains(L"ProductName"));
    CHECK(contains(L"Veltrane"));
    CHECK(contains(L"1.0.0"));
    const DWORD signature = 0xFEEF04BD;
    const auto* mark = reinterpret_cast<const unsigned char*>(&signature);
    const auto fixed = std::search(bytes.begin(), bytes.end(), mark, mark + 4);
    REQUIRE(fixed + sizeof(VS_FIXEDFILEINFO) <= bytes.end());
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, &*fixed, sizeof info);
    CHECK_EQ(info.dwFileVersionMS, 0x00010000u);
    CHECK_EQ(info.dwProductVersionMS, 0x00010000u);
}

TEST_CASE(DialogProcedureAnswers) {
    DataModule exe;
    HWND window = CreateDialogParamA(exe.module, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProcedure, 0);
    REQUIRE(window != nullptr);
    CHECK(GetWindowLongPtrA(window, DWLP_USER) != 0);
    CHECK_EQ(MainDialogProcedure(window, WM_COMMAND, 4242, 0), 1);
    CHECK_EQ(MainDialogProcedure(window, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED), 0), 1);
    CHECK_EQ(MainDialogProcedure(window, WM_NULL, 0, 0), 0);
    CHECK_EQ(MainDialogProcedure(window, WM_DESTROY, 0, 0), 0);
    CHECK_EQ(GetWindowLongPtrA(window, DWLP_USER), 0);
    // With the slot empty nothing is handled.
    CHECK_EQ(MainDialogProcedure(window, WM_COMMAND, 4242, 0), 0);
    CHECK_EQ(MainDialogProcedure(window, WM_INITDIALOG, 0, 0), 0);
    CHECK(GetWindowLongPtrA(window, DWLP_USER) != 0);
    DestroyWindow(window);
}

TEST_CASE(DefaultNameIsEnglishAndZeroPadded) {
    SYSTEMTIME time{};
    time.wYear = 2000, time.wMonth = 3, time.wDayOfWeek = 2, time.wDay = 7;
    time.wHour = 9, time.wMinute = 5, time.wSecond = 3;
    CHECK_EQ(DefaultConfigurationName(time), "Backup Tue Mar 07 09:05:03 2000");
    time.wYear = 2023, time.wMonth = 12, time.wDayOfWeek = 0, time.wDay = 31;
    time.wHour = 23, time.wMinute = 59, time.wSecond = 58;
    CHECK_EQ(DefaultConfigurationName(time), "Backup Sun Dec 31 23:59:58 2023");
    time.wMonth = 1, time.wDayOfWeek = 6, time.wDay = 1, time.wHour = 0;
    CHECK_EQ(DefaultConfigurationName(time), "Backup Sat Jan 01 00:59:58 2023");
}
