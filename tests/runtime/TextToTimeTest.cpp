#include "TextToTime.h"
