// SPDX-License-Identifier: MIT
#include "common/testutils.h"

#include "data/errors.h"

#include <QDialog>
#include <QDir>
#include <QTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <stdexcept>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vdm::test {

Location place(const QByteArray& name, std::int32_t status, const QByteArray& note)
{
    Location l;
    l.Name = name;
    l.Status = status;
    l.Note = note;
    return l;
}

Location marker(const QByteArray& text, int x, int y)
{
    Location m;
    m.Name = text;
    m.Level = 1;
    m.X = x;
    m.Y = y;
    return m;
}

QString fixturePath(const QString& relative)
{
    return QStringLiteral(VDM_FIXTURES_DIR "/") + relative;
}

ProgramRun runProgram(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    const bool crashed = p.exitStatus() != QProcess::NormalExit;
    return {crashed ? -1 : p.exitCode(), crashed, QString::fromLocal8Bit(p.readAllStandardError()),
            QString::fromLocal8Bit(p.readAllStandardOutput())};
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

ScopedCurrentDir::ScopedCurrentDir(const QString& dir) : m_old(QDir::currentPath())
{
    QDir::setCurrent(dir);
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    QDir::setCurrent(m_old);
}

void forEachByteSoup(std::uint32_t seed, const QByteArray& alphabet, int maxLength, int rounds,
                     const std::function<void(const QByteArray&)>& read)
{
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < rounds; ++round) {
        QByteArray bytes;
        const int n = int(next() >> 16) % maxLength;
        for (int i = 0; i < n; ++i)
            bytes += alphabet[int((next() >> 16) % std::uint32_t(alphabet.size()))];
        try {
            read(bytes);
        } catch (const Error&) {}
    }
}

int runModal(QDialog* dialog, const std::function<void()>& whileOpen)
{
    QTimer::singleShot(0, dialog, whileOpen);
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
    safety.start(10000);
    return dialog->exec();
}

int differingPixels(const QImage& a, const QImage& b, int tolerance)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int j = 0; j < x.height(); ++j) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(j));
        for (int i = 0; i < x.width(); ++i)
            if (qAbs(qRed(p[i]) - qRed(q[i])) > tolerance || qAbs(qGreen(p[i]) - qGreen(q[i])) > tolerance
                || qAbs(qBlue(p[i]) - qBlue(q[i])) > tolerance)
                ++count;
    }
    return count;
}

int largestChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int largest = 0;
    for (int j = 0; j < x.height(); ++j) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(j));
        for (int i = 0; i < x.width(); ++i)
            largest = std::max({largest, qAbs(qRed(p[i]) - qRed(q[i])), qAbs(qGreen(p[i]) - qGreen(q[i])),
                                qAbs(qBlue(p[i]) - qBlue(q[i])), qAbs(qAlpha(p[i]) - qAlpha(q[i]))});
    }
    return largest;
}

struct Fifo::Watchdog {
    QByteArray path;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::atomic<bool> fired{false};
    std::thread thread;
};

Fifo::Fifo(const QString& path) : m_watchdog(std::make_unique<Watchdog>())
{
    Watchdog& w = *m_watchdog;
    w.path = QFile::encodeName(path);
    if (::mkfifo(w.path.constData(), 0644) != 0)
        throw std::runtime_error("cannot make a FIFO at " + path.toStdString());
    w.thread = std::thread([&w] {
        std::unique_lock lock(w.mutex);
        if (w.done.wait_for(lock, std::chrono::seconds(10), [&w] { return w.finished; }))
            return;
        w.fired = true;
        // A writer arriving lets a blocked open for reading return; closing it ends the data.
        const int fd = ::open(w.path.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
}

Fifo::~Fifo()
{
    {
        std::lock_guard lock(m_watchdog->mutex);
        m_watchdog->finished = true;
    }
    m_watchdog->done.notify_all();
    m_watchdog->thread.join();
}

bool Fifo::blocked() const
{
    return m_watchdog->fired;
}

ScopedXdgHome::ScopedXdgHome() : m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldData(qgetenv("XDG_DATA_HOME"))
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data()));
}

ScopedXdgHome::~ScopedXdgHome()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_DATA_HOME", m_oldData);
}

InstalledPrefix::InstalledPrefix()
    : m_bin(m_prefix.filePath(QStringLiteral("bin")) + QLatin1Char('/')),
      m_share(m_prefix.filePath(QStringLiteral("share/veldamar-map")) + QLatin1Char('/'))
{
    m_made = m_prefix.isValid() && QDir().mkpath(m_bin) && QDir().mkpath(m_share);
}

ScopedReadOnlyFolder::ScopedReadOnlyFolder(const QString& folder) : m_folder(folder)
{
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                                        | QFile::ReadOther | QFile::ExeOther);
}

ScopedReadOnlyFolder::~ScopedReadOnlyFolder()
{
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::vector<std::string> texts(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

QList<QFont> captionTestFonts()
{
    QFont bold(QStringLiteral("Sans"), 13);
    bold.setBold(true);
    QFont italic(QStringLiteral("Serif"), 11);
    italic.setItalic(true);
    QFont pixels(QStringLiteral("Monospace"));
    pixels.setPixelSize(10);
    return {QFont(QStringLiteral("Sans"), 9), bold, italic, pixels};
}

} // namespace vdm::test
