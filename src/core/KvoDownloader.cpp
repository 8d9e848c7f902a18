#include "KvoDownloader.h"
