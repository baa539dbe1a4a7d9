// Fuzz target: the amount parser and the number texts of what it accepts.
#include "fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    etb::fuzz::parseAmount(data, size);
    return 0;
}
