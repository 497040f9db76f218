// ExtractPayload over arbitrary payload bytes: header scan, path rules, stored copy and -lh5- decoder.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    HostSetCodePage(size % 2 ? 932 : 1252);  // Shift-JIS for odd lengths: both path scans get explored
    FuzzExtract(data, size);
    return 0;
}
