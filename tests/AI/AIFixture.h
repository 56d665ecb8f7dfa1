#pragma once

#include "AI/AIViewModel.h"
#include "LoopbackHttpServer.h"
#include "Platform/Simulated/SimulatedKeychain.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "Platform/Simulated/SimulatedWorkspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

// An AI view model over simulated defaults and keychain whose model server is a loopback
// server of the test's own.
namespace AIFixture {

inline QByteArray piece(const QString& text)
{
    return "data: "
        + QJsonDocument(QJsonObject{{"choices", QJsonArray{QJsonObject{{"delta", QJsonObject{{"content", text}}}}}}})
              .toJson(QJsonDocument::Compact)
        + "\n\n";
}

// A streamed reply in the given pieces, then the end marker.
inline LoopbackHttpServer::Response reply(const QStringList& pieces)
{
    QList<QByteArray> chunks;
    for (const QString& p : pieces)
        chunks << piece(p);
    chunks << QByteArray("data: [DONE]\n\n");
    return LoopbackHttpServer::Response::events(chunks);
}

inline QString userMessage(const LoopbackHttpServer::Request& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray().at(1).toObject().value("content").toString();
}

inline QString systemMessage(const LoopbackHttpServer::Request& request)
{
    return QJsonDocument::fromJson(request.body).object().value("messages").toArray().at(0).toObject().value("content").toString();
}

// The titles of the actions, in order.
inline QStringList titles(const QList<AIActionTemplate>& actions)
{
    QStringList out;
    for (const auto& a : actions)
        out << a.titleKey;
    return out;
}

struct Model {
    std::shared_ptr<Platform::SimulatedUserDefaults> defaults = std::make_shared<Platform::SimulatedUserDefaults>();
    std::shared_ptr<Platform::SimulatedKeychain> keychain = std::make_shared<Platform::SimulatedKeychain>();
    std::shared_ptr<Platform::SimulatedWorkspace> workspace = std::make_shared<Platform::SimulatedWorkspace>();
    std::unique_ptr<AIViewModel> ai;

    // `localServer`: where the local provider answers (none: its usual address).
    AIViewModel& make(QUrl keyExchange = {}, QUrl localServer = {})
    {
        ai = std::make_unique<AIViewModel>(AIViewModel::Dependencies{
            .userDefaults = defaults,
            .keychain = keychain,
            .workspace = workspace,
            .keyExchange = keyExchange,
            .localServer = localServer,
        });
        return *ai;
    }

    // A custom endpoint at the server, with a key stored.
    AIViewModel& connectedTo(const LoopbackHttpServer& server)
    {
        AIViewModel& model = ai ? *ai : make();
        model.selectProvider(AIProviderID::openAICompatible);
        model.setCustomEndpoint(server.url(QStringLiteral("/v1")).toString());
        model.setModelID(QStringLiteral("test-model"));
        model.setPendingKey(QStringLiteral("sk-test"));
        model.saveKey();
        return model;
    }
};

} // namespace AIFixture
