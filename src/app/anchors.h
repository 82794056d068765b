// SPDX-License-Identifier: MIT
#pragma once
namespace vdm { class AnchorTable {}; }
