// The application model: the update services and the usage reports.

#include "App/AppModel.h"
#include "App/AppModelParts.h"

#include "ContextCore/VersionOrder.h"

#include <QCoreApplication>

using namespace AppModelParts;

void AppModel::makeUpdateServices()
{
    const QString running = m_services.systemInfo->applicationVersion();
    const QString version = running.isEmpty() ? QStringLiteral("0") : running;
    // Only a copy installed from a release bundle replaces itself; a build folder never does.
    UpdateInstaller::Options options;
    options.quit = [] { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); };
    m_updateInstaller = std::make_unique<UpdateInstaller>(
        UpdateInstaller::bundleContaining(QCoreApplication::applicationFilePath()), version, m_network.get(),
        m_services.archiveExtractor, m_services.codeSignature, options);
    m_updates = std::make_unique<UpdateChecker>(
        m_hooks.updateEndpoint.isEmpty() ? QUrl(updateEndpoint) : m_hooks.updateEndpoint, m_network.get(),
        m_services.userDefaults, version, dotted(m_services.systemInfo->operatingSystemVersion()));
}

TelemetryClient& AppModel::telemetry()
{
    if (!m_telemetry) {
        // Read from the defaults, not from the model's switch.
        const bool enabled = m_services.userDefaults->boolValue(keyTelemetry).value_or(false);
        TelemetryClient::Options options;
        options.baseURL = m_hooks.telemetryService;
        m_telemetry = std::make_unique<TelemetryClient>(
            telemetryAppID, TelemetryClient::Destination::v2(telemetryNamespace),
            TelemetryEnvironment::current(*m_services.systemInfo),
            TelemetryClient::installationID(*m_services.userDefaults), false, m_network.get(), enabled, options);
    }
    return *m_telemetry;
}

void AppModel::setTelemetryEnabled(bool enabled)
{
    const bool changed = enabled != m_telemetryEnabled;
    m_telemetryEnabled = enabled;
    m_services.userDefaults->setBool(keyTelemetry, enabled);
    telemetry().setEnabled(enabled);
    if (changed)
        emit telemetryEnabledChanged();
}
