#pragma once

#include <QString>

namespace Platform {

// Whether a candidate bundle is signed like the running one.
//
// A bundle is an installation folder named "<Name>.app" (as `cmake --install` writes it). A
// signed bundle holds, below "signature/", a manifest of the SHA-256 of each of its other files
// ("manifest": lines "<64 hex digits><two spaces><relative path>", sorted by path) and an
// Ed25519 signature over the manifest's bytes ("manifest.sig", 64 bytes). A bundle built to
// accept updates also holds the public key it trusts ("signature/trusted-key.pem").
class CodeSignature {
public:
    inline static const QString manifestPath = QStringLiteral("signature/manifest");
    inline static const QString signaturePath = QStringLiteral("signature/manifest.sig");
    inline static const QString trustedKeyPath = QStringLiteral("signature/trusted-key.pem");

    virtual ~CodeSignature() = default;

    // True when the candidate's manifest verifies under the installed bundle's trusted key and
    // every file of the candidate matches it, with no file outside it and nothing but plain
    // files and folders. An installed bundle without a key accepts nothing. Blocking (it reads
    // every file): callers run it off the main thread.
    virtual bool satisfiesRequirement(const QString& installedBundle, const QString& candidateBundle) const = 0;
};

} // namespace Platform
