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

struct BuildRequest {
    std::string strOutDir;
    std::string strStub;
    bool fSeal = true;
    uint32_t dwTimeStamp = 0;   /* the PE header's; 0 writes none */
    std::string strSignPkcs12;  /* sign with this certificate file when not empty */
    std::string strPassword;    /* its password */
    std::string strSignTime;    /* osslsigncode -time value; empty: now */
};

struct BuildResult {
    std::string strInstaller, strPackage;
    std::vector<Finding> vFindings; /* of the check of the result */
};

/* Builds product into request.strOutDir.  1 on success; 0 with the reason
   in *pstrError (naming the file), or with error findings in
   pResult->vFindings, and nothing written. */
int BuildProduct(const Product &product, const BuildRequest &request, BuildResult *pResult, std::string *pstrError);

#endif
