#pragma once

#include <windows.h>

#include <string>

// Runs the program's modal dialog until the user closes it.
void ShowMainDialog();

// The dialog procedure of the main dialog (template 101).
INT_PTR CALLBACK MainDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// "Backup " and the given time as Www Mmm DD hh:mm:ss YYYY, in English
// whatever the user's locale.
std::string DefaultConfigurationName(const SYSTEMTIME& time);

// The object behind the open main dialog, from WM_INITDIALOG to WM_DESTROY.
class MainDialog {
public:
    // Fills the list of saved configurations and sets up the controls.
    explicit MainDialog(HWND window);
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;
    virtual ~MainDialog() = default;

    void FillConfigurationList();
    void InitControls();
    void OnSaveChosen();
    void OnLoadChosen();
    void OnOk();
    void OnChanges();
    void OnDelete();
    // Changes and Delete act on the chosen entry, and only while the load
    // choice is made.
    void UpdateEntryButtons();

private:
    std::string ControlText(int id) const;
    void Save();
    // After a load: the list shows the state the load kept for an undo, and
    // the configuration loaded stays chosen.
    void ShowBackup(const std::string& loaded);

    HWND window;
    bool savedThisSession;
};
