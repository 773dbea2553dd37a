/* kit_output.h - how the kit puts the files it writes in place: each is
 * written under a new name beside its target and renamed over it last, so
 * that a command failing at any step leaves every earlier output as it was
 * and removes only files it made itself. */
#ifndef QUARNEL_KIT_OUTPUT_H
#define QUARNEL_KIT_OUTPUT_H

#include <string>
#include <utility>
#include <vector>

/* A file that did not exist before, created empty beside strPath for the
   output to be written in (".NAME.part", numbered when that is taken).
   Its name, or "" with the reason, naming strPath, in *pstrError. */
std::string CreateFileBeside(const std::string &strPath, std::string *pstrError);

/* strFrom renamed to strTo, replacing a file there as one step (on Windows
   too, where C's rename() refuses an existing target).  1, or 0 with the
   system's reason in *pstrWhy, taken before anything else can change it. */
int MoveOver(const std::string &strFrom, const std::string &strTo, std::string *pstrWhy);

/* Files written beside their targets (each pair: written file, target)
   renamed over them in order, all or none: when one cannot be, the
   targets renamed before it get their earlier files back, or are removed
   when there was none.  1, or 0 with the reason, naming the target. */
int PutFilesInPlace(const std::vector<std::pair<std::string, std::string>> &vMoves, std::string *pstrError);

/* strText written to strPath whole, or strPath left as it was.  1, or 0
   with the reason, naming strPath. */
int WriteFileWhole(const std::string &strPath, const std::string &strText, std::string *pstrError);

/* The output folder strDir as the kit names it, without trailing
   separators: "dist/" is the folder "dist" (a root stays itself). */
std::string TrimFolderName(const std::string &strDir);

#endif
