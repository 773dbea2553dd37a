/* kit_build.h - one product file to an installer and its package: the
 * package packed, its checksums and the manifest written into the stub,
 * the result checked as `verify` checks it, and signed when asked.  All or
 * nothing: a failed build leaves the output folder as it found it. */
#ifndef QUARNEL_KIT_BUILD_H
#define QUARNEL_KIT_BUILD_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kit_lint.h"
#include "kit_product.h"

/* The installer's file name in the output folder. */
#define INSTALLER_NAME "quarnel.exe"

/* The variable that holds the signing certificate's password, unless a
   file is named: never a command-line argument, which others can read.  It
   is not handed on to the signer. */
#define SIGN_PASSWORD_VARIABLE "QUARNEL_SIGN_PASSWORD"

/* osslsigncode -readpass reads at most this many bytes of a password (a
   longer one fails as if it were wrong), so the kit refuses longer ones. */
enum { MAX_SIGN_PASSWORD = 4095 };

/* Authenticode signing through osslsigncode. */
struct SignRequest {
    std::string strPkcs12;   /* the certificate and key; no signing when empty */
    std::string strPassword; /* handed over through a pipe, never as an argument; may be empty */
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

/* Signs the executable strExe in place, keeping its mode (it stays as it
   was when signing fails); strShown names it in messages.  1, or 0 with
   the reason; the Windows build of the kit cannot sign and says so. */
int SignExecutable(const std::string &strExe, const std::string &strShown, const SignRequest &sign,
                   std::string *pstrError);

#endif
