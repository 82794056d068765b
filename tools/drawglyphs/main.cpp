// SPDX-License-Identifier: MIT
#include "glyphart.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

// Writes glyph00.png ... glyph17.png, icon.png (48 px) and icon32.png into the directory
// given, by default resources/glyphs of the working directory.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/glyphs");
    QTextStream err(stderr);
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
    for (int i = 0; i < vdm::GlyphArt::GlyphCount; ++i)
        if (!save(vdm::GlyphArt::glyph(i), QStringLiteral("glyph%1.png").arg(i, 2, 10, QLatin1Char('0'))))
            return 1;
    if (!save(vdm::GlyphArt::icon(48), QStringLiteral("icon.png")) || !save(vdm::GlyphArt::icon(32), QStringLiteral("icon32.png")))
        return 1;
    return 0;
}
