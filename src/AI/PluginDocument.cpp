#include "AI/PluginDocument.h"

#include "Platform/Desktop/DesktopApplicationEntry.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

const QStringList& PluginDocument::readableContentTypes()
{
    static const QStringList types{Platform::DesktopApplicationEntry::pluginMimeType, QStringLiteral("application/x-yaml"),
                                   QStringLiteral("text/plain")};
    return types;
}

std::expected<PluginDocument, PluginManifest::ManifestError> PluginDocument::read(const std::optional<QByteArray>& contents)
{
    if (!contents)
        return std::unexpected(PluginManifest::ManifestError::notAMapping());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(*contents);
    if (decoder.hasError())
        return std::unexpected(PluginManifest::ManifestError::notAMapping());
    auto manifest = PluginManifest::decode(text);
    if (!manifest)
        return std::unexpected(manifest.error());
    return PluginDocument{std::move(*manifest)};
}

std::expected<PluginDocument, PluginManifest::ManifestError> PluginDocument::readFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return read(std::nullopt);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return read(std::nullopt);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return read(std::nullopt);
    return read(bytes);
}

QByteArray PluginDocument::contents() const
{
    return manifest.encoded().toUtf8();
}

std::expected<void, QString> PluginDocument::writeFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return std::unexpected(file.errorString());
    const QByteArray bytes = contents();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return std::unexpected(file.errorString());
    }
    if (!file.commit())
        return std::unexpected(file.errorString());
    return {};
}
