#include "high.h"
