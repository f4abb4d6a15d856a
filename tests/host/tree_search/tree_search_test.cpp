#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tree_search.h"

namespace {

// A made-up file system: names compared without regard to ASCII case,
// Shift-JIS double-byte characters kept whole, folder links, and listings in
// the order entries were made. Paths start at the root "R".
class MadeUpTree final : public FolderView {
public:
    MadeUpTree() { nodes_.push_back({"R", L"R", true, {}, -1}); }

    void File(const std::string& path) { Make(path, false); }
    void Folder(const std::string& path) { Make(path, true); }
    // `path` becomes a link to the folder `target`.
    void Link(const std::string& path, const std::string& target)
    {
        const int node = Make(path, true);
        nodes_[node].link = Resolve(target);
    }

    // Counted across threads: an index may walk ahead on one of its own.
    std::atomic<int> identifyCalls{0};
    std::atomic<int> listCalls{0};

    bool Probe(const char* path) override { return Resolve(path) >= 0; }

    bool List(const char* pattern, std::vector<ListedEntry>& entries) override
    {
        std::string folder = pattern;
        folder.resize(folder.rfind('\\'));
        const int node = Resolve(folder);
        if (node < 0 || !nodes_[node].folder)
            return false;
        ++listCalls;
        entries.push_back({".", true, false});
        entries.push_back({"..", true, false});
        for (int child : nodes_[node].children)
            entries.push_back({nodes_[child].name, nodes_[Follow(child)].folder, nodes_[child].link >= 0});
        return true;
    }

    bool Identify(const char* folder, FolderId& id) override
    {
        ++identifyCalls;
        const int node = Resolve(folder);
        id = {7, 0, static_cast<std::uint32_t>(node)};
        return node >= 0;
    }

    bool NameKey(const char* name, std::wstring& key) override
    {
        key.clear();
        for (const char* p = name; *p != '\0'; ++p) {
            const unsigned char c = static_cast<unsigned char>(*p);
            if (IsLeadByte(c) && p[1] != '\0') {
                key += static_cast<wchar_t>(c << 8 | static_cast<unsigned char>(*++p));
                continue;
            }
            key += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
        }
        return !key.empty();
    }

    bool IsLeadByte(unsigned char c) override { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

private:
    struct Node {
        std::string name;
        std::wstring key;
        bool folder;
        std::vector<int> children;
        int link;
    };

    int Follow(int node) const { return nodes_[node].link >= 0 ? nodes_[node].link : node; }

    int Child(int folder, const std::string& name)
    {
        std::wstring want;
        NameKey(name.c_str(), want);
        for (int child : nodes_[folder].children) {
            if (nodes_[child].key == want)
                return child;
        }
        return -1;
    }

    std::vector<std::string> Parts(const std::string& path)
    {
        std::vector<std::string> parts;
        std::string part;
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
                part += path.substr(i++, 2);
            } else if (path[i] == '\\') {
                parts.push_back(part);
                part.clear();
            } else {
                part += path[i];
            }
        }
        parts.push_back(part);
        return parts;
    }

    int Resolve(const std::string& path)
    {
        const std::vector<std::string> parts = Parts(path);
        if (parts.empty() || parts[0] != "R")
            return -1;
        int node = 0;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!nodes_[node].folder)
                return -1;
            node = Child(node, parts[i]);
            if (node < 0)
                return -1;
            node = Follow(node);
        }
        return node;
    }

    int Make(const std::string& path, bool folder)
    {
        const std::vector<std::string> parts = Parts(path);
        int node = 0;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            int child = Child(node, parts[i]);
            if (child < 0) {
                child = static_cast<int>(nodes_.size());
                std::wstring key;
                NameKey(parts[i].c_str(), key);
                nodes_.push_back({parts[i], key, folder || i + 1 < parts.size(), {}, -1});
                nodes_[node].children.push_back(child);
            }
            node = Follow(child);
        }
        return node;
    }

    std::vector<Node> nodes_;
};

struct Answer {
    bool found;
    std::string text;
};

Answer Plain(MadeUpTree& tree, const std::string& name)
{
    char out[kTreePathSize] = {};
    if (!SearchTreeFor(tree, out, name.c_str(), "R"))
        return {false, name};
    return {true, out};
}

Answer Indexed(TreeIndex& index, const std::string& name)
{
    char buffer[kTreePathSize] = {};
    std::strncpy(buffer, name.c_str(), kTreePathSize - 1);
    const bool found = index.Find(buffer);
    return {found, buffer};
}

TEST(TreeSearch, FindsTheFirstMatchDepthFirstAndFollowsLinksOnce)
{
    MadeUpTree tree;
    tree.File("R\\a\\deep\\deeper\\x.lnk");
    tree.File("R\\a\\deep\\y.lnk");
    tree.File("R\\b\\y.lnk");
    tree.File("R\\b\\x.lnk");
    tree.File("R\\top.lnk");
    tree.Folder("R\\Sub.lnk");
    tree.Folder("R\\in");  // listed before the folder its link leads to
    tree.File("R\\elsewhere\\via.lnk");
    tree.Link("R\\in\\back", "R");                // leads back to the root
    tree.Link("R\\in\\linked", "R\\elsewhere");   // reached through the link first
    tree.File("R\\z\\target.lnk");
    // At the length limit: a folder of 255 characters can be listed but
    // "Tool.lnk" joined to it is too long, so the match is the later one; one
    // of 256 is too deep to enter subfolders from, yet its own "ab" fits.
    auto pathOfLength = [](std::size_t length) {
        std::string path = "R\\deep";
        while (path.size() + 41 < length)
            path += "\\" + std::string(40, 'd');
        return path + "\\" + std::string(length - path.size() - 1, 'e');
    };
    tree.File(pathOfLength(255) + "\\Tool.lnk");
    tree.File(pathOfLength(256) + "\\ab");
    tree.File(pathOfLength(256) + "\\below\\cd");
    tree.File("R\\later\\Tool.lnk");
    tree.File("R\\later\\cd");
    const std::string deepAb = pathOfLength(256) + "\\ab";

    struct Case {
        const char* name;
        bool found;
        std::string text;
    };
    const Case cases[] = {
        {"top.lnk", true, "R\\top.lnk"},
        {"X.LNK", true, "R\\a\\deep\\deeper\\X.LNK"},  // all of a before b; the name as asked for
        {"y.lnk", true, "R\\a\\deep\\y.lnk"},
        {"sub.lnk", true, "R\\sub.lnk"},               // a folder bearing the name
        {"via.lnk", true, "R\\in\\linked\\via.lnk"},
        {"target.lnk", true, "R\\z\\target.lnk"},      // not R\in\back\in\back\...\z
        {"none.lnk", false, "none.lnk"},
        {"Tool.lnk", true, "R\\later\\Tool.lnk"},
        {"AB", true, deepAb.substr(0, deepAb.size() - 2) + "AB"},
        {"cd", true, "R\\later\\cd"},
    };
    TreeIndex index(tree);
    index.SetRoot("R");
    for (const Case& c : cases) {
        for (const Answer& a : {Plain(tree, c.name), Indexed(index, c.name)}) {
            EXPECT_EQ(a.found, c.found) << c.name;
            EXPECT_EQ(a.text, c.text) << c.name;
        }
    }
}

TEST(TreeSearch, IndexWalksTheTreeOnceForAllLookups)
{
    MadeUpTree tree;
    for (int f = 0; f < 20; ++f)
        tree.File("R\\f" + std::to_string(f) + "\\g\\App" + std::to_string(f) + ".lnk");
    TreeIndex index(tree);
    index.SetRoot("R");
    for (int f = 0; f < 20; ++f)
        EXPECT_TRUE(Indexed(index, "app" + std::to_string(f) + ".lnk").found);
    EXPECT_FALSE(Indexed(index, "absent.lnk").found);
    EXPECT_EQ(tree.listCalls, 1 + 20 * 2);  // each folder once
    EXPECT_EQ(tree.identifyCalls, 0);       // no link: no folder can come twice
}

// Random trees full of what makes the two ways differ if anything does:
// one name in many folders at many depths, names differing in case only,
// folders bearing a shortcut's name, links across and back up the tree,
// double-byte names with a 0x5C trail byte, and paths at the length limit.
TEST(TreeSearch, IndexAnswersAsThePlainSearchOnRandomTrees)
{
    const std::vector<std::string> names = {"App.lnk", "app.LNK", "Tool.lnk", "x", "ab", "\x95\x5C.lnk",
                                            "\x83\x5C\x83\x74\x83\x67", "dots.in.name", "Sub"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        MadeUpTree tree;
        std::vector<std::string> folders = {"R"};
        for (int i = 0; i < 120; ++i) {
            const std::string parent = folders[pick(folders.size())];
            const std::string name = names[pick(names.size())];
            switch (pick(4)) {
            case 0:
                tree.File(parent + "\\" + name);
                break;
            case 1:
                tree.Folder(parent + "\\" + name);
                folders.push_back(parent + "\\" + name);
                break;
            case 2: {
                std::string deep = parent + "\\" + std::string(40 + pick(50), 'd');
                tree.Folder(deep);
                folders.push_back(deep);
                break;
            }
            default:
                tree.Link(parent + "\\L" + std::to_string(i), folders[pick(folders.size())]);
                break;
            }
        }
        // One index walks at the first lookup, the other ahead of the
        // lookups, which then meet it half-way through its walk.
        TreeIndex index(tree);
        index.SetRoot("R");
        TreeIndex ahead(tree);
        ahead.SetRoot("R");
        ahead.WalkAhead();
        std::vector<std::string> queries = names;
        queries.insert(queries.end(), {"APP.LNK", "tool.LNK", "X", "AB", "sub", "absent", "*.lnk", "App.lnk.",
                                       "a?p.lnk", "Sub\\x", "", "ab "});
        for (const std::string& name : queries) {
            // The index says when it can answer without waiting; it must
            // come to that at the latest when the walk ends.
            std::size_t met = 0;
            while (!ahead.CanAnswer(name.c_str(), met))
                std::this_thread::yield();
            const Answer early = Indexed(ahead, name);
            const Answer plain = Plain(tree, name);
            for (const Answer& indexed : {early, Indexed(index, name)}) {
                EXPECT_EQ(indexed.found, plain.found) << "seed " << seed << ": " << name;
                EXPECT_EQ(indexed.text, plain.text) << "seed " << seed << ": " << name;
            }
        }
    }
}

} // namespace
