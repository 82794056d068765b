// SPDX-License-Identifier: MIT
#include "app/inifile.h"

namespace vdm {

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

} // namespace vdm
