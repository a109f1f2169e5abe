#include "app/main_dialog.h"

#include "app/changes_dialog.h"
#include "app/load_flow.h"
#include "app/resource.h"
#include "catalog/startup_location_set.h"
#include "platform/registry.h"
#include "store/configuration_layout.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const char kDescription[] =
    "Veltrane will save or load the Windows configuration data that causes programs to run at system startup. "
    "This allows you to easily switch between multiple startup configurations, for a myriad of potential "
    "purposes.\n\n"
    "It is strongly reccomended that you save a copy of your configuration as a backup before loading any new "
    "configuration. Also, it is generally not advisable to share configurations with other computers.";

const char kNameMissing[] = "You must enter a name for the current configuration.";
const char kOverwrite[] = "The specified configuration already exists. Do you wish to overwrite it?";
const char kSaved[] = "Your configuration has been saved successfully.";
const char kSaveFailed[] = "There was an error saving your configuration.";
const char kDeleteFailed[] = "There was an error deleting the configuration.";

// Names are read through a buffer of this size, so at most 1023 characters count.
constexpr int kNameBufferSize = 1024;

}  // namespace

std::string DefaultConfigurationName(const SYSTEMTIME& time) {
    // Fixed English names: the name must not depend on the user's locale.
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* day = time.wDayOfWeek < 7 ? kDays[time.wDayOfWeek] : "???";
    const char* month = time.wMonth >= 1 && time.wMonth <= 12 ? kMonths[time.wMonth - 1] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "Backup %s %s %02u %02u:%02u:%02u %04u", day, month,
                  static_cast<unsigned>(time.wDay), static_cast<unsigned>(time.wHour),
                  static_cast<unsigned>(time.wMinute), static_cast<unsigned>(time.wSecond),
                  static_cast<unsigned>(time.wYear));
    return text;
}

MainDialog::MainDialog(HWND window) : window(window), savedThisSession(false) {
    FillConfigurationList();
    // The load choice depends on whether the list has entries.
    InitControls();
}

void MainDialog::FillConfigurationList() {
    SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_RESETCONTENT, 0, 0);
    UpdateEntryButtons();
    RegKey key = OpenRegistryKey(HKEY_CURRENT_USER, kConfigurationsKey, kRegistryRead);
    if (!key) return;
    for (const std::string& name : EnumerateRegistrySubkeys(key.get())) {
        SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

void MainDialog::InitControls() {
    CheckDlgButton(window, IDC_SAVE, BST_CHECKED);
    if (SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_GETCOUNT, 0, 0) == 0) {
        EnableWindow(GetDlgItem(window, IDC_LOAD), FALSE);
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    SetDlgItemTextA(window, IDC_NAME, DefaultConfigurationName(now).c_str());
    SetDlgItemTextA(window, IDC_DESCRIPTION, kDescription);
}

void MainDialog::OnSaveChosen() {
    if (IsDlgButtonChecked(window, IDC_SAVE) != BST_CHECKED) return;
    EnableWindow(GetDlgItem(window, IDC_CONFIGURATIONS), FALSE);
    EnableWindow(GetDlgItem(window, IDC_NAME_GROUP), TRUE);
    EnableWindow(GetDlgItem(window, IDC_NAME), TRUE);
    UpdateEntryButtons();
}

void MainDialog::OnLoadChosen() {
    if (IsDlgButtonChecked(window, IDC_LOAD) != BST_CHECKED) return;
    EnableWindow(GetDlgItem(window, IDC_CONFIGURATIONS), TRUE);
    EnableWindow(GetDlgItem(window, IDC_NAME_GROUP), FALSE);
    EnableWindow(GetDlgItem(window, IDC_NAME), FALSE);
    UpdateEntryButtons();
}

void MainDialog::UpdateEntryButtons() {
    const bool chosen = IsDlgButtonChecked(window, IDC_LOAD) == BST_CHECKED &&
                        SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_GETCURSEL, 0, 0) != CB_ERR;
    HWND focus = GetFocus();
    // A disabled button keeps the keyboard focus, where no key reaches anything.
    if (!chosen && (focus == GetDlgItem(window, IDC_CHANGES) || focus == GetDlgItem(window, IDC_DELETE))) {
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_CONFIGURATIONS)), TRUE);
    }
    EnableWindow(GetDlgItem(window, IDC_CHANGES), chosen);
    EnableWindow(GetDlgItem(window, IDC_DELETE), chosen);
}

void MainDialog::OnOk() {
    if (IsDlgButtonChecked(window, IDC_SAVE) == BST_CHECKED) {
        Save();
    } else if (IsDlgButtonChecked(window, IDC_LOAD) == BST_CHECKED) {
        const std::string name = ControlText(IDC_CONFIGURATIONS);
        LoadFromDialog(window, name, savedThisSession, [&] { ShowBackup(name); });
    }
}

void MainDialog::Save() {
    const std::string name = ControlText(IDC_NAME);
    if (name.empty()) {
        Tell(window, kNameMissing, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (HasBackslash(name)) {
        Tell(window, kBackslashInName, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    StartupLocationSet& locations = GetStartupLocationSet();
    if (locations.ConfigurationExists(name) && Tell(window, kOverwrite, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (!locations.SaveConfiguration(name)) {
        Tell(window, kSaveFailed, MB_OK | MB_ICONHAND);
        return;
    }
    savedThisSession = true;
    Tell(window, kSaved, MB_OK | MB_ICONINFORMATION);
    FillConfigurationList();
}

void MainDialog::OnChanges() {
    const std::string name = ControlText(IDC_CONFIGURATIONS);
    if (!name.empty() && ShowChanges(window, name, savedThisSession)) ShowBackup(name);
}

void MainDialog::OnDelete() {
    const std::string name = ControlText(IDC_CONFIGURATIONS);
    if (name.empty()) return;
    const std::string question = "Do you want to delete the configuration \"" + name + "\"? It cannot be restored.";
    if (Tell(window, question.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) return;
    if (!GetStartupLocationSet().DeleteConfiguration(name)) {
        Tell(window, kDeleteFailed, MB_OK | MB_ICONHAND);
        return;
    }
    FillConfigurationList();
}

void MainDialog::ShowBackup(const std::string& loaded) {
    FillConfigurationList();
    const LRESULT found = SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(loaded.c_str()));
    SendDlgItemMessageA(window, IDC_CONFIGURATIONS, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    UpdateEntryButtons();
}

std::string MainDialog::ControlText(int id) const {
    std::vector<char> buffer(kNameBufferSize, '\0');
    GetDlgItemTextA(window, id, buffer.data(), kNameBufferSize);
    return std::string(buffer.data());
}

INT_PTR CALLBACK MainDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        // The window's user slot owns the object until WM_DESTROY.
        auto dialog = std::make_unique<MainDialog>(window);
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog.release()));
        return FALSE;
    }
    auto* dialog = reinterpret_cast<MainDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    dialog->OnOk();
                    break;
                case IDCANCEL:
                    EndDialog(window, 0);
                    break;
                case IDC_SAVE:
                    dialog->OnSaveChosen();
                    break;
                case IDC_LOAD:
                    dialog->OnLoadChosen();
                    break;
                case IDC_CHANGES:
                    dialog->OnChanges();
                    break;
                case IDC_DELETE:
                    dialog->OnDelete();
                    break;
                case IDC_CONFIGURATIONS:
                    if (HIWORD(wParam) == CBN_SELCHANGE) dialog->UpdateEntryButtons();
                    break;
                default:
                    break;
            }
            return TRUE;
        case WM_DESTROY: {
            std::unique_ptr<MainDialog> owned(dialog);
            SetWindowLongPtrA(window, DWLP_USER, 0);
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void ShowMainDialog() {
    // Loads the version 6 common controls named by the manifest, for visual
    // styles, and registers the Changes view's list view.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProcedure, 0);
}
