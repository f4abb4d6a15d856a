#include "tree_search.h"

#include <algorithm>
#include <cstring>

bool JoinTreePath(char (&out)[kTreePathSize], const char* folder, const char* name)
{
    const std::size_t lf = std::strlen(folder);
    const std::size_t ln = std::strlen(name);
    if (lf + 1 + ln > kTreePathSize - 1)
        return false;
    std::memcpy(out, folder, lf);
    out[lf] = '\\';
    std::memcpy(out + lf + 1, name, ln);
    out[lf + 1 + ln] = '\0';
    return true;
}

namespace {

void CopyBounded(char (&out)[kTreePathSize], const char* text)
{
    std::size_t n = 0;
    while (n < kTreePathSize - 1 && text[n] != '\0') {
        out[n] = text[n];
        ++n;
    }
    out[n] = '\0';
}

// The walk shared by the plain search and the index. Enter is called for
// each folder entered (the root first) and ends the walk by answering true;
// See is called for every entry of the folder last entered before the next
// folder is entered.
class TreeWalk {
public:
    explicit TreeWalk(FolderView& view) : view_(view) {}

    bool Run(const char* root)
    {
        entered_.clear();
        unidentified_.clear();
        linkMet_ = false;
        return Walk(root, false);
    }

protected:
    ~TreeWalk() = default;
    virtual bool Enter(const char* folder) = 0;
    virtual void See(const char* /*name*/) {}

    FolderView& view_;

private:
    // False when the folder was entered before, by whatever path. A folder
    // whose identity cannot be read is entered without being remembered;
    // the path limit still ends any loop through it.
    bool FirstVisit(const char* folder, bool link)
    {
        if (!linkMet_ && !link) {
            unidentified_.emplace_back(folder);
            return true;
        }
        if (!linkMet_) {
            linkMet_ = true;
            for (const std::string& path : unidentified_)
                Remember(path.c_str());
            unidentified_.clear();
        }
        FolderId id = {};
        if (!view_.Identify(folder, id))
            return true;
        for (const FolderId& seen : entered_) {
            if (seen.volume == id.volume && seen.high == id.high && seen.low == id.low)
                return false;
        }
        entered_.push_back(id);
        return true;
    }

    void Remember(const char* folder)
    {
        FolderId id = {};
        if (view_.Identify(folder, id))
            entered_.push_back(id);
    }

    bool Walk(const char* folder, bool link)
    {
        if (!FirstVisit(folder, link))
            return false;
        if (Enter(folder))
            return true;

        // A folder too deep for "*.*" is still listed for its own entries.
        char pattern[kTreePathSize];
        const bool descend = JoinTreePath(pattern, folder, "*.*");
        if (!descend && !JoinTreePath(pattern, folder, "*"))
            return false;
        std::vector<ListedEntry> entries;
        if (!view_.List(pattern, entries))
            return false;
        for (const ListedEntry& entry : entries) {
            if (entry.name != "." && entry.name != "..")
                See(entry.name.c_str());
        }
        if (!descend)
            return false;
        for (const ListedEntry& entry : entries) {
            if (!entry.folder || entry.name == "." || entry.name == "..")
                continue;
            char subfolder[kTreePathSize];
            if (JoinTreePath(subfolder, folder, entry.name.c_str()) && Walk(subfolder, entry.link))
                return true;
        }
        return false;
    }

    std::vector<FolderId> entered_;
    bool linkMet_ = false;
    std::vector<std::string> unidentified_;  // entered before any link
};

class PlainSearch final : public TreeWalk {
public:
    PlainSearch(FolderView& view, char (&out)[kTreePathSize], const char* name)
        : TreeWalk(view), out_(out), name_(name) {}

private:
    bool Enter(const char* folder) override
    {
        char path[kTreePathSize];
        if (!JoinTreePath(path, folder, name_) || !view_.Probe(path))
            return false;
        std::memcpy(out_, path, std::strlen(path) + 1);
        return true;
    }

    char (&out_)[kTreePathSize];
    const char* name_;
};

} // namespace

bool SearchTreeFor(FolderView& view, char (&out)[kTreePathSize], const char* name, const char* root)
{
    PlainSearch search(view, out, name);
    return search.Run(root);
}

void TreeIndex::SetRoot(const char* folder)
{
    CopyBounded(root_, folder);
    built_ = false;
    folders_.clear();
    entries_.clear();
}

void TreeIndex::Build(const std::atomic<bool>* abandon)
{
    // Records every folder entered and the names each one lists.
    class Indexer final : public TreeWalk {
    public:
        Indexer(TreeIndex& index, const std::atomic<bool>* abandon)
            : TreeWalk(index.view_), index_(index), abandon_(abandon) {}

        bool abandoned = false;

    private:
        bool Enter(const char* folder) override
        {
            if (abandon_ != nullptr && abandon_->load(std::memory_order_relaxed)) {
                abandoned = true;
                return true;
            }
            current_ = static_cast<std::uint32_t>(index_.folders_.size());
            index_.folders_.emplace_back(folder);
            return false;
        }

        void See(const char* name) override
        {
            // A listed "?" stands for a character the code page cannot hold:
            // no plain name reaches that entry.
            if (std::strchr(name, '?') != nullptr)
                return;
            Entry entry;
            if (view_.NameKey(name, entry.key)) {
                entry.folder = current_;
                index_.entries_.push_back(std::move(entry));
            }
        }

        TreeIndex& index_;
        const std::atomic<bool>* abandon_;
        std::uint32_t current_ = 0;
    };

    if (built_)
        return;
    Indexer indexer(*this, abandon);
    indexer.Run(root_);
    if (indexer.abandoned) {
        folders_.clear();
        entries_.clear();
        return;
    }
    built_ = true;
    // Entries arrive folder by folder in the order of entering; a stable sort
    // keeps that order among equal names, so the first of them is the match.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
}

bool TreeIndex::IsPlainName(const char* name)
{
    if (name[0] == '\0')
        return false;
    const char* last = name;
    for (const char* p = name; *p != '\0'; ++p) {
        last = p;
        if (view_.IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
            ++p;
            continue;
        }
        if (std::strchr("*?~\\/:<>|\"", *p) != nullptr)
            return false;
    }
    return *last != '.' && *last != ' ';
}

bool TreeIndex::Find(char* buffer)
{
    char name[kTreePathSize];
    CopyBounded(name, buffer);
    std::wstring key;
    if (!IsPlainName(name) || !view_.NameKey(name, key)) {
        char found[kTreePathSize];
        if (!SearchTreeFor(view_, found, name, root_))
            return false;
        std::memcpy(buffer, found, std::strlen(found) + 1);
        return true;
    }
    Build();

    auto match = std::lower_bound(entries_.begin(), entries_.end(), key,
                                  [](const Entry& e, const std::wstring& k) { return e.key < k; });
    for (; match != entries_.end() && match->key == key; ++match) {
        // The plain search passes over a folder where the joined path would
        // be too long, and gives the name as asked for.
        char path[kTreePathSize];
        if (JoinTreePath(path, folders_[match->folder].c_str(), name)) {
            std::memcpy(buffer, path, std::strlen(path) + 1);
            return true;
        }
    }
    return false;
}
