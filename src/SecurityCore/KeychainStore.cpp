#include "SecurityCore/KeychainStore.h"

#include <QStringDecoder>

namespace {

using Platform::Keychain;

std::expected<void, KeychainError> deletion(int status)
{
    if (status == Keychain::statusSuccess || status == Keychain::statusItemNotFound)
        return {};
    return std::unexpected(KeychainErrors::UnexpectedStatus{status});
}

// A QString with an unpaired surrogate has no exact UTF-8 form.
bool encodable(const QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate()) {
            if (i + 1 >= s.size() || !s[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace

KeychainStore::KeychainStore(std::shared_ptr<Platform::Keychain> keychain, QString service)
    : m_keychain(std::move(keychain))
    , m_service(std::move(service))
{
}

std::expected<void, KeychainError> KeychainStore::set(const QString& value, const QString& account) const
{
    if (!encodable(value))
        return std::unexpected(KeychainErrors::DataEncodingFailed{});
    (void)remove(account);
    const int status = m_keychain->add(m_service, account, value.toUtf8());
    if (status != Keychain::statusSuccess)
        return std::unexpected(KeychainErrors::UnexpectedStatus{status});
    return {};
}

std::expected<std::optional<QString>, KeychainError> KeychainStore::value(const QString& account) const
{
    const auto result = m_keychain->copy(m_service, account);
    if (result.status == Keychain::statusItemNotFound)
        return std::optional<QString>();
    if (result.status != Keychain::statusSuccess)
        return std::unexpected(KeychainErrors::UnexpectedStatus{result.status});
    if (!result.data)
        return std::optional<QString>();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(*result.data);
    if (decoder.hasError())
        return std::optional<QString>();
    return std::optional<QString>(std::move(text));
}

std::expected<void, KeychainError> KeychainStore::remove(const QString& account) const
{
    return deletion(m_keychain->remove(m_service, account));
}

std::expected<void, KeychainError> KeychainStore::removeAll() const
{
    return deletion(m_keychain->removeAll(m_service));
}
