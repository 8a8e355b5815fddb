#include "RandomIndex.h"
