#include "KvoHTTPRequest.h"
