// Any bytes in the defaults file: reading never crashes, and whatever it
// accepts is written back and read again unchanged.
#include "platform/shared/FileUserDefaults.h"

#include <cstdlib>

using namespace orvi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto values = FileUserDefaults::decode(Bytes(data, data + size));
    if (!values)
        return 0;
    std::string text = FileUserDefaults::encode(*values);
    auto again = FileUserDefaults::decode(Bytes(text.begin(), text.end()));
    if (!again || *again != *values)
        std::abort();
    return 0;
}
