/* drive_main.cpp - quarnel-drive: the Windows side of `quarnel-kit
 * preview`.  Runs a product's installer through its own windows and writes
 * OUTDIR\drive.tsv with the pictures.  Exit code: 0 the scenario ran (even
 * with findings), 2 the first install failed, 1 the driver's own error. */
#include <stdio.h>

#include "drive.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: quarnel-drive OUTDIR INSTALLER\n");
        return 1;
    }
    int nResult = DriveInstaller(argv[1], argv[2]);
    if (nResult == 1)
        fprintf(stderr, "quarnel-drive: could not drive %s into %s\n", argv[2], argv[1]);
    return nResult;
}
