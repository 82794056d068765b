// SPDX-License-Identifier: MIT
#include "map/cpufeatures.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace vdm {

bool featureListed(const char* list, const char* feature)
{
    if (!list)
        return false;
    const std::size_t length = std::strlen(feature);
    const auto separator = [](char c) { return c == ' ' || c == ',' || c == '\t' || c == ';'; };
    for (const char* p = list; *p;) {
        while (*p && separator(*p))
            ++p;
        const char* start = p;
        while (*p && !separator(*p))
            ++p;
        if (std::size_t(p - start) == length && strncasecmp(start, feature, length) == 0)
            return true;
    }
    return false;
}

bool useAvx2()
{
    static const bool yes = [] {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2") == 0)
            return false;
        // Qt's list takes the names it prints ("avx2"); AVX2 needs AVX, so either switches it off.
        const char* off = std::getenv("QT_NO_CPU_FEATURE");
        return !featureListed(off, "avx2") && !featureListed(off, "avx");
#else
        return false;
#endif
    }();
    return yes;
}

} // namespace vdm
