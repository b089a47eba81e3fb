#include "platform/Events.h"
