#pragma once
// The temporary folder lives with the other shared test support.
#include "tests/support/TempFolder.h"
