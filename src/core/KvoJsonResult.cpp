#include "KvoJsonResult.h"
