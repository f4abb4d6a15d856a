#pragma once

#include <cstdint>

#include "handles.h"

// Every text of the launcher lives in a buffer of this size: 259 bytes of
// text and the terminator, the system's path limit.
constexpr int kTextSize = 260;
constexpr int kGroupSlots = 9;
constexpr int kItemSlots = 9;

// Marks the slot after the last item of a group that has fewer than nine.
constexpr std::int32_t kEndOfGroup = -1;

struct LaunchItem {
    std::int32_t column;      // own slot index, or kEndOfGroup in the slot after the last item
    HICON icon;               // may be null; never destroyed
    char target[kTextSize];   // scheme target as written, or the resolved file path
    char caption[kTextSize];  // tooltip text
};

struct LaunchGroup {
    std::int32_t count;       // items loaded, 0 to 9
    char name[kTextSize];     // the group's section name in the catalogue file, shown as the title
    LaunchItem items[kItemSlots];
};

// The nine groups, all zero until loaded.
struct LaunchCatalogue {
    LaunchGroup groups[kGroupSlots];

    LaunchGroup& operator[](int g) { return groups[g]; }
    const LaunchGroup& operator[](int g) const { return groups[g]; }
};

// Where the catalogue's texts and the items' targets come from. The walk
// over the file's sections is separate from the profile API and from target
// resolution so that its stop rules can be checked without either.
class CatalogueSource {
public:
    // Reads `key` of `section` into `out`; missing keys give an empty string.
    virtual void ReadString(const char* section, const char* key, char (&out)[kTextSize]) = 0;
    // Settles item.target and item.icon from the item's "File" value.
    virtual void ResolveItem(const char* file, LaunchItem& item) = 0;

protected:
    ~CatalogueSource() = default;
};

// Fills the catalogue from the "LAUNCH" section downwards. The catalogue must
// be all zero; groupCount and maxItems are always set.
void FillCatalogue(CatalogueSource& source, LaunchCatalogue& catalogue,
                   std::int32_t& groupCount, std::int32_t& maxItems);

#ifdef _WIN32
class IconPanel;

// Reads the catalogue file into `panel` through the profile API, resolving
// every item's target and icon. `owner` is the window for shell calls (null
// while the launcher starts).
void LoadCatalogueFile(const char* path, HINSTANCE instance, HWND owner, IconPanel& panel);

// Loads the launcher's own catalogue (program folder + "LAUNCH.INI") into its
// icon panel.
void LoadCatalogue();
#endif
