// One libFuzzer target; TANDRILL_FUZZ_ENTRY names the entry point of FuzzTargets it drives.

#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzTargets::TANDRILL_FUZZ_ENTRY(data, size);
    return 0;
}
