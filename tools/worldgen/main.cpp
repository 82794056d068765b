// SPDX-License-Identifier: MIT
#include "worldgen/worldgen.h"

int main()
{
    return 2;
}
