// Picture decoding with the launcher's limits, at natural size and at a card's size.
#include "fuzz_support.h"
#include "ui/screens/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_environment();
    using halvark::ui::screens::decode_bounded_image;
    const QByteArray bytes = fuzz_bytes(data, size);
    for (const QSize target : {QSize(), QSize(256, 64)}) {
        const QImage image = decode_bounded_image(bytes, target);
        if (static_cast<qint64>(image.width()) * image.height() >
            halvark::ui::screens::kMaxImagePixels) {
            __builtin_trap();
        }
    }
    return 0;
}
