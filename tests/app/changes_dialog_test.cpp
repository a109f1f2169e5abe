// Shows the program's Changes view from a thread of this test program, which
// links the program's dialog templates: the list's notifications carry
// pointers, and Wine passes them to no other process.
#include "app/changes_dialog.h"
#include "app/resource.h"
#include "catalog/startup_location_set.h"
#include "harness/check.h"
#include "harness/dialog_driver.h"
#include "harness/fixtures.h"
#include "harness/live_locations.h"

#include <commctrl.h>
#include <ole2.h>

#include <numeric>
#include <string>
#include <vector>

namespace {

// Too long for the view as it opens, short enough for a screen's width.
const std::string kLongCommand = "C:\\Long.exe " + std::string(70, 'x');

// The view of the configuration "Work" (HKCU Run: Work) while HKCU Run holds
// Long, Other and Work, shown as the main dialog shows it, and closed with the
// object.
class HostedView {
public:
    HostedView() {
        fixture::ClearLiveLocations();
        fixture::ClearConfigurations();
        fixture::SetString(HKEY_CURRENT_USER, std::string(fixture::kConfigurations) + "\\Work\\HKCU-Run\\Enabled",
                           "Work", "C:\\Work.exe");
        fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Long", kLongCommand);
        fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Other", "C:\\Other.exe");
        fixture::SetString(HKEY_CURRENT_USER, fixture::kHkcuRun, "Work", "C:\\Work.exe");
        thread.reset(CreateThread(nullptr, 0, Show, nullptr, 0, nullptr));
        for (int wait = 0; wait < 1500 && window == nullptr; ++wait) {
            Sleep(20);
            HWND found = FindWindowA("#32770", "Veltrane - Changes");
            if (found != nullptr && IsWindowVisible(found)) window = found;
        }
    }
    ~HostedView() {
        if (window != nullptr) driver::Close(window);
        WaitForSingleObject(thread.get(), 30000);
    }
    HostedView(const HostedView&) = delete;
    HostedView& operator=(const HostedView&) = delete;

    HWND window = nullptr;

private:
    static DWORD WINAPI Show(void*) {
        OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        StartupLocationSet& locations = GetStartupLocationSet();
        locations.BuildCatalog();
        ShowChanges(nullptr, "Work", true);
        locations.ClearSlots();
        OleUninitialize();
        return 0;
    }

    UniqueHandle thread;
};

// Where each control that follows the window's size is, in the window's client area.
std::vector<RECT> Places(HWND window) {
    std::vector<RECT> places;
    for (const int id : {IDC_CHANGE_SUMMARY, IDC_CHANGE_LIST, IDC_SHOW_KEPT, IDOK, IDCANCEL}) {
        RECT place{};
        GetWindowRect(GetDlgItem(window, id), &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        places.push_back(place);
    }
    return places;
}

// How far each control moved (left, top) and grew (width, height) since `before`.
std::vector<std::vector<LONG>> Moves(const std::vector<RECT>& before, const std::vector<RECT>& after) {
    std::vector<std::vector<LONG>> moves;
    for (size_t index = 0; index < before.size(); ++index) {
        const RECT& was = before[index];
        const RECT& is = after[index];
        moves.push_back({is.left - was.left, is.top - was.top, (is.right - is.left) - (was.right - was.left),
                         (is.bottom - is.top) - (was.bottom - was.top)});
    }
    return moves;
}

std::vector<int> ColumnWidths(HWND list) {
    std::vector<int> widths;
    for (int column = 0; column < 6; ++column) {
        widths.push_back(static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0)));
    }
    return widths;
}

int Sum(const std::vector<int>& widths) { return std::accumulate(widths.begin(), widths.end(), 0); }

int ListWidth(HWND list) {
    RECT room{};
    GetClientRect(list, &room);
    return room.right;
}

std::vector<LONG> WindowSize(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

TEST_CASE(TheViewGrowsWithItsWindowAndNeverShrinksBelowItsOpeningSize) {
    HostedView view;
    REQUIRE(view.window != nullptr);
    CHECK_EQ(GetWindowLongA(view.window, GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), WS_THICKFRAME | WS_MAXIMIZEBOX);
    const std::vector<LONG> opened = WindowSize(view.window);
    const std::vector<RECT> places = Places(view.window);
    SetWindowPos(view.window, nullptr, 0, 0, opened[0] + 200, opened[1] + 100, SWP_NOMOVE | SWP_NOZORDER);
    // The summary grows in width, the list both ways; the check box keeps to
    // the bottom left, the buttons to the bottom right.
    CHECK_EQ(Moves(places, Places(view.window)), (std::vector<std::vector<LONG>>{
        {0, 0, 200, 0}, {0, 0, 200, 100}, {0, 100, 0, 0}, {200, 100, 0, 0}, {200, 100, 0, 0}}));
    SetWindowPos(view.window, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
    CHECK_EQ(WindowSize(view.window), opened);
    CHECK_EQ(Moves(places, Places(view.window)), std::vector<std::vector<LONG>>(5, {0, 0, 0, 0}));
}

TEST_CASE(RowsThatStayAreDrawnGrey) {
    HostedView view;
    REQUIRE(view.window != nullptr);
    driver::Click(view.window, IDC_SHOW_KEPT);
    HWND list = GetDlgItem(view.window, IDC_CHANGE_LIST);
    std::vector<std::string> rows = driver::ListViewRows(view.window, IDC_CHANGE_LIST);
    REQUIRE(rows.size() >= 3);
    rows.resize(3);  // then the prefix's own services, which stay as they are
    REQUIRE(rows ==
            (std::vector<std::string>{"HKCU-Run|Long|remove|" + kLongCommand + "||",
                                      "HKCU-Run|Other|remove|C:\\Other.exe||",
                                      "HKCU-Run|Work|keep|C:\\Work.exe|C:\\Work.exe|program not found"}));
    // What the list asks before it draws each row, and the text colour it is given.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {list, IDC_CHANGE_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    CHECK_EQ(SendMessageA(view.window, WM_NOTIFY, IDC_CHANGE_LIST, reinterpret_cast<LPARAM>(&draw)),
             CDRF_NOTIFYITEMDRAW);
    std::vector<COLORREF> colours;
    for (int row = 0; row < 3; ++row) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.nmcd.lItemlParam = item.lParam;
        draw.clrText = GetSysColor(COLOR_WINDOWTEXT);
        SendMessageA(view.window, WM_NOTIFY, IDC_CHANGE_LIST, reinterpret_cast<LPARAM>(&draw));
        colours.push_back(draw.clrText);
    }
    const COLORREF normal = GetSysColor(COLOR_WINDOWTEXT);
    CHECK_EQ(colours, (std::vector<COLORREF>{normal, normal, GetSysColor(COLOR_GRAYTEXT)}));
    CHECK(GetSysColor(COLOR_WINDOWTEXT) != GetSysColor(COLOR_GRAYTEXT));
}

TEST_CASE(ColumnsAreAsWideAsTheirTextsOrShareTheList) {
    HostedView view;
    REQUIRE(view.window != nullptr);
    HWND list = GetDlgItem(view.window, IDC_CHANGE_LIST);
    auto textWidth = [&](const std::string& text) {
        return static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str())));
    };
    // The long command does not fit: the text columns share what the others leave.
    const std::vector<int> opened = ColumnWidths(list);
    CHECK_EQ(Sum(opened), ListWidth(list));
    CHECK(opened[3] < textWidth(kLongCommand));
    CHECK(opened[2] > textWidth("remove"));
    // In a window wide enough for everything, every column fits its longest text.
    const std::vector<LONG> size = WindowSize(view.window);
    SetWindowPos(view.window, nullptr, 0, 0, size[0] + 2000, size[1], SWP_NOMOVE | SWP_NOZORDER);
    const std::vector<int> wide = ColumnWidths(list);
    CHECK(wide[3] > textWidth(kLongCommand));
    CHECK(Sum(wide) < ListWidth(list));
    CHECK_EQ(wide[2], opened[2]);
}
