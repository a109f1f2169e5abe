#include "app/changes_dialog.h"

#include "app/load_flow.h"
#include "app/resource.h"
#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "platform/system.h"
#include "store/load_changes.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>
#include <vector>

namespace {

const char* const kColumns[] = {"Location", "Entry", "Change", "Now", "After loading", "Note"};
constexpr int kColumnCount = 6;
// Location and Change hold a few short words; the others hold names, commands
// and notes of any length, which share the room when not all fit.
constexpr bool kTextColumn[kColumnCount] = {false, true, false, true, true, true};
// Room beside a cell's text, in dialog units, which follow the dialog's font
// and so the monitor's DPI.
constexpr int kCellPadding = 8;
// Posted to lay out the view and fit its columns again once the dialog has
// been scaled to a new DPI.
constexpr UINT kScaled = WM_APP + 1;
constexpr UINT kDefaultDpi = 96;

// How a control follows the window's width or height.
enum class Follow { Stay, Grow, Move };
struct Anchor {
    int id;
    Follow across;
    Follow down;
};
constexpr Anchor kAnchors[] = {
    {IDC_CHANGE_SUMMARY, Follow::Grow, Follow::Stay}, {IDC_CHANGE_LIST, Follow::Grow, Follow::Grow},
    {IDC_SHOW_KEPT, Follow::Stay, Follow::Move},      {IDOK, Follow::Move, Follow::Move},
    {IDCANCEL, Follow::Move, Follow::Move},           {IDC_CHANGE_GRIP, Follow::Move, Follow::Move},
};
constexpr int kAnchorCount = sizeof kAnchors / sizeof kAnchors[0];

void Follows(Follow follow, int growth, LONG& low, LONG& high) {
    if (follow == Follow::Move) low += growth;
    if (follow != Follow::Stay) high += growth;
}

UINT WindowDpi(HWND window) {
    // Windows 10 1607 and later; before, the DPI never changes while the view is open.
    using GetDpi = UINT(WINAPI*)(HWND);
    const auto getDpi = FindSystemFunction<GetDpi>("user32.dll", "GetDpiForWindow");
    const UINT dpi = getDpi != nullptr ? getDpi(window) : 0;
    return dpi != 0 ? dpi : kDefaultDpi;
}

// The window and its controls as the dialog opened them, at the DPI it opened
// at: every size of the window is laid out from them, and none is smaller.
class Layout {
public:
    void Record(HWND window) {
        openedDpi = dpi = WindowDpi(window);
        RECT frame{};
        GetWindowRect(window, &frame);
        smallest = {frame.right - frame.left, frame.bottom - frame.top};
        GetClientRect(window, &client);
        for (int index = 0; index < kAnchorCount; ++index) {
            GetWindowRect(GetDlgItem(window, kAnchors[index].id), &places[index]);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&places[index]), 2);
        }
    }
    void SetDpi(UINT newDpi) { dpi = newDpi; }
    POINT Smallest() const { return {Scaled(smallest.x), Scaled(smallest.y)}; }

    void Apply(HWND window) const {
        RECT now{};
        GetClientRect(window, &now);
        const int wider = now.right - Scaled(client.right);
        const int taller = now.bottom - Scaled(client.bottom);
        for (int index = 0; index < kAnchorCount; ++index) {
            RECT place = {Scaled(places[index].left), Scaled(places[index].top), Scaled(places[index].right),
                          Scaled(places[index].bottom)};
            Follows(kAnchors[index].across, wider, place.left, place.right);
            Follows(kAnchors[index].down, taller, place.top, place.bottom);
            // Drawn anew: bits copied from the old place may show what covered it.
            SetWindowPos(GetDlgItem(window, kAnchors[index].id), nullptr, place.left, place.top,
                         place.right - place.left, place.bottom - place.top,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        }
        // A wrapped text is laid out again only when drawn whole.
        InvalidateRect(GetDlgItem(window, IDC_CHANGE_SUMMARY), nullptr, TRUE);
    }

private:
    LONG Scaled(LONG length) const { return MulDiv(length, static_cast<int>(dpi), static_cast<int>(openedDpi)); }

    UINT openedDpi = kDefaultDpi;
    UINT dpi = kDefaultDpi;
    POINT smallest{};
    RECT client{};
    RECT places[kAnchorCount]{};
};

// The text of each column of a row.
std::array<std::string, kColumnCount> Cells(const ChangeRow& row) {
    return {LocationKeyName(row.locationIndex), row.entry, ChangeWord(row.change), row.now, row.after, row.note};
}

// What the main dialog hands the view, and what the view hands back.
struct ChangesRequest {
    std::string name;
    bool savedThisSession = false;
    bool loaded = false;
};

std::string Summary(const std::string& name, const LoadChanges& changes) {
    std::string text = "Loading \"" + name + "\" ";
    if (changes.added + changes.removed + changes.changed == 0) {
        text += "changes nothing: every location already holds it.";
    } else {
        text += "adds " + std::to_string(changes.added) + ", removes " + std::to_string(changes.removed) +
                " and changes " + std::to_string(changes.changed) + " entries; " + std::to_string(changes.kept) +
                " stay as they are.";
    }
    if (changes.refused) text += " This configuration cannot be loaded: it holds entries that cannot be written.";
    if (!changes.deniedLocations.empty()) {
        text += " Only an administrator may change " + LocationNames(changes.deniedLocations) + ".";
    }
    return text;
}

class ChangesView {
public:
    ChangesView(HWND window, ChangesRequest& request)
        : window(window), list(GetDlgItem(window, IDC_CHANGE_LIST)), request(request),
          changes(WorkOutLoadChanges(GetStartupLocationSet(), request.name)) {
        SetDlgItemTextA(window, IDC_CHANGE_SUMMARY, Summary(request.name, changes).c_str());
        // The tips show a cut-off cell whole.
        const DWORD styles = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_INFOTIP;
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
        for (int index = 0; index < kColumnCount; ++index) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_SUBITEM;
            column.pszText = const_cast<char*>(kColumns[index]);
            column.iSubItem = index;
            SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        }
        layout.Record(window);
        FillRows();
    }
    ChangesView(const ChangesView&) = delete;
    ChangesView& operator=(const ChangesView&) = delete;

    // Each column as wide as its longest text, header included, while all
    // fit; otherwise the text columns share the room the others leave, and
    // the list scrolls sideways.
    void FitColumns() {
        int widths[kColumnCount];
        std::copy(natural, natural + kColumnCount, widths);
        RECT room{};
        GetClientRect(list, &room);
        if (std::accumulate(natural, natural + kColumnCount, 0) > room.right) {
            int fixed = 0;
            for (int index = 0; index < kColumnCount; ++index) fixed += kTextColumn[index] ? 0 : natural[index];
            ShareRoom(room.right - fixed, widths);
        }
        for (int index = 0; index < kColumnCount; ++index) {
            SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), widths[index]);
            fitted[index] = ColumnWidth(index);
        }
    }

    // Rows that stay as they are only while the check box asks for them.
    void FillRows() {
        const bool showKept = IsDlgButtonChecked(window, IDC_SHOW_KEPT) == BST_CHECKED;
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        shownRows.clear();
        for (size_t index = 0; index < changes.rows.size(); ++index) {
            if (changes.rows[index].change == EntryChange::Keep && !showKept) continue;
            const auto cells = Cells(changes.rows[index]);
            LVITEMA item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = static_cast<int>(shownRows.size());
            item.pszText = const_cast<char*>(cells[0].c_str());
            item.lParam = static_cast<LPARAM>(index);
            const LRESULT at = SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            item.mask = LVIF_TEXT;
            for (item.iSubItem = 1; item.iSubItem < kColumnCount; ++item.iSubItem) {
                item.pszText = const_cast<char*>(cells[item.iSubItem].c_str());
                SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
            }
            shownRows.push_back(index);
        }
        MeasureColumns();
        FitColumns();
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }

    // True when the notification of the list was handled, its answer in `result`.
    bool OnListNotify(NMHDR& header, LRESULT& result) {
        switch (header.code) {
            case NM_CUSTOMDRAW:
                result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
                return true;
            case LVN_GETINFOTIPA:  // the list asks an 8-bit dialog in 8-bit texts
                OnInfoTip(reinterpret_cast<NMLVGETINFOTIPA&>(header));
                result = 0;
                return true;
            default:
                return false;
        }
    }

    void OnSize(WPARAM kind) {
        layout.Apply(window);
        // Until the user sets a column's width.
        if (!ColumnsSetByUser()) FitColumns();
        // The corner of a maximized window cannot be dragged.
        ShowWindow(GetDlgItem(window, IDC_CHANGE_GRIP), kind == SIZE_MAXIMIZED ? SW_HIDE : SW_SHOW);
    }
    void OnDpiChanged(UINT dpi) { layout.SetDpi(dpi); }
    void OnScaled() {
        layout.Apply(window);
        MeasureColumns();
        FitColumns();
    }
    POINT SmallestSize() const { return layout.Smallest(); }

    // The view closes once the load has ended, and stays open when the user
    // answered no to one of its questions.
    void OnLoad() {
        const DialogLoad end =
            LoadFromDialog(window, request.name, request.savedThisSession, [this] { request.loaded = true; });
        if (end == DialogLoad::Ended) EndDialog(window, 0);
    }

private:
    int TextWidth(const std::string& text) const {
        RECT padding{0, 0, kCellPadding, 0};
        MapDialogRect(window, &padding);
        return static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(text.c_str()))) +
               padding.right;
    }
    int ColumnWidth(int index) const {
        return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(index), 0));
    }

    // The width each column needs for its longest text: what the list itself
    // finds for its cells, and no less than the header and cells measured.
    void MeasureColumns() {
        for (int index = 0; index < kColumnCount; ++index) {
            SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), LVSCW_AUTOSIZE);
            natural[index] = std::max(TextWidth(kColumns[index]), ColumnWidth(index));
        }
        for (const size_t shown : shownRows) {
            const auto cells = Cells(changes.rows[shown]);
            for (int index = 0; index < kColumnCount; ++index) {
                natural[index] = std::max(natural[index], TextWidth(cells[static_cast<size_t>(index)]));
            }
        }
    }

    bool ColumnsSetByUser() const {
        for (int index = 0; index < kColumnCount; ++index) {
            if (ColumnWidth(index) != fitted[index]) return true;
        }
        return false;
    }

    // Text columns that need less than an equal share of `room` keep their
    // width; the others split what is left, none narrower than its header.
    void ShareRoom(int room, int (&widths)[kColumnCount]) const {
        std::vector<int> open;
        for (int index = 0; index < kColumnCount; ++index) {
            if (kTextColumn[index]) open.push_back(index);
        }
        for (bool settled = false; !settled && !open.empty();) {
            settled = true;
            const int share = room / static_cast<int>(open.size());
            for (auto column = open.begin(); column != open.end();) {
                if (natural[*column] > share) {
                    ++column;
                    continue;
                }
                room -= natural[*column];
                column = open.erase(column);
                settled = false;
            }
        }
        for (const int column : open) {
            widths[column] = std::max(TextWidth(kColumns[column]), room / static_cast<int>(open.size()));
        }
    }

    // Rows that stay are drawn in grey, so that the changes stand out.
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
        const size_t index = static_cast<size_t>(draw.nmcd.lItemlParam);
        if (index >= changes.rows.size() || changes.rows[index].change != EntryChange::Keep) return CDRF_DODEFAULT;
        draw.clrText = GetSysColor(COLOR_GRAYTEXT);
        return CDRF_NEWFONT;
    }

    // The tip belongs to a row; it shows the cell under the pointer when
    // that is cut off, and nothing otherwise.
    void OnInfoTip(NMLVGETINFOTIPA& tip) const {
        LVHITTESTINFO hit{};
        GetCursorPos(&hit.pt);
        ScreenToClient(list, &hit.pt);
        std::string text;
        const bool onRow = SendMessageA(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >= 0 &&
                           hit.iItem == tip.iItem && static_cast<size_t>(hit.iItem) < shownRows.size();
        if (onRow && hit.iSubItem >= 0 && hit.iSubItem < kColumnCount) {
            const auto cells = Cells(changes.rows[shownRows[static_cast<size_t>(hit.iItem)]]);
            text = cells[static_cast<size_t>(hit.iSubItem)];
            if (TextWidth(text) <= ColumnWidth(hit.iSubItem)) text.clear();
        }
        if (tip.cchTextMax > 0) lstrcpynA(tip.pszText, text.c_str(), tip.cchTextMax);
    }

    HWND window;
    HWND list;
    ChangesRequest& request;
    const LoadChanges changes;
    // The index in `changes.rows` of each row the list shows.
    std::vector<size_t> shownRows;
    Layout layout;
    // What each column needs for the rows shown, and the width it was last given.
    int natural[kColumnCount]{};
    int fitted[kColumnCount]{};
};

INT_PTR CALLBACK ChangesDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // The window's user slot owns the object until WM_DESTROY.
        auto view = std::make_unique<ChangesView>(window, *reinterpret_cast<ChangesRequest*>(lParam));
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(view.release()));
        return TRUE;
    }
    auto* view = reinterpret_cast<ChangesView*>(GetWindowLongPtrA(window, DWLP_USER));
    if (view == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) view->OnLoad();
            if (LOWORD(wParam) == IDCANCEL) EndDialog(window, 0);
            if (LOWORD(wParam) == IDC_SHOW_KEPT) view->FillRows();
            return TRUE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            LRESULT result = 0;
            if (header->idFrom != IDC_CHANGE_LIST || !view->OnListNotify(*header, result)) return FALSE;
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) view->OnSize(wParam);
            return TRUE;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = view->SmallestSize();
            return TRUE;
        case WM_DPICHANGED:
            // The dialog scales itself after this; the layout and columns follow then.
            view->OnDpiChanged(LOWORD(wParam));
            PostMessageA(window, kScaled, 0, 0);
            return FALSE;
        case kScaled:
            view->OnScaled();
            return TRUE;
        case WM_DESTROY: {
            std::unique_ptr<ChangesView> owned(view);
            SetWindowLongPtrA(window, DWLP_USER, 0);
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

bool ShowChanges(HWND owner, const std::string& name, bool savedThisSession) {
    // A configuration deleted since the list was filled would read as empty,
    // and the view would offer to remove every entry.
    if (!GetStartupLocationSet().ConfigurationExists(name)) {
        Tell(owner, kConfigurationNotFound, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    ChangesRequest request{name, savedThisSession};
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CHANGES), owner, ChangesDialogProcedure,
                    reinterpret_cast<LPARAM>(&request));
    return request.loaded;
}
