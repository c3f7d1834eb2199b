#pragma once
#include "BmpPicture.h"
#include "Schedule.h"

// The hourglass frame with this index (0 to 7), as built into the program.
const BmpPicture& LavaFrame(int index);
