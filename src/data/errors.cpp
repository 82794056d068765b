// SPDX-License-Identifier: MIT
#include "data/errors.h"

#include "data/codepage.h"

#include <new>

namespace vdm {

QString errorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void throwConvertError(QByteArrayView text)
{
    throw Error(QStringLiteral("'%1' is not a valid integer value").arg(CodePage::decode(text)));
}

void throwListIndexError(qsizetype index)
{
    throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void throwCannotOpen(const QString& path)
{
    throw Error(QStringLiteral("Cannot open file %1").arg(path));
}

void throwUnableToWrite(const QString& path)
{
    throw Error(QStringLiteral("Unable to write to %1").arg(path));
}

} // namespace vdm
