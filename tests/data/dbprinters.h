// SPDX-License-Identifier: MIT
#pragma once

#include "data/location.h"

#include <QString>
#include <ostream>

// GoogleTest printers for the database tests, so a failing comparison shows texts
// rather than object bytes.

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace vdm {

inline void PrintTo(const Location& l, std::ostream* os)
{
    *os << "{\"" << l.Name.toStdString() << "\" L" << l.Level << " (" << l.X << ',' << l.Y << ") S" << l.Status << " \""
        << l.Note.toStdString() << "\" routes " << l.Routes.size() << '}';
}

} // namespace vdm
