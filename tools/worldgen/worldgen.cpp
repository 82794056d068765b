// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

#include "data/errors.h"

namespace vdm::worldgen {

void generate(const QString&, const Options&)
{
    throw Error(QStringLiteral("The world generator is being written"));
}

} // namespace vdm::worldgen
