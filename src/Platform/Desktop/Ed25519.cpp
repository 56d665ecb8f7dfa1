#include <QByteArray>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

// The update module's signature check: whether `signature` is a valid Ed25519 signature of
// `message` under the PEM public key (UpdatesModule.cpp loads it).
extern "C" Q_DECL_EXPORT bool ambrelVerifyEd25519(const QByteArray& publicKeyPem, const QByteArray& message,
                                                  const QByteArray& signature)
{
    constexpr qsizetype signatureSize = 64;
    if (signature.size() != signatureSize)
        return false;
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(publicKeyPem.constData(), int(publicKeyPem.size())), BIO_free);
    if (!bio)
        return false;
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr),
                                                           EVP_PKEY_free);
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char*>(message.constData()),
                            size_t(message.size())) == 1;
}
