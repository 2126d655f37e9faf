// Any bytes the update server sends: decoding never crashes, and a manifest it
// accepts comes back the same after a trip through JSON.
#include "platform/Json.h"
#include "update/OrviDesktopUpdateManifest.h"

#include <cstdlib>

using namespace orvi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto manifest = OrviDesktopUpdateManifest::decode(Bytes(data, data + size));
    if (!manifest)
        return 0;
    const Release& release = manifest->macOS;
    JsonValue fields { { "version", release.version }, { "downloadURL", release.downloadURL },
        { "notes", release.notes } };
    std::string again = JsonValue { { "macOS", fields } }.dump();
    auto decodedAgain = OrviDesktopUpdateManifest::decode(Bytes(again.begin(), again.end()));
    if (!decodedAgain || !(*decodedAgain == *manifest))
        std::abort();
    return 0;
}
