// Build step: the pictures the launcher shows, at the sizes it shows them, so that it needs
// neither the SVG module nor a large decode at run time: the sign-in logo (160 and 320
// pixels wide, smoothly scaled from the 1920-pixel artwork, as raw pixels: the first frame
// shows it, and even its small PNG cost 2 M instructions to decode) and every icon at 1x
// and 2x.
// Usage: renditions LOGO.png SVG_DIRECTORY OUTPUT_DIRECTORY
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

namespace {

bool write_png(const QImage& image, const QString& path) {
    QImageWriter writer(path, "png");
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The layout ui::raw_rendition reads: width and height (32-bit little-endian), then the rows
// of premultiplied ARGB32 pixels.
bool write_raw(const QImage& image, const QString& path) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray bytes;
    for (const quint32 side : {quint32(pixels.width()), quint32(pixels.height())}) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.append(char((side >> shift) & 0xff));
        }
    }
    for (int y = 0; y < pixels.height(); ++y) {
        bytes.append(reinterpret_cast<const char*>(pixels.constScanLine(y)),
                     qsizetype(pixels.width()) * 4);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool write_logo(const QString& source_path, const QString& output) {
    const QImage source(source_path);
    if (source.isNull() || source.width() < 1) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(source_path));
        return false;
    }
    for (const int width : {160, 320}) {
        const QImage scaled = source.scaled(width, source.height() * width / source.width(),
                                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!write_raw(scaled, output + QString("/logo-%1.argb").arg(width))) {
            return false;
        }
    }
    return true;
}

// NAME.png at `side` pixels and NAME@2x.png at twice that, which QIcon and the style sheet
// pick by the screen's scale.
bool write_icon(const QString& svg_directory, const QString& name, int side, const QString& output,
                const QString& output_name) {
    QSvgRenderer renderer(svg_directory + '/' + name + ".svg");
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read the icon %s\n", qPrintable(name));
        return false;
    }
    for (const int scale : {1, 2}) {
        QImage image(side * scale, side * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        const QString suffix = scale == 1 ? QString(".png") : QString("@2x.png");
        if (!write_png(image, output + '/' + output_name + suffix)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LOGO.png SVG_DIRECTORY OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString output = QString::fromLocal8Bit(argv[3]);
    const QString svg_directory = QString::fromLocal8Bit(argv[2]);
    if (!QDir().mkpath(output + "/icons") || !write_logo(QString::fromLocal8Bit(argv[1]), output)) {
        return 1;
    }
    // The sides the icons are drawn at. The check box's mark fills the indicator's 16-pixel
    // contents exactly: Qt 6.8 stretches a style sheet's image to that box, 6.4 centres it.
    const struct {
        const char* name;
        int side;
        const char* output_name = nullptr;  // the SVG's own name when none
    } icons[] = {{"back", 28},  {"profile", 18},           {"logout", 18},
                 {"play", 18},  {"settings", 18},          {"chevron-down", 14},
                 {"check", 14}, {"check", 16, "check-box"}};
    for (const auto& icon : icons) {
        const QString name = QString::fromLatin1(icon.name);
        if (!write_icon(svg_directory, name, icon.side, output + "/icons",
                        icon.output_name ? QString::fromLatin1(icon.output_name) : name)) {
            return 1;
        }
    }
    return 0;
}
