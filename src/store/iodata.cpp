#include "iodata.h"
