#include "NumberFormat.h"
