// Bytes that need not be UTF-8 (network names, file names) come back from their text unchanged.
#include "fuzz.h"

#include "protocol/rawtext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    FUZZ_REQUIRE(bytesFromText(textFromBytes(bytes)) == bytes);
    return 0;
}
