#include "app/translator.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto table = halvark::app::parse_translation_table(fuzz_bytes(data, size));
    if (table && table->isEmpty()) {
        __builtin_trap();  // a loaded table always holds a text
    }
    return 0;
}
