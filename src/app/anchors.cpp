// SPDX-License-Identifier: MIT
#include "app/anchors.h"
