#include "KvoApi.h"
