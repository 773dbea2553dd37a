/* logic_rules.cpp - placeholder until the module is written. */
#include "logic.h"
