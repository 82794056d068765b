// SPDX-License-Identifier: MIT
#include "common/killtrial.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

namespace vdm::test {

::testing::AssertionResult killAtRandomMoment(const QString& program, const QStringList& arguments, int maxWaitUs,
                                              QRandomGenerator& random)
{
    QProcess child;
    child.start(program, arguments);
    if (!child.waitForStarted(10000))
        return ::testing::AssertionFailure() << "cannot start " << program.toStdString();
    if (!child.waitForReadyRead(10000))
        return ::testing::AssertionFailure()
               << "the writer said nothing: " << child.readAllStandardError().toStdString();
    const int waitUs = int(random.bounded(maxWaitUs));
    if (waitUs > 200)
        QThread::usleep(waitUs);
    child.kill();
    if (!child.waitForFinished(10000))
        return ::testing::AssertionFailure() << "the writer outlived its kill";
    if (child.exitStatus() != QProcess::CrashExit)
        return ::testing::AssertionFailure()
               << "the writer stopped by itself: " << child.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}

} // namespace vdm::test
