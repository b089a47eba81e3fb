#include "framework/Factories.h"
