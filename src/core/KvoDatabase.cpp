#include "KvoDatabase.h"
