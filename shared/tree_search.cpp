#include "tree_search.h"

#include <algorithm>
#include <cstring>
#include <system_error>

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

TreeIndex::~TreeIndex()
{
    StopWalkAhead();
}

void TreeIndex::StopWalkAhead()
{
    if (!walker_.joinable())
        return;
    abandon_.store(true, std::memory_order_relaxed);
    walker_.join();
    abandon_.store(false, std::memory_order_relaxed);
}

void TreeIndex::SetRoot(const char* folder)
{
    StopWalkAhead();
    CopyBounded(root_, folder);
    state_ = State::Unwalked;
    folders_.clear();
    entries_.clear();
}

void TreeIndex::WalkAhead()
{
    if (state_ != State::Unwalked || walker_.joinable())
        return;
    state_ = State::Walking;
    try {
        walker_ = std::thread([this] { Walk(); });
    } catch (const std::system_error&) {
        state_ = State::Unwalked;
    }
}

// Runs with state_ Walking; lookups on other threads read what it has met so
// far under the lock.
void TreeIndex::Walk()
{
    // Records every folder entered and the names each one lists.
    class Indexer final : public TreeWalk {
    public:
        explicit Indexer(TreeIndex& index) : TreeWalk(index.view_), index_(index) {}

        bool abandoned = false;

    private:
        bool Enter(const char* folder) override
        {
            if (index_.abandon_.load(std::memory_order_relaxed)) {
                abandoned = true;
                return true;
            }
            {
                std::lock_guard<std::mutex> hold(index_.lock_);
                current_ = static_cast<std::uint32_t>(index_.folders_.size());
                index_.folders_.emplace_back(folder);
            }
            // The entries of the folder before are all in by now.
            index_.grown_.notify_all();
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
                std::lock_guard<std::mutex> hold(index_.lock_);
                index_.entries_.push_back(std::move(entry));
            }
        }

        TreeIndex& index_;
        std::uint32_t current_ = 0;
    };

    Indexer indexer(*this);
    indexer.Run(root_);
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (indexer.abandoned) {
            state_ = State::Unwalked;
            folders_.clear();
            entries_.clear();
        } else {
            state_ = State::Walked;
            // Entries arrive folder by folder in the order of entering; a
            // stable sort keeps that order among equal names, so the first
            // of them is the match.
            std::stable_sort(entries_.begin(), entries_.end(),
                             [](const Entry& a, const Entry& b) { return a.key < b.key; });
        }
    }
    grown_.notify_all();
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
    std::unique_lock<std::mutex> hold(lock_);
    if (state_ == State::Unwalked) {
        state_ = State::Walking;
        hold.unlock();
        Walk();
        hold.lock();
    }
    // While the walk runs, the first entry of the name met so far is the
    // first of all: later folders only add later entries.
    std::size_t seen = 0;
    while (state_ == State::Walking) {
        for (; seen < entries_.size(); ++seen) {
            if (Answer(entries_[seen], key, name, buffer))
                return true;
        }
        grown_.wait(hold);
    }

    auto match = std::lower_bound(entries_.begin(), entries_.end(), key,
                                  [](const Entry& e, const std::wstring& k) { return e.key < k; });
    for (; match != entries_.end() && match->key == key; ++match) {
        if (Answer(*match, key, name, buffer))
            return true;
    }
    return false;
}

bool TreeIndex::CanAnswer(const char* name, std::size_t& met)
{
    std::wstring key;
    if (!IsPlainName(name) || !view_.NameKey(name, key))
        return true;
    std::lock_guard<std::mutex> hold(lock_);
    if (state_ != State::Walking)
        return true;
    char path[kTreePathSize];
    for (; met < entries_.size(); ++met) {
        if (Answer(entries_[met], key, name, path))
            return true;
    }
    return false;
}

bool TreeIndex::Answer(const Entry& entry, const std::wstring& key, const char* name, char* buffer) const
{
    if (entry.key != key)
        return false;
    // The plain search passes over a folder where the joined path would be
    // too long, and gives the name as asked for.
    char path[kTreePathSize];
    if (!JoinTreePath(path, folders_[entry.folder].c_str(), name))
        return false;
    std::memcpy(buffer, path, std::strlen(path) + 1);
    return true;
}
