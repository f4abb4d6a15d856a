#pragma once

#include <thread>

#include "catalogue.h"
#include "handles.h"
#include "resolve.h"
#include "work_queue.h"

// Extracts the icons of a catalogue's items once their targets are settled.
// Extraction is the slowest part of a load, every shell call a round trip to
// the system, so a second thread extracts while the loading thread settles
// the next targets, and the loading thread joins in once it has settled the
// last one. An icon depends on its own item's target alone, so which thread
// extracts it changes nothing but the time.
class ItemIcons {
public:
    explicit ItemIcons(HINSTANCE instance) : instance_(instance) {}
    ItemIcons(const ItemIcons&) = delete;
    ItemIcons& operator=(const ItemIcons&) = delete;
    // Lets the second thread finish what was added.
    ~ItemIcons();

    // Starts the second thread, whose COM set-up then overlaps the loading
    // thread's work. Without it the loading thread extracts every icon.
    void Start();
    // `item`'s target is settled: a scheme target as written when `scheme`,
    // otherwise a file path, resolved or not.
    void Add(LaunchItem& item, bool scheme);
    // Extracts what is left on the calling thread, which must have COM, and
    // waits for the second thread: every added item then has its icon.
    void Finish();

private:
    struct Job {
        LaunchItem* item;
        bool scheme;
    };

    void Extract(const Job& job, ShellLinks& links);
    // Extracts jobs until none is left and no more will come.
    void Drain(ShellLinks& links);
    void Work();

    HINSTANCE instance_;
    IconCache cache_;
    WorkQueue<Job> jobs_;
    std::thread worker_;
};
