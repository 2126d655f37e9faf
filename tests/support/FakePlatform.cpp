#include "support/FakePlatform.h"
