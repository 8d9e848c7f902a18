#include "KvoConnectionStateManager.h"
