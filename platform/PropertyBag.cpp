#include "platform/PropertyBag.h"
