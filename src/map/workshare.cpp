// SPDX-License-Identifier: MIT
#include "map/workshare.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vdm {

struct WorkShare::Private {
    std::mutex mutex;
    std::condition_variable posted, finished;
    bool stopping = false;
    // The job under way, set by the caller under the mutex.
    std::uint32_t job = 0;
    void (*call)(void*, int, int) = nullptr;
    void* context = nullptr;
    int count = 0;
    int done = 0; // parts finished, under the mutex
    /**
     * The next part to hand out, with its job's number in the upper half: a helper that
     * wakes late, after its job ended, finds another number there and claims nothing, so
     * it never runs a part of a job with the context of one gone.
     */
    std::atomic<std::uint64_t> next{0};
    std::thread helper;

    /** The next part of `job`, or -1 when none is left. */
    int claim(std::uint32_t forJob, int parts)
    {
        std::uint64_t seen = next.load(std::memory_order_relaxed);
        for (;;) {
            const auto part = int(seen & 0xFFFFFFFFu);
            if (std::uint32_t(seen >> 32) != forJob || part >= parts)
                return -1;
            if (next.compare_exchange_weak(seen, seen + 1, std::memory_order_acq_rel))
                return part;
        }
    }

    /** Runs parts of `forJob` on `thread` until none is left, counting each finished. */
    void work(std::uint32_t forJob, void (*fn)(void*, int, int), void* ctx, int parts, int thread)
    {
        for (int part = claim(forJob, parts); part >= 0; part = claim(forJob, parts)) {
            fn(ctx, part, thread);
            std::lock_guard lock(mutex);
            if (++done == parts)
                finished.notify_all();
        }
    }

    void helperLoop()
    {
        std::uint32_t seen = 0;
        for (;;) {
            std::unique_lock lock(mutex);
            posted.wait(lock, [&] { return stopping || job != seen; });
            if (stopping)
                return;
            seen = job;
            const auto fn = call;
            void* const ctx = context;
            const int parts = count;
            lock.unlock();
            work(seen, fn, ctx, parts, 1);
        }
    }
};

WorkShare::WorkShare(bool helper) : d(std::make_unique<Private>())
{
    if (helper && std::thread::hardware_concurrency() >= 2)
        d->helper = std::thread([p = d.get()] { p->helperLoop(); });
}

WorkShare::~WorkShare()
{
    if (!d->helper.joinable())
        return;
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->posted.notify_all();
    d->helper.join();
}

bool WorkShare::helps() const
{
    return d->helper.joinable();
}

void WorkShare::runParts(int count, void (*call)(void*, int, int), void* context, void (*first)(void*),
                         void* firstContext)
{
    if (count <= 0 || !helps() || (count == 1 && !first)) {
        if (first)
            first(firstContext);
        for (int i = 0; i < count; ++i)
            call(context, i, 0);
        return;
    }
    std::uint32_t job;
    {
        std::lock_guard lock(d->mutex);
        job = ++d->job;
        d->call = call;
        d->context = context;
        d->count = count;
        d->done = 0;
        d->next.store(std::uint64_t(job) << 32, std::memory_order_release);
    }
    d->posted.notify_one();
    if (first)
        first(firstContext);
    d->work(job, call, context, count, 0);
    // The helper may still be running a part it claimed: the job ends with its last part.
    std::unique_lock lock(d->mutex);
    d->finished.wait(lock, [&] { return d->done == count; });
}

} // namespace vdm
