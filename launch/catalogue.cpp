#include "catalogue.h"

#include <cstdio>
#include <cstring>

namespace {

void ItemKey(char (&key)[16], int number)
{
    std::snprintf(key, sizeof key, "Item%d", number);
}

void CopyText(char (&out)[kTextSize], const char* text)
{
    int n = 0;
    while (n < kTextSize - 1 && text[n] != '\0') {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
}

void ReadItem(CatalogueSource& source, const char* section, LaunchItem& item)
{
    char value[kTextSize] = {};
    source.ReadString(section, "File", value);
    source.ResolveItem(value, item);

    std::memset(value, 0, sizeof value);
    source.ReadString(section, "Caption", value);
    CopyText(item.caption, value);
}

// Reads a group's items; returns the group's item count.
int ReadGroup(CatalogueSource& source, LaunchGroup& group)
{
    char key[16];
    char itemSection[kTextSize];
    for (int i = 1; i <= kItemSlots; ++i) {
        const int j = i - 1;
        ItemKey(key, i);
        itemSection[0] = '\0';
        source.ReadString(group.name, key, itemSection);
        if (itemSection[0] == '\0') {
            group.count = j;
            group.items[j].column = kEndOfGroup;
            return j;
        }
        group.count = i;
        group.items[j].column = j;
        ReadItem(source, itemSection, group.items[j]);
    }
    return kItemSlots;
}

} // namespace

void FillCatalogue(CatalogueSource& source, LaunchCatalogue& catalogue,
                   std::int32_t& groupCount, std::int32_t& maxItems)
{
    std::int32_t longest = 0;
    char key[16];
    for (int g = 0; g < kGroupSlots; ++g) {
        char groupSection[kTextSize] = {};
        ItemKey(key, g + 1);
        source.ReadString("LAUNCH", key, groupSection);
        if (groupSection[0] == '\0') {
            groupCount = g;
            maxItems = longest;
            return;
        }
        LaunchGroup& group = catalogue[g];
        CopyText(group.name, groupSection);
        const int count = ReadGroup(source, group);
        if (count > longest)
            longest = count;
    }
    groupCount = kGroupSlots;
    maxItems = longest;
}
