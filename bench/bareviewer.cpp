// SPDX-License-Identifier: MIT
// The floor of the first-frame benchmark: the barest Qt program that shows a picture.
// It decodes the JPEG file it is given with Qt's own reader and paints its top-left corner
// into a plain window of the size given (Qt's -geometry option places it); nothing else.
// Usage: vdm-bareviewer <picture> [-geometry WxH+X+Y]
#include <QApplication>
#include <QImageReader>
#include <QPainter>
#include <QWidget>

#include <cstdio>

namespace {

class PictureWindow : public QWidget {
public:
    explicit PictureWindow(QImage picture) : m_picture(std::move(picture)) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_picture);
    }

private:
    QImage m_picture;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vdm-bareviewer <picture> [-geometry WxH+X+Y]\n");
        return 2;
    }
    QImageReader reader(args[1]);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(args[1]), qPrintable(reader.errorString()));
        return 2;
    }
    PictureWindow window(picture);
    window.setWindowTitle(QStringLiteral("bare viewer"));
    window.show();
    return app.exec();
}
