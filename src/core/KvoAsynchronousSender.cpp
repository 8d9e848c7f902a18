#include "KvoAsynchronousSender.h"
