#include "LocalActions/Runners/JavaScriptHelper.h"

#include "LocalActions/Runners/JavaScriptEvaluator.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define AMBREL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AMBREL_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef AMBREL_ADDRESS_SANITIZER
#define AMBREL_ADDRESS_SANITIZER 0
#endif

namespace JavaScriptHelper {

namespace {

std::optional<QJsonObject> object(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray readAll(int fd)
{
    QByteArray data;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            data.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return data;
    }
}

void writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return;
    }
}

} // namespace

QByteArray encode(const Request& request)
{
    QJsonObject o;
    o.insert(QStringLiteral("source"), request.source);
    o.insert(QStringLiteral("input"), request.input);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray encode(const Response& response)
{
    QJsonObject o;
    if (response.output)
        o.insert(QStringLiteral("output"), *response.output);
    if (response.error)
        o.insert(QStringLiteral("error"), *response.error);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<Request> decodeRequest(const QByteArray& json)
{
    const auto o = object(json);
    if (!o)
        return std::nullopt;
    const QJsonValue source = o->value(QStringLiteral("source"));
    const QJsonValue input = o->value(QStringLiteral("input"));
    if (!source.isString() || !input.isString())
        return std::nullopt;
    return Request{source.toString(), input.toString()};
}

std::optional<Response> decodeResponse(const QByteArray& json)
{
    const auto o = object(json);
    if (!o)
        return std::nullopt;
    Response response;
    for (const auto& [key, field] : {std::pair{QStringLiteral("output"), &response.output},
                                     std::pair{QStringLiteral("error"), &response.error}}) {
        const QJsonValue value = o->value(key);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isString())
            return std::nullopt;
        *field = value.toString();
    }
    return response;
}

Response respond(const QByteArray& requestBytes)
{
    const auto request = decodeRequest(requestBytes);
    if (!request)
        return {std::nullopt, QStringLiteral("malformed request")};
    const auto result = JavaScriptEvaluator::evaluate(request->source, request->input);
    if (result)
        return {*result, std::nullopt};
    return std::visit(
        [](const auto& failure) -> Response {
            using F = std::decay_t<decltype(failure)>;
            if constexpr (std::is_same_v<F, JavaScriptEvaluator::Threw>)
                return {std::nullopt, failure.message};
            else if constexpr (std::is_same_v<F, JavaScriptEvaluator::NoOutput>)
                return {std::nullopt, QString()};
            else
                return {std::nullopt, QStringLiteral("no JavaScript context")};
        },
        result.error());
}

int main()
{
#if !AMBREL_ADDRESS_SANITIZER
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0) {
        const rlim_t bound = std::min<rlim_t>(limit.rlim_max, rlim_t(addressSpaceLimit));
        limit.rlim_cur = std::min(limit.rlim_cur, bound);
        limit.rlim_max = bound;
        ::setrlimit(RLIMIT_AS, &limit);
    }
#endif
    std::unique_ptr<QCoreApplication> application;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "ambrel";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    const Response response = respond(readAll(STDIN_FILENO));
    writeAll(STDOUT_FILENO, encode(response));
    return 0;
}

} // namespace JavaScriptHelper
