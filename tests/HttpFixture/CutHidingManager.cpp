#include "CutHidingManager.h"

#include <QNetworkReply>
#include <QPointer>

#include <cstring>

namespace {

// Passes on the real reply's head and body, and its end without its error.
class ErrorHidingReply final : public QNetworkReply {
public:
    ErrorHidingReply(QNetworkReply* inner, QObject* parent)
        : QNetworkReply(parent)
        , m_inner(inner)
    {
        setOperation(inner->operation());
        setRequest(inner->request());
        setUrl(inner->url());
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        connect(inner, &QNetworkReply::metaDataChanged, this, [this] {
            copyHead();
            emit metaDataChanged();
        });
        connect(inner, &QIODevice::readyRead, this, [this] {
            m_body += m_inner->readAll();
            emit readyRead();
        });
        connect(inner, &QNetworkReply::finished, this, [this] {
            copyHead();
            const QByteArray rest = m_inner->readAll();
            m_body += rest;
            if (!rest.isEmpty())
                emit readyRead();
            setFinished(true);
            emit finished();
        });
    }

    ~ErrorHidingReply() override { delete m_inner.data(); }

    void abort() override
    {
        if (m_inner)
            m_inner->abort();
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_body.size() + QNetworkReply::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_body.size());
        if (n == 0)
            return isFinished() ? -1 : 0;
        std::memcpy(data, m_body.constData(), size_t(n));
        m_body.remove(0, n);
        return n;
    }

private:
    void copyHead()
    {
        for (const auto& [name, value] : m_inner->rawHeaderPairs())
            setRawHeader(name, value);
        for (auto attribute : {QNetworkRequest::HttpStatusCodeAttribute, QNetworkRequest::HttpReasonPhraseAttribute})
            setAttribute(attribute, m_inner->attribute(attribute));
    }

    QPointer<QNetworkReply> m_inner; // the manager's child, as every reply of it
    QByteArray m_body;
};

} // namespace

QNetworkReply* CutHidingManager::createRequest(Operation operation, const QNetworkRequest& request,
                                               QIODevice* outgoingData)
{
    QNetworkReply* inner = QNetworkAccessManager::createRequest(operation, request, outgoingData);
    return new ErrorHidingReply(inner, this);
}
