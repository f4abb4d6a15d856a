#pragma once

#include <cstdint>

#include "catalogue.h"
#include "handles.h"
#include "panel.h"

// The launcher's one state record. Everything the launcher keeps lives here;
// its operations are members of this record and of the icon panel.
struct LauncherApp {
    HINSTANCE instance = nullptr;
    HFONT titleFont = nullptr;
    HWND frame = nullptr;
    HWND closeButton = nullptr;     // control 6071
    HWND minimizeButton = nullptr;  // control 6072
    HWND groupButton = nullptr;     // control 6073
    HWND modeButton = nullptr;      // control 6074
    char programFolder[kTextSize] = {};  // with a trailing backslash
    char cataloguePath[kTextSize] = {};  // programFolder + "LAUNCH.INI"
    HWND tooltip = nullptr;
    std::uint32_t hoverTimer = 0;
    std::int32_t active = 0;  // 1 while the frame is the active window
    std::int32_t dragX = -1;  // client point where a title drag began; -1 when none
    std::int32_t dragY = -1;
    IconPanel panel;

#ifdef _WIN32
    // --- Start-up and message loop (app.cpp) ---
    int Run(HINSTANCE moduleInstance, const char* commandLine, int showCommand);

    // --- Frame window (frame.cpp) ---
    LRESULT HandleFrameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void GetFrameSize(int& width, int& height) const;
    void ToggleDisplayMode();
    void CreateFrameControls(HWND frameWindow);
    void RegisterPanelTool();
    void DestroyFrameControls();
    void PaintFrame(int isActive);
    void PaintTitleBar(int isActive);
    void DrawFrameButton(const DRAWITEMSTRUCT& item);

    // --- Launch action (launch_action.cpp) ---
    void RunItemTarget(ItemId id);
#endif
};

// The one record, constructed before the entry point runs. It is defined in
// app_record.cpp of launch_model, so that test programs that link the model
// share it with the code under test.
extern LauncherApp theApp;

#ifdef _WIN32
// Window procedure of the frame class: forwards to the one record.
LRESULT CALLBACK FrameWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
#endif
