/* kit_pew.h - writes a product into the installer stub: the manifest as the
 * string table, the package checksums and a version resource go into a
 * rebuilt resource section, without any Windows tool.  PE32 and PE32+. */
#ifndef QUARNEL_KIT_PEW_H
#define QUARNEL_KIT_PEW_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kit_lint.h"
#include "kit_product.h"

/* What goes into the stub.  A manifest entry's text is in code page 1252. */
struct InstallerParts {
    const Manifest *pManifest = nullptr;
    const std::vector<unsigned char> *pvSums = nullptr; /* the checksum resource; none when null */
    const ProductVersion *pVersion = nullptr;           /* no version resource when null */
    uint32_t dwTimeStamp = 0;                           /* the PE header's time stamp; 0 is none */
};

/* The installer: vStub with parts added.  0 with the reason in *pstrError
   when vStub is not a PE image, not the installer stub, already carries a
   product, is signed, or has data after its last section. */
int WriteInstallerImage(const std::vector<unsigned char> &vStub, const InstallerParts &parts,
                        std::vector<unsigned char> *pvImage, std::string *pstrError);

/* The VS_VERSIONINFO resource's bytes, as the resource compiler writes
   them for the same description. */
std::vector<unsigned char> MakeVersionResource(const VersionInfo &info);

/* The PE checksum of an image, as the loader's CheckSumMappedFile counts
   it (the checksum field itself left out). */
uint32_t ComputePeChecksum(const std::vector<unsigned char> &vImage, uint64_t nChecksumField);

#endif
