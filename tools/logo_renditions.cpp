// Build step: the sign-in logo at the sizes it is shown (160 and 320 pixels wide), scaled from
// the 1920-pixel artwork with the same smooth scaling the launcher would apply at start.
// Usage: logo_renditions SOURCE.png OUTPUT_DIRECTORY
#include <QImage>
#include <QImageWriter>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.png OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull() || source.width() < 1) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    for (const int width : {160, 320}) {
        const QImage scaled = source.scaled(width, source.height() * width / source.width(),
                                            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QImageWriter writer(QString::fromLocal8Bit(argv[2]) + QString("/logo-%1.png").arg(width),
                            "png");
        if (!writer.write(scaled)) {
            std::fprintf(stderr, "cannot write the %d-pixel logo\n", width);
            return 1;
        }
    }
    return 0;
}
