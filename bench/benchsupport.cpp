// SPDX-License-Identifier: MIT
#include "benchsupport.h"

#include <QApplication>
#include <QFile>

#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vdm::bench {

std::size_t memchrLines(const QByteArray& bytes)
{
    std::size_t lines = 0;
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    while (const void* nl = std::memchr(p, '\n', std::size_t(end - p))) {
        ++lines;
        p = static_cast<const char*>(nl) + 1;
    }
    return lines;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(values.size() / 2), values.end());
    return values[values.size() / 2];
}

void Samples::report(benchmark::State& state, const char* unit) const
{
    const double each = median(figure), fl = median(floor);
    state.counters[std::string("each_") + unit] = each;
    state.counters[std::string("floor_") + unit] = fl;
    state.counters["x_floor"] = fl > 0 ? each / fl : 0;
}

void CountingPrompts::showError(QWidget*, const QString& text)
{
    ++errors;
    std::fprintf(stderr, "error: %s\n", qPrintable(text));
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

bool plainWriteAndSync(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

int runBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit)
        beforeExit();
    return 0;
}

} // namespace vdm::bench
