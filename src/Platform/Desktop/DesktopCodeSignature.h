#pragma once

#include "Platform/CodeSignature.h"

#include <QByteArray>
#include <QMap>

#include <optional>

namespace Platform {

// Ed25519 over the manifest of file hashes, through OpenSSL's EVP interface.
class DesktopCodeSignature final : public CodeSignature {
public:
    bool satisfiesRequirement(const QString& installedBundle, const QString& candidateBundle) const override;

    // The manifest's entries (relative path to lower-case hexadecimal SHA-256), or none when a
    // line is malformed, a path is unsafe or not in its clean form, a path repeats, the lines
    // are not sorted, or the signature files list themselves.
    static std::optional<QMap<QString, QByteArray>> parseManifest(const QByteArray& manifest);
    // True when `signature` is a valid Ed25519 signature of `message` under the PEM public key.
    static bool verify(const QByteArray& publicKeyPem, const QByteArray& message, const QByteArray& signature);
};

} // namespace Platform
