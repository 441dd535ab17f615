// libFuzzer entry: arbitrary bytes as the settings file.
#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::checkSettings(data, size);
    return 0;
}
