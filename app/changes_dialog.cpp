#include "app/changes_dialog.h"

#include "app/load_flow.h"
#include "app/resource.h"
#include "catalog/location_table.h"
#include "catalog/startup_location_set.h"
#include "store/load_changes.h"

#include <commctrl.h>

#include <memory>

namespace {

const char* const kColumns[] = {"Location", "Entry", "Change", "Now", "After loading", "Note"};
// In dialog units, which follow the dialog's font and so the monitor's DPI;
// together they fill the list beside its vertical scroll bar.
constexpr int kColumnWidths[] = {48, 70, 34, 118, 118, 84};
constexpr int kColumnCount = 6;
// Posted to fit the columns again once the dialog has been scaled to a new DPI.
constexpr UINT kFitColumns = WM_APP + 1;

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
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        for (int index = 0; index < kColumnCount; ++index) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_SUBITEM;
            column.pszText = const_cast<char*>(kColumns[index]);
            column.iSubItem = index;
            SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        }
        FitColumns();
        FillRows();
    }
    ChangesView(const ChangesView&) = delete;
    ChangesView& operator=(const ChangesView&) = delete;

    void FitColumns() {
        for (int index = 0; index < kColumnCount; ++index) {
            RECT width{0, 0, kColumnWidths[index], 0};
            MapDialogRect(window, &width);
            SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), width.right);
        }
    }

    // Rows that stay as they are only while the check box asks for them.
    void FillRows() {
        const bool showKept = IsDlgButtonChecked(window, IDC_SHOW_KEPT) == BST_CHECKED;
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        int shown = 0;
        for (const ChangeRow& row : changes.rows) {
            if (row.change == EntryChange::Keep && !showKept) continue;
            const std::string cells[kColumnCount] = {LocationKeyName(row.locationIndex), row.entry,
                                                     ChangeWord(row.change), row.now, row.after, row.note};
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = shown++;
            item.pszText = const_cast<char*>(cells[0].c_str());
            const LRESULT at = SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            for (item.iSubItem = 1; item.iSubItem < kColumnCount; ++item.iSubItem) {
                item.pszText = const_cast<char*>(cells[item.iSubItem].c_str());
                SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
            }
        }
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    }

    // The view closes once the load has ended, and stays open when the user
    // answered no to one of its questions.
    void OnLoad() {
        const DialogLoad end =
            LoadFromDialog(window, request.name, request.savedThisSession, [this] { request.loaded = true; });
        if (end == DialogLoad::Ended) EndDialog(window, 0);
    }

private:
    HWND window;
    HWND list;
    ChangesRequest& request;
    const LoadChanges changes;
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
        case WM_DPICHANGED:
            // The dialog scales itself after this; the columns follow then.
            PostMessageA(window, kFitColumns, 0, 0);
            return FALSE;
        case kFitColumns:
            view->FitColumns();
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
