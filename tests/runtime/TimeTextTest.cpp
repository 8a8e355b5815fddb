#include "TimeText.h"
