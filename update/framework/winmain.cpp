// The program's entry point: the static application object already exists.
#include "afxwin.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return 1;
    app->Start(instance);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
