#include "TextLineReader.h"
