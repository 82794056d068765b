// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/prompts.h"

#include <QObject>

#include <type_traits>
#include <utility>

class QWidget;

namespace vdm {

/** Shows an exception caught around a handler in the error box. */
void reportHandlerError(Prompts& prompts, QWidget* parent, std::exception_ptr error);

/**
 * Runs one event handler inside the guard: an exception it throws is shown in the error
 * box (captioned with the application title) and the event loop goes on. No exception
 * ever crosses a Qt frame.
 */
template <class Handler> void guarded(Prompts& prompts, QWidget* parent, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        reportHandlerError(prompts, parent, std::current_exception());
    }
}

namespace detail {

/**
 * The slot of `connectGuarded`: it takes only what the handler takes, so Qt passes the
 * signal's leading arguments, or none, as it does for any slot.
 */
template <class Handler> struct GuardedSlot {
    Prompts* prompts;
    QWidget* parent;
    Handler handler;

    template <class... Args>
    requires std::is_invocable_v<const Handler&, const Args&...>
    void operator()(const Args&... args) const
    {
        guarded(*prompts, parent, [&] { handler(args...); });
    }
};

} // namespace detail

/**
 * Connects `signal` of `sender` to `handler`, run inside the guard with `parent` as the error
 * box's parent; the connection ends with `parent`. The handler takes the signal's arguments
 * or none at all.
 */
template <class Sender, class Signal, class Handler>
QMetaObject::Connection connectGuarded(Prompts& prompts, QWidget* parent, Sender* sender, Signal signal,
                                       Handler handler)
{
    return QObject::connect(sender, signal, parent, detail::GuardedSlot<Handler>{&prompts, parent, std::move(handler)});
}

} // namespace vdm
