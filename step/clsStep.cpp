#include "step/clsStep.h"
