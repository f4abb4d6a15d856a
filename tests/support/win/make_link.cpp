// make_link LINK TARGET: writes a shell shortcut LINK that points at TARGET.
// The end-to-end tests use it to put a launcher item into the Start menu.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_link LINK TARGET\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    int rc = 1;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        WCHAR wide[MAX_PATH] = {};
        if (SUCCEEDED(link->SetPath(argv[2]))
            && MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH) > 0
            && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            if (SUCCEEDED(file->Save(wide, TRUE)))
                rc = 0;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    if (rc != 0)
        std::fprintf(stderr, "make_link: could not write %s\n", argv[1]);
    return rc;
}
