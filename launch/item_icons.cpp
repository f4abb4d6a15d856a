#include "item_icons.h"

#include <windows.h>
#include <shellapi.h>
#include <objbase.h>

#include <cstring>
#include <system_error>

namespace {

bool IsShortcutPath(const char* path)
{
    PathParts parts;
    SplitPath(path, parts);
    return lstrcmpiA(parts.ext, ".lnk") == 0;
}

} // namespace

ItemIcons::~ItemIcons()
{
    jobs_.Close();
    if (worker_.joinable())
        worker_.join();
}

void ItemIcons::Start()
{
    if (worker_.joinable())
        return;
    try {
        worker_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // The loading thread extracts every icon in Finish.
    }
}

void ItemIcons::Add(LaunchItem& item, bool scheme)
{
    jobs_.Add({&item, scheme});
}

void ItemIcons::Finish()
{
    jobs_.Close();
    ShellLinks links;
    Drain(links);
    if (worker_.joinable())
        worker_.join();
}

void ItemIcons::Work()
{
    // The link objects need COM on this thread; without it the loading
    // thread is left to extract every icon.
    if (FAILED(CoInitialize(nullptr)))
        return;
    {
        ShellLinks links;
        Drain(links);
    }
    CoUninitialize();
}

void ItemIcons::Drain(ShellLinks& links)
{
    Job job;
    while (jobs_.Take(job))
        Extract(job, links);
}

void ItemIcons::Extract(const Job& job, ShellLinks& links)
{
    LaunchItem& item = *job.item;
    if (job.scheme) {
        item.icon = GetSchemeIcon(item.target);
        return;
    }
    // The call may rewrite the path it is given, so it gets a copy.
    char iconPath[MAX_PATH] = {};
    std::memcpy(iconPath, item.target, sizeof item.target);
    WORD index = 0;
    item.icon = ExtractAssociatedIconA(instance_, iconPath, &index);
    // Some shells give nothing for a shortcut file; its link then tells
    // which icon it shows.
    if (item.icon == nullptr && IsShortcutPath(item.target))
        item.icon = GetShortcutIcon(instance_, item.target, links, cache_);
}
