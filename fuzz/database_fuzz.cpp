// libFuzzer entry: arbitrary bytes as a database file.
#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::checkDatabase(data, size);
    return 0;
}
