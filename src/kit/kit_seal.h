/* kit_seal.h - the package checksums that a product build seals into its
 * installer: made from a package, written out as a resource script, and read
 * back from a built installer to check a package the way the installer will. */
#ifndef QUARNEL_KIT_SEAL_H
#define QUARNEL_KIT_SEAL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kit_lint.h"
#include "kit_package.h"

/* CRC-32 of the data bytes of every record of layout (of the bytes present,
   for a truncated last record).  0 with the reason when the package cannot
   be read. */
int SumRecords(const std::string &strPackage, const PackageLayout &layout, std::vector<uint32_t> *pvCrcs,
               std::string *pstrError);

/* The checksum resource's bytes for a package.  0 with the reason when the
   package cannot be read or is damaged (a record cut short, a negative
   length, bytes after the last record): such a package cannot be installed,
   so it is not sealed either. */
int MakePackageSums(const std::string &strPackage, std::vector<unsigned char> *pvSums, std::string *pstrError);

/* A resource script that carries vSums as the checksum resource; strWhat
   names the package in its opening comment. */
std::string FormatSumsRc(const std::vector<unsigned char> &vSums, const std::string &strWhat);

/* How an installer got its checksums, for the advice on a package that
   no longer matches them: by quarnel-kit build, by the classic files
   (quarnel_add_product, or seal and a resource compiler by hand), or not
   known (both are named). */
enum SealRoute { ROUTE_UNKNOWN, ROUTE_KIT, ROUTE_CLASSIC };

/* Compares a package (its layout and record checksums) with the checksum
   resource of its installer, whose manifest has nItems items: every
   difference that makes the installer refuse the package is an error. */
void VerifySums(const std::vector<unsigned char> &vResource, const PackageLayout &layout,
                const std::vector<uint32_t> &vCrcs, size_t nItems, std::vector<Finding> *pv,
                SealRoute route = ROUTE_UNKNOWN);

/* VerifySums for a built installer's image, when it carries checksums; an
   installer without them adds no finding.  0 with the reason when the image
   or the package cannot be read. */
int VerifyImageSums(const std::vector<unsigned char> &vImage, const std::string &strPackage,
                    const PackageLayout &layout, size_t nItems, std::vector<Finding> *pv, std::string *pstrError,
                    SealRoute route = ROUTE_UNKNOWN);

#endif
