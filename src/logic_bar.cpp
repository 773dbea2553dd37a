/* logic_bar.cpp - where the progress bar turns from red to grey.  Kept apart
 * from the window code so the arithmetic is checked natively. */
#include "logic.h"

/* 64-bit product so a wide bar times a large percentage cannot overflow;
   the quotient is truncated toward zero as in plain int division, and the
   result is the same as the 32-bit formula whenever that one does not
   overflow.  Callers pass 0..100, which keeps the split inside the bar. */
int BarSplit(int nWidth, int nPerc)
{
    int64_t llSplit = static_cast<int64_t>(nWidth) * nPerc / 100;
    return static_cast<int>(llSplit);
}
