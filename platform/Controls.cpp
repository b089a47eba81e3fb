#include "platform/Controls.h"
