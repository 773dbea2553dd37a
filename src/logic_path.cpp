/* logic_path.cpp - placeholder until the module is written. */
#include "logic.h"
