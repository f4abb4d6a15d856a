#include <windows.h>

#include <cstring>
#include <vector>

#include "app.h"
#include "catalogue.h"
#include "item_icons.h"
#include "panel.h"
#include "resolve.h"
#include "startmenu.h"

namespace {

class ProfileCatalogue final : public CatalogueSource {
public:
    ProfileCatalogue(const char* path, HINSTANCE instance, HWND owner)
        : path_(path), owner_(owner), icons_(instance) {}

    void ReadString(const char* section, const char* key, char (&out)[kTextSize]) override
    {
        GetPrivateProfileStringA(section, key, "", out, kTextSize, path_);
    }

    // Items are settled once the whole file is read (ResolveAll): by then the
    // walk of the Start menu, started at the first item that may need it, and
    // the search path's answers for every item have overlapped the reading.
    void ResolveItem(const char* file, LaunchItem& item) override
    {
        Pending pending = {{}, {}, &item, 0, false};
        lstrcpynA(pending.file, file, kTextSize);
        if (!IsSchemeTarget(file)) {
            searchPath_.AskAhead(file);
            PathParts parts;
            SplitPath(file, parts);
            if (lstrcmpiA(parts.ext, ".lnk") == 0)
                JoinText(pending.shortcut, parts.name, parts.ext);
        }
        // A shortcut that does not name a file as it stands is looked for in
        // the Start menu, unless the search path finds it first, which is
        // rare enough to walk in vain.
        if (!walkStarted_ && pending.shortcut[0] != '\0' && GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
            walkStarted_ = true;
            shortcuts_.WalkAhead(owner_);
        }
        pending_.push_back(pending);
    }

    // Items whose shortcut the walk has not met yet wait while the others are
    // settled; the order in which items are settled changes nothing but the
    // time it takes. Icons are extracted as targets are settled.
    void ResolveAll()
    {
        searchPath_.Finish();
        if (!pending_.empty())
            icons_.Start();
        std::size_t left = pending_.size();
        while (left > 0) {
            bool settled = false;
            for (Pending& pending : pending_) {
                if (!pending.done && (pending.shortcut[0] == '\0' ||
                                      shortcuts_.CanAnswer(pending.shortcut, pending.met))) {
                    Settle(pending);
                    settled = true;
                    --left;
                }
            }
            if (settled)
                continue;
            for (Pending& pending : pending_) {
                if (!pending.done) {
                    Settle(pending);  // waits for the walk to meet it
                    --left;
                    break;
                }
            }
        }
        pending_.clear();
        icons_.Finish();
    }

private:
    struct Pending {
        char file[kTextSize];
        char shortcut[kTextSize];  // the name looked for in the Start menu, if any
        LaunchItem* item;
        std::size_t met;
        bool done;
    };

    // Settles the item's target; its icon follows from the target alone.
    void Settle(Pending& pending)
    {
        LaunchItem& item = *pending.item;
        char value[kTextSize] = {};
        std::memcpy(value, pending.file, std::strlen(pending.file) + 1);
        const bool scheme = IsSchemeTarget(value);
        if (!scheme)
            ResolveTargetPath(value, owner_, &shortcuts_, &searchPath_);
        std::memcpy(item.target, value, sizeof value);
        icons_.Add(item, scheme);
        pending.done = true;
    }

    const char* path_;
    HWND owner_;
    StartMenuIndex shortcuts_;  // one walk of each Start-menu tree per load
    SearchPathAnswers searchPath_;  // asked while the file is read
    ItemIcons icons_;
    std::vector<Pending> pending_;
    bool walkStarted_ = false;
};

} // namespace

void LoadCatalogueFile(const char* path, HINSTANCE instance, HWND owner, IconPanel& panel)
{
    ProfileCatalogue source(path, instance, owner);
    FillCatalogue(source, panel.catalogue, panel.groupCount, panel.maxItems);
    source.ResolveAll();
}

void LoadCatalogue()
{
    LoadCatalogueFile(theApp.cataloguePath, theApp.instance, theApp.frame, theApp.panel);
}
