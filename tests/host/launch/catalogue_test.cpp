#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.h"

namespace {

// A profile in memory. It records every key asked for, so that the tests can
// tell which keys the loader never reads.
class FakeProfile final : public CatalogueSource {
public:
    void Set(const std::string& section, const std::string& key, const std::string& value)
    {
        values_[{section, key}] = value;
    }

    void ReadString(const char* section, const char* key, char (&out)[kTextSize]) override
    {
        reads_.emplace_back(std::string(section) + "/" + key);
        auto found = values_.find({section, key});
        const std::string value = found == values_.end() ? std::string() : found->second;
        const std::size_t length = value.size() < kTextSize - 1 ? value.size() : kTextSize - 1;
        std::memcpy(out, value.data(), length);
        out[length] = '\0';
    }

    void ResolveItem(const char* file, LaunchItem& item) override
    {
        std::snprintf(item.target, sizeof item.target, "resolved:%s", file);
    }

    bool WasRead(const std::string& sectionAndKey) const
    {
        for (const std::string& r : reads_)
            if (r == sectionAndKey)
                return true;
        return false;
    }

    // Group section `name` with `count` item keys, each naming an item section.
    void Group(const std::string& name, int count)
    {
        for (int i = 1; i <= count; ++i) {
            const std::string item = name + "_item" + std::to_string(i);
            Set(name, "Item" + std::to_string(i), item);
            Set(item, "File", item + ".exe");
            Set(item, "Caption", "Caption of " + item);
        }
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> values_;
    std::vector<std::string> reads_;
};

struct Loaded {
    LaunchCatalogue catalogue{};
    std::int32_t groupCount = -7;
    std::int32_t maxItems = -7;
};

void Load(FakeProfile& profile, Loaded& loaded)
{
    FillCatalogue(profile, loaded.catalogue, loaded.groupCount, loaded.maxItems);
}

TEST(Catalogue, CountsGroupsAndLongestGroup)
{
    FakeProfile profile;
    profile.Set("LAUNCH", "Item1", "Tools");
    profile.Set("LAUNCH", "Item2", "Media");
    profile.Set("LAUNCH", "Item3", "Net");
    profile.Group("Tools", 4);
    profile.Group("Media", 7);
    profile.Group("Net", 2);
    static Loaded loaded;
    Load(profile, loaded);

    EXPECT_EQ(loaded.groupCount, 3);
    EXPECT_EQ(loaded.maxItems, 7);
    const int counts[] = {4, 7, 2};
    for (int g = 0; g < 3; ++g) {
        const LaunchGroup& group = loaded.catalogue[g];
        EXPECT_EQ(group.count, counts[g]);
        for (int j = 0; j < group.count; ++j)
            EXPECT_EQ(group.items[j].column, j);
        EXPECT_EQ(group.items[group.count].column, kEndOfGroup);
        // Slots after the end mark stay as they were.
        if (group.count + 1 < kItemSlots) {
            EXPECT_EQ(group.items[group.count + 1].column, 0);
        }
    }
    EXPECT_STREQ(loaded.catalogue[1].name, "Media");
    EXPECT_STREQ(loaded.catalogue[1].items[6].target, "resolved:Media_item7.exe");
    EXPECT_STREQ(loaded.catalogue[1].items[6].caption, "Caption of Media_item7");
    EXPECT_EQ(loaded.catalogue[3].count, 0);
    EXPECT_EQ(loaded.catalogue[3].items[0].column, 0);  // unloaded: no end mark
}

TEST(Catalogue, StopsAtTheFirstGap)
{
    FakeProfile profile;
    profile.Set("LAUNCH", "Item1", "A");
    profile.Set("LAUNCH", "Item2", "B");
    profile.Set("LAUNCH", "Item4", "D");
    profile.Group("A", 1);
    profile.Set("B", "Item1", "x");
    profile.Set("B", "Item2", "x");
    profile.Set("B", "Item4", "x");
    static Loaded loaded;
    Load(profile, loaded);

    EXPECT_EQ(loaded.groupCount, 2);
    EXPECT_EQ(loaded.catalogue[1].count, 2);
    EXPECT_EQ(loaded.catalogue[1].items[2].column, kEndOfGroup);
    EXPECT_FALSE(profile.WasRead("LAUNCH/Item4"));
    EXPECT_FALSE(profile.WasRead("B/Item4"));
    EXPECT_FALSE(profile.WasRead("D/Item1"));
}

TEST(Catalogue, NineAtMostWithoutEndMark)
{
    FakeProfile profile;
    for (int g = 1; g <= 12; ++g)
        profile.Set("LAUNCH", "Item" + std::to_string(g), "G");
    profile.Group("G", 12);
    static Loaded loaded;
    Load(profile, loaded);

    EXPECT_EQ(loaded.groupCount, 9);
    EXPECT_EQ(loaded.maxItems, 9);
    for (int g = 0; g < kGroupSlots; ++g) {
        EXPECT_EQ(loaded.catalogue[g].count, 9);
        EXPECT_EQ(loaded.catalogue[g].items[8].column, 8);
        // The same section listed nine times loads nine copies.
        EXPECT_STREQ(loaded.catalogue[g].items[8].target, "resolved:G_item9.exe");
    }
    EXPECT_FALSE(profile.WasRead("LAUNCH/Item10"));
    EXPECT_FALSE(profile.WasRead("G/Item10"));
}

TEST(Catalogue, EmptyAndDuplicateEntries)
{
    FakeProfile profile;
    profile.Set("LAUNCH", "Item1", "Empty");
    profile.Set("LAUNCH", "Item2", "Twice");
    profile.Set("Twice", "Item1", "Same");
    profile.Set("Twice", "Item2", "Same");
    profile.Set("Twice", "Item3", "Bare");  // no File, no Caption
    profile.Set("Same", "File", "http://example.invalid/");
    profile.Set("Same", "Caption", "Web");
    static Loaded loaded;
    Load(profile, loaded);

    EXPECT_EQ(loaded.groupCount, 2);
    EXPECT_EQ(loaded.maxItems, 3);
    EXPECT_EQ(loaded.catalogue[0].count, 0);
    EXPECT_EQ(loaded.catalogue[0].items[0].column, kEndOfGroup);
    EXPECT_STREQ(loaded.catalogue[0].name, "Empty");
    const LaunchGroup& twice = loaded.catalogue[1];
    EXPECT_STREQ(twice.items[0].caption, "Web");
    EXPECT_STREQ(twice.items[1].caption, "Web");
    EXPECT_STREQ(twice.items[0].target, twice.items[1].target);
    EXPECT_STREQ(twice.items[2].target, "resolved:");
    EXPECT_STREQ(twice.items[2].caption, "");
}

TEST(Catalogue, NoLaunchSectionGivesNoGroups)
{
    FakeProfile profile;
    profile.Group("Orphan", 3);
    static Loaded loaded;
    Load(profile, loaded);
    EXPECT_EQ(loaded.groupCount, 0);
    EXPECT_EQ(loaded.maxItems, 0);
    EXPECT_EQ(loaded.catalogue[0].count, 0);
}

} // namespace
