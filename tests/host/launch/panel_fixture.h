#pragma once

#include <cstdio>

#include "panel.h"

// Lays out groups the way the catalogue loader leaves them: columns equal to
// the slot, an end mark after a short group, captions and targets "g.j".
inline void AddGroup(IconPanel& panel, int group, int count)
{
    LaunchGroup& g = panel.catalogue[group];
    g.count = count;
    std::snprintf(g.name, sizeof g.name, "Group%d", group);
    for (int j = 0; j < count; ++j) {
        g.items[j].column = j;
        std::snprintf(g.items[j].caption, sizeof g.items[j].caption, "caption %d.%d", group, j);
        std::snprintf(g.items[j].target, sizeof g.items[j].target, "C:\\target%d%d.exe", group, j);
    }
    if (count < kItemSlots)
        g.items[count].column = kEndOfGroup;
    if (group + 1 > panel.groupCount)
        panel.groupCount = group + 1;
    if (count > panel.maxItems)
        panel.maxItems = count;
}

// A panel with the values it has before the catalogue is loaded.
inline IconPanel& FreshPanel()
{
    static IconPanel panel;
    panel = IconPanel{};
    return panel;
}
