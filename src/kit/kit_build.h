/* kit_build.h - one product file to an installer and its package: the
 * package packed, its checksums and the manifest written into the stub,
 * the result checked as `verify` checks it, and signed when asked.  All or
 * nothing: a failed build leaves no file behind. */
#ifndef QUARNEL_KIT_BUILD_H
#define QUARNEL_KIT_BUILD_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kit_lint.h"
#include "kit_product.h"

/* The installer's file name in the output folder. */
#define INSTALLER_NAME "quarnel.exe"

/* Authenticode signing through osslsigncode. */
struct SignRequest {
    std::string strPkcs12;   /* the certificate and key; no signing when empty */
    std::string strPassword; /* handed over through a pipe, never as an argument */
    std::string strTime;     /* seconds since 1970 for the signature; empty: now */
};

struct BuildRequest {
    std::string strOutDir;
    std::string strStub;
    bool fSeal = true;
    uint32_t dwTimeStamp = 0;   /* the PE header's; 0 writes none */
    SignRequest sign;
};

struct BuildResult {
    std::string strInstaller, strPackage;
    std::vector<Finding> vFindings; /* of the check of the result */
};

/* Builds product into request.strOutDir.  1 on success; 0 with the reason
   in *pstrError (naming the file), or with error findings in
   pResult->vFindings, and nothing written. */
int BuildProduct(const Product &product, const BuildRequest &request, BuildResult *pResult, std::string *pstrError);

/* Signs the executable strExe in place (it stays as it was when signing
   fails).  1, or 0 with the reason; the Windows build of the kit cannot
   sign and says so. */
int SignExecutable(const std::string &strExe, const SignRequest &sign, std::string *pstrError);

#endif
