// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <type_traits>

namespace vdm {

/**
 * The second core for a paint: a helper thread that takes part in a job the caller runs.
 * run(count, part) hands the parts 0..count-1 out one at a time to whichever of the two
 * threads is free, the caller taking its share, and returns once every part has run. Each
 * part runs exactly once; what the parts write must not overlap, so the result is the same
 * whichever thread ran which part. Without a second core (or switched off) the caller runs
 * every part itself, in order. Not for nested or concurrent jobs: one caller at a time.
 */
class WorkShare {
public:
    /** With `helper` false, or on a machine of one core, no thread is started. */
    explicit WorkShare(bool helper = true);
    ~WorkShare();
    WorkShare(const WorkShare&) = delete;
    WorkShare& operator=(const WorkShare&) = delete;

    /** Whether a helper thread takes part. */
    bool helps() const;

    /**
     * Runs part(i) for every i in 0..count-1, on both threads; returns when all are done.
     * A part that takes two arguments is also told which thread runs it: 0 the caller, 1
     * the helper (for what each thread keeps of its own).
     */
    template <typename Part> void run(int count, Part&& part)
    {
        using Bare = std::remove_reference_t<Part>;
        runParts(count, &callPart<Bare>, const_cast<std::remove_const_t<Bare>*>(&part));
    }

    /**
     * Runs first() on the calling thread while the helper takes parts, then takes parts
     * too; returns when first() and every part are done: the helper works on something
     * else while the caller does what only it can. What first() touches must not overlap
     * what the parts write. Without a helper, first() runs before the parts.
     */
    template <typename Part, typename First> void runBeside(int count, Part&& part, First&& first)
    {
        using Bare = std::remove_reference_t<Part>;
        using BareFirst = std::remove_reference_t<First>;
        runParts(
            count, &callPart<Bare>, const_cast<std::remove_const_t<Bare>*>(&part),
            [](void* f) { (*static_cast<BareFirst*>(f))(); }, const_cast<std::remove_const_t<BareFirst>*>(&first));
    }

private:
    /**
     * Calls the part behind `p` for part `i`: the context travels untyped, and the part is
     * called as the caller gave it (told the thread when it takes two arguments).
     */
    template <typename Bare> static void callPart(void* p, int i, int thread)
    {
        if constexpr (std::is_invocable_v<Bare&, int, int>)
            (*static_cast<Bare*>(p))(i, thread);
        else
            (*static_cast<Bare*>(p))(i);
    }
    void runParts(int count, void (*call)(void*, int, int), void* context, void (*first)(void*) = nullptr,
                  void* firstContext = nullptr);

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace vdm
