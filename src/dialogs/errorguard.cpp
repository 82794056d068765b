// SPDX-License-Identifier: MIT
#include "dialogs/errorguard.h"

#include "data/errors.h"

namespace vdm {

void reportHandlerError(Prompts& prompts, QWidget* parent, std::exception_ptr error)
{
    const QString text = errorText(error);
    try {
        prompts.showError(parent, text);
    } catch (...) {
        // Nothing may leave the guard.
    }
}

} // namespace vdm
