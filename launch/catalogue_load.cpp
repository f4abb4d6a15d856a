#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "app.h"
#include "catalogue.h"
#include "panel.h"
#include "resolve.h"
#include "startmenu.h"

namespace {

class ProfileCatalogue final : public CatalogueSource {
public:
    ProfileCatalogue(const char* path, HINSTANCE instance, HWND owner)
        : path_(path), instance_(instance), owner_(owner) {}

    void ReadString(const char* section, const char* key, char (&out)[kTextSize]) override
    {
        GetPrivateProfileStringA(section, key, "", out, kTextSize, path_);
    }

    void ResolveItem(const char* file, LaunchItem& item) override
    {
        char value[kTextSize] = {};
        std::memcpy(value, file, std::strlen(file) + 1);
        if (IsSchemeTarget(value)) {
            item.icon = GetSchemeIcon(value);
            std::memcpy(item.target, value, sizeof value);
            return;
        }
        ResolveTargetPath(value, owner_, &shortcuts_);
        std::memcpy(item.target, value, sizeof value);
        // The call may rewrite the path it is given, so it gets a copy.
        char iconPath[MAX_PATH] = {};
        std::memcpy(iconPath, value, sizeof value);
        WORD index = 0;
        item.icon = ExtractAssociatedIconA(instance_, iconPath, &index);
        // Some shells give nothing for a shortcut file; its link then tells
        // which icon it shows.
        if (item.icon == nullptr && IsShortcutPath(item.target))
            item.icon = GetShortcutIcon(instance_, item.target, shortcutIcons_);
    }

private:
    static bool IsShortcutPath(const char* path)
    {
        PathParts parts;
        SplitPath(path, parts);
        return lstrcmpiA(parts.ext, ".lnk") == 0;
    }

    const char* path_;
    HINSTANCE instance_;
    HWND owner_;
    StartMenuIndex shortcuts_;  // one walk of each Start-menu tree per load
    IconCache shortcutIcons_;
};

} // namespace

void LoadCatalogueFile(const char* path, HINSTANCE instance, HWND owner, IconPanel& panel)
{
    ProfileCatalogue source(path, instance, owner);
    FillCatalogue(source, panel.catalogue, panel.groupCount, panel.maxItems);
}

void LoadCatalogue()
{
    LoadCatalogueFile(theApp.cataloguePath, theApp.instance, theApp.frame, theApp.panel);
}
