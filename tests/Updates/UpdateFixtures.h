#pragma once

// Real signed bundles and zip archives for the update tests: a key pair made by the test, the
// manifest and signature written as the packaging script writes them, archives written with
// libarchive (so that hostile entries can be made too).

#include "Platform/CodeSignature.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

struct KeyPair {
    QByteArray privatePem;
    QByteArray publicPem;

    static KeyPair generate()
    {
        KeyPair pair;
        EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
        BIO* priv = BIO_new(BIO_s_mem());
        PEM_write_bio_PrivateKey(priv, key, nullptr, nullptr, 0, nullptr, nullptr);
        BIO* pub = BIO_new(BIO_s_mem());
        PEM_write_bio_PUBKEY(pub, key);
        char* data = nullptr;
        long n = BIO_get_mem_data(priv, &data);
        pair.privatePem = QByteArray(data, n);
        n = BIO_get_mem_data(pub, &data);
        pair.publicPem = QByteArray(data, n);
        BIO_free(priv);
        BIO_free(pub);
        EVP_PKEY_free(key);
        return pair;
    }

    QByteArray sign(const QByteArray& message) const
    {
        BIO* bio = BIO_new_mem_buf(privatePem.constData(), int(privatePem.size()));
        EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size()));
        EVP_MD_CTX_free(ctx);
        EVP_PKEY_free(key);
        BIO_free(bio);
        signature.resize(qsizetype(length));
        return signature;
    }
};

namespace UpdateFixtures {

inline bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file below the folder (relative path) with its SHA-256, links as "-> target".
inline QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir root(folder);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString relative = root.relativeFilePath(path);
        if (info.isSymLink())
            entries.insert(relative, "-> " + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            entries.insert(relative + u'/', "dir");
        else
            entries.insert(relative, QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
    }
    return entries;
}

// The manifest of a bundle folder, as scripts/package writes it.
inline QByteArray manifestOf(const QString& bundle)
{
    QList<QByteArray> paths;
    const QDir root(bundle);
    QDirIterator it(bundle, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = root.relativeFilePath(it.next());
        if (relative == Platform::CodeSignature::manifestPath || relative == Platform::CodeSignature::signaturePath)
            continue;
        paths << relative.toUtf8();
    }
    std::sort(paths.begin(), paths.end());
    QByteArray manifest;
    for (const QByteArray& p : paths)
        manifest += QCryptographicHash::hash(readFile(bundle + u'/' + QString::fromUtf8(p)), QCryptographicHash::Sha256).toHex() +
                    "  " + p + "\n";
    return manifest;
}

inline void sign(const QString& bundle, const KeyPair& key)
{
    QFile::remove(bundle + u'/' + Platform::CodeSignature::manifestPath);
    QFile::remove(bundle + u'/' + Platform::CodeSignature::signaturePath);
    const QByteArray manifest = manifestOf(bundle);
    writeFile(bundle + u'/' + Platform::CodeSignature::manifestPath, manifest);
    writeFile(bundle + u'/' + Platform::CodeSignature::signaturePath, key.sign(manifest));
}

// A bundle that trusts `trusted` and is signed by `signer`; its executable "bin/ambrel" is a
// shell script that writes `marker` when started (so a test sees which copy was started).
inline void makeBundle(const QString& bundle, const QByteArray& version, const KeyPair& trusted, const KeyPair& signer,
                       const QString& marker = QString())
{
    QDir(bundle).removeRecursively();
    const QByteArray script = "#!/bin/sh\necho " + version + " > '" + marker.toUtf8() + "'\n";
    writeFile(bundle + QStringLiteral("/bin/ambrel"), marker.isEmpty() ? QByteArray("#!/bin/sh\n") : script);
    QFile::setPermissions(bundle + QStringLiteral("/bin/ambrel"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(bundle + QStringLiteral("/share/ambrel/version"), version + "\n");
    writeFile(bundle + u'/' + Platform::CodeSignature::trustedKeyPath, trusted.publicPem);
    sign(bundle, signer);
}

// One entry of a hand-made zip archive.
struct Entry {
    enum class Type { file, directory, symlink, hardlink, fifo };
    QByteArray name;
    Type type = Type::file;
    QByteArray contents; // file contents, or the link target
    int mode = 0644;
};

inline bool writeZip(const QString& path, const QList<Entry>& entries)
{
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    if (archive_write_open_filename(a, QFile::encodeName(path).constData()) != ARCHIVE_OK) {
        archive_write_free(a);
        return false;
    }
    for (const Entry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.constData());
        switch (e.type) {
        case Entry::Type::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, e.contents.size());
            break;
        case Entry::Type::directory: archive_entry_set_filetype(entry, AE_IFDIR); break;
        case Entry::Type::symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.contents.constData());
            break;
        case Entry::Type::hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, e.contents.constData());
            break;
        case Entry::Type::fifo: archive_entry_set_filetype(entry, AE_IFIFO); break;
        }
        archive_entry_set_perm(entry, e.mode);
        archive_write_header(a, entry);
        if (e.type == Entry::Type::file && !e.contents.isEmpty())
            archive_write_data(a, e.contents.constData(), size_t(e.contents.size()));
        archive_entry_free(entry);
    }
    const bool ok = archive_write_close(a) == ARCHIVE_OK;
    archive_write_free(a);
    return ok;
}

// The zip of a folder with the folder itself at the archive's top level.
inline bool zipFolder(const QString& folder, const QString& archivePath, const QList<Entry>& extra = {})
{
    QList<Entry> entries;
    const QFileInfo top(folder);
    const QDir parent = top.dir();
    entries << Entry{parent.relativeFilePath(folder).toUtf8() + "/", Entry::Type::directory, {}, 0755};
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    QStringList paths;
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QByteArray name = parent.relativeFilePath(path).toUtf8();
        const int mode = int(info.permissions() & QFile::ExeOwner ? 0755 : 0644);
        if (info.isSymLink())
            entries << Entry{name, Entry::Type::symlink, QFile::encodeName(info.symLinkTarget()), 0777};
        else if (info.isDir())
            entries << Entry{name + "/", Entry::Type::directory, {}, 0755};
        else
            entries << Entry{name, Entry::Type::file, readFile(path), mode};
    }
    entries << extra;
    return writeZip(archivePath, entries);
}

} // namespace UpdateFixtures
