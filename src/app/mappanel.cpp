// SPDX-License-Identifier: MIT
#include "app/mappanel.h"
