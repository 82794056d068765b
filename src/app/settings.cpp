// SPDX-License-Identifier: MIT
#include "app/settings.h"
