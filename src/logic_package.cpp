/* logic_package.cpp - placeholder until the module is written. */
#include "logic.h"
