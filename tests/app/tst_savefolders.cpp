// SPDX-License-Identifier: MIT
// Where "Save view as image" and "Export progress" propose to write: the user's pictures
// and documents folders at first, then the folder last saved into, which the settings
// keep only once it was used.
#include "app/mainformfixture.h"
#include "common/testutils.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace vdm::test {
namespace {

/** Sets an environment variable for the lifetime of the object. */
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QString& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, QFile::encodeName(value));
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

struct Command {
    const char* action;
    const char* standardFolder; // below the home folder, as the user's folders are by default
    const char* what;
    const char* suffix;
    const char* key; // in the settings file
};

class SaveFoldersTest : public MainFormTest, public ::testing::WithParamInterface<Command> {
protected:
    void SetUp() override
    {
        writeLocations({locationRecord("Alpha", 0, 0, 0)});
        ASSERT_TRUE(QDir(home.path()).mkpath(QLatin1String(GetParam().standardFolder)));
        open();
    }
    /** Runs the command once; `path` is what the user picks (nullopt: Cancel). */
    void run(const std::optional<QString>& path)
    {
        prompts.choices.push_back(0); // the image command first asks what to save
        prompts.filesToSave.push_back(path);
        QAction* action = form->findChild<QAction*>(QLatin1String(GetParam().action));
        ASSERT_NE(action, nullptr);
        action->trigger();
    }
    /** The name proposed for this world today, in `folder`. */
    QString proposed(const QString& folder) const
    {
        return QDir(folder).filePath(QStringLiteral("%1-%2-%3.%4")
                                         .arg(QFileInfo(world.dir()).fileName(), QLatin1String(GetParam().what),
                                              QDate::currentDate().toString(Qt::ISODate),
                                              QLatin1String(GetParam().suffix)));
    }

    QTemporaryDir home, elsewhere;
    ScopedEnv homeVariable{"HOME", home.path()};
    ScopedEnv config{"XDG_CONFIG_HOME", home.filePath(QStringLiteral("config"))};
};

TEST_P(SaveFoldersTest, TheUsersFolderFirstThenTheFolderLastSavedInto)
{
    const Command& c = GetParam();
    const QString standard = home.filePath(QLatin1String(c.standardFolder));
    run(std::nullopt);
    ASSERT_EQ(prompts.fileStarts.size(), 1);
    EXPECT_EQ(prompts.fileStarts.back(), proposed(standard)) << "never the world's folder";

    const QString chosen = elsewhere.filePath(QStringLiteral("mine.") + QLatin1String(c.suffix));
    run(chosen);
    EXPECT_TRUE(prompts.errors.isEmpty()) << qPrintable(prompts.errors.join(QLatin1Char('\n')));
    EXPECT_TRUE(QFileInfo::exists(chosen));
    run(std::nullopt);
    EXPECT_EQ(prompts.fileStarts.back(), proposed(elsewhere.path()));

    close();
    const QByteArray settings = readFile(world.appPath(QStringLiteral("qor.ini")));
    EXPECT_TRUE(settings.contains(QByteArray(c.key) + '=' + QFile::encodeName(elsewhere.path()) + "\r\n"))
        << settings.constData();
    open();
    run(std::nullopt);
    EXPECT_EQ(prompts.fileStarts.back(), proposed(elsewhere.path())) << "remembered across runs";
    // A remembered folder that has gone gives way to the user's folder again.
    close();
    ASSERT_TRUE(elsewhere.remove());
    open();
    run(std::nullopt);
    EXPECT_EQ(prompts.fileStarts.back(), proposed(standard));
}

// A run that never saved leaves the settings file without the key.
TEST_P(SaveFoldersTest, ARunThatNeverSavesWritesNoFolder)
{
    run(std::nullopt);
    close();
    EXPECT_FALSE(readFile(world.appPath(QStringLiteral("qor.ini"))).contains(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(Commands, SaveFoldersTest,
                         ::testing::Values(Command{"ActionSaveImage", "Pictures", "map", "png", "ImageFolder"},
                                           Command{"ActionExportProgress", "Documents", "progress", "txt",
                                                   "ExportFolder"}),
                         [](const ::testing::TestParamInfo<Command>& row) { return std::string(row.param.key); });

} // namespace
} // namespace vdm::test
