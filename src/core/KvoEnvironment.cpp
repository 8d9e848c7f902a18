#include "KvoEnvironment.h"
