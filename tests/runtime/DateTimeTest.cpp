#include "DateTime.h"
