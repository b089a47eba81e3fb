#include "platform/FakeServices.h"
