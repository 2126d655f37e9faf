#include "base/Uuid.h"

#include <uuid/uuid.h>

namespace orvi {

std::string makeRandomUuidString()
{
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_upper(uuid, text);
    return text;
}

} // namespace orvi
