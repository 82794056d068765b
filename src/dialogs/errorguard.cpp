// SPDX-License-Identifier: MIT
#include "dialogs/errorguard.h"

#include "data/errors.h"

#include <new>

namespace vdm {

void reportHandlerError(Prompts& prompts, QWidget* parent, std::exception_ptr error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        text = e.message();
    } catch (const std::bad_alloc&) {
        text = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    try {
        prompts.showError(parent, text);
    } catch (...) {
        // Nothing may leave the guard.
    }
}

} // namespace vdm
