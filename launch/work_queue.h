#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

// Jobs handed from the thread that loads the catalogue to the threads that
// help it, taken in the order they were added, each by one thread.
template <typename Job>
class WorkQueue {
public:
    void Add(const Job& job)
    {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            jobs_.push_back(job);
        }
        changed_.notify_one();
    }

    // No more jobs will come: the threads that take them finish what is left.
    void Close()
    {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            closed_ = true;
        }
        changed_.notify_all();
    }

    // Waits for the next job; false once the queue is closed and empty.
    bool Take(Job& job)
    {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return next_ < jobs_.size() || closed_; });
        if (next_ == jobs_.size())
            return false;
        job = jobs_[next_++];
        return true;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;  // signalled for every job and at Close
    std::vector<Job> jobs_;
    std::size_t next_ = 0;  // the first job no thread has taken
    bool closed_ = false;
};
