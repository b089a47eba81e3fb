#include "platform/Date.h"
