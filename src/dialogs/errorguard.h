// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/prompts.h"

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
template<class Handler>
void guarded(Prompts& prompts, QWidget* parent, Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        reportHandlerError(prompts, parent, std::current_exception());
    }
}

} // namespace vdm
