// SPDX-License-Identifier: MIT
#include "glyphart.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

// Writes glyph00.png ... glyph17.png, icon.png (48 px) and icon32.png into the directory
// given, by default resources/glyphs of the working directory, each with its twice as
// large "@2x" partner (glyph00@2x.png, icon@2x.png at 96 px, icon32@2x.png at 64 px) that
// Qt picks on a screen of device pixel ratio 2, and icon16.png, icon22.png, icon24.png,
// icon128.png and icon256.png, so the window's icon is drawn at every size of the theme.
// With --icon SIZE FILE it writes the icon at SIZE pixels (16 to 256) into FILE instead:
// the build draws the desktop icon at each of the theme's sizes that way.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args[0] == u"--icon") {
        bool ok = false;
        const int size = args.size() == 3 ? args[1].toInt(&ok) : 0;
        if (!ok || size < 16 || size > 256) {
            err << "usage: veldamar-drawglyphs --icon SIZE FILE (SIZE 16 to 256)\n";
            return 2;
        }
        if (!vdm::GlyphArt::icon(size).save(args[2], "PNG")) {
            err << "Unable to write to " << args[2] << "\n";
            return 1;
        }
        return 0;
    }
    const QString dir = args.isEmpty() ? QStringLiteral("resources/glyphs") : args[0];
    if (!QDir().mkpath(dir)) {
        err << "Cannot create " << dir << "\n";
        return 1;
    }
    auto save = [&](const QImage& image, const QString& name) {
        const QString path = QDir(dir).filePath(name);
        if (!image.save(path, "PNG")) {
            err << "Unable to write to " << path << "\n";
            return false;
        }
        return true;
    };
    for (int i = 0; i < vdm::GlyphArt::GlyphCount; ++i) {
        const QString name = QStringLiteral("glyph%1").arg(i, 2, 10, QLatin1Char('0'));
        if (!save(vdm::GlyphArt::glyph(i), name + QStringLiteral(".png"))
            || !save(vdm::GlyphArt::glyph(i, 2), name + QStringLiteral("@2x.png")))
            return 1;
    }
    if (!save(vdm::GlyphArt::icon(48), QStringLiteral("icon.png"))
        || !save(vdm::GlyphArt::icon(96), QStringLiteral("icon@2x.png"))
        || !save(vdm::GlyphArt::icon(32), QStringLiteral("icon32.png"))
        || !save(vdm::GlyphArt::icon(64), QStringLiteral("icon32@2x.png")))
        return 1;
    // The window's own icon at the theme's other sizes.
    for (const int size : {16, 22, 24, 128, 256}) {
        if (!save(vdm::GlyphArt::icon(size), QStringLiteral("icon%1.png").arg(size)))
            return 1;
    }
    return 0;
}
