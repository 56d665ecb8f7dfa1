#include "AppFixture.h"
#include "Platform/Simulated/SimulatedEventTaps.h"
#include "RadialCore/RadialSettingsStore.h"

#include <QSignalSpy>
#include <QTest>

using Platform::TapEvent;

namespace {

Platform::SimulatedEventTaps& taps(AppFixture& f)
{
    return static_cast<Platform::SimulatedEventTaps&>(*f.services.eventTaps);
}

TapEvent middle(TapEvent::Type type)
{
    TapEvent e;
    e.type = type;
    e.button = 2;
    e.location = {200, 200};
    return e;
}

RadialSettings enabled()
{
    RadialSettings s;
    s.isEnabled = true;
    return s;
}

} // namespace

class RadialWiringTest : public QObject {
    Q_OBJECT
private slots:
    void storedSettingsAreLoadedAndApplied()
    {
        AppFixture f;
        RadialSettings stored = enabled();
        stored.radius = 500; // clamped on the way
        stored.shape = RadialShape::semicircle;
        RadialSettingsStore::save(stored, f.defaults());
        auto model = f.makeModel();
        QCOMPARE(model->radialSettings(), stored.clamped());
        QVERIFY(model->radial().isRunning());
        QCOMPARE(model->radial().settings().radius, 200.0);
        // The radial tap stands before the scroll tap in the chain.
        QCOMPARE(taps(f).order(), QStringList{MouseButtonTap::threadName});
        QVERIFY(!taps(f).input(middle(TapEvent::Type::otherMouseDown)));
        QVERIFY(!taps(f).input(middle(TapEvent::Type::otherMouseUp)));
    }

    void offByDefault()
    {
        AppFixture f;
        auto model = f.makeModel();
        QCOMPARE(model->radialSettings(), RadialSettings());
        QVERIFY(!model->radial().isRunning());
        QVERIFY(taps(f).order().isEmpty());
        QVERIFY(taps(f).input(middle(TapEvent::Type::otherMouseDown)));
    }

    void everyAssignmentIsStoredAndApplied()
    {
        AppFixture f;
        auto model = f.makeModel();
        QSignalSpy spy(model.get(), &AppModel::radialSettingsChanged);
        model->setRadialSettings(enabled());
        QVERIFY(model->radial().isRunning());
        QVERIFY(RadialSettingsStore::load(f.defaults()).isEnabled);
        model->setRadialSettings(enabled()); // stored and applied again, nothing to tell
        QCOMPARE(spy.size(), 1);
        model->setRadialSettings(RadialSettings());
        QVERIFY(!model->radial().isRunning());
        QVERIFY(!RadialSettingsStore::load(f.defaults()).isEnabled);
    }

    void menuSwitch()
    {
        AppFixture f;
        auto model = f.makeModel();
        QCOMPARE(model->radialEnabled(), std::optional<bool>(false));
        model->setRadialEnabled(true);
        QVERIFY(model->radial().isRunning());
        QVERIFY(RadialSettingsStore::load(f.defaults()).isEnabled);
        model->setRadialEnabled(false);
        QVERIFY(!model->radial().isRunning());
    }

    void refusedTapIsShownAndRetried()
    {
        AppFixture f;
        taps(f).setRefusing(true);
        auto model = f.makeModel();
        model->setRadialSettings(enabled());
        QCOMPARE(model->radialStartFailure(), Platform::EventTaps::StartFailure::unavailable);
        taps(f).setRefusing(false);
        model->setRadialSettings(enabled());
        QCOMPARE(model->radialStartFailure(), std::nullopt);
        QVERIFY(model->radial().isRunning());
    }

    void committedItemIsLaunched()
    {
        AppFixture f;
        f.workspace().setRunning({{QStringLiteral("org.example.mail"), QStringLiteral("Mail"), {}, 41}});
        auto model = f.makeModel();
        QVERIFY(model->radial().onLaunch);
        model->radial().onLaunch({QStringLiteral("org.example.mail"), QStringLiteral("Mail"), false});
        QTRY_COMPARE(f.workspace().activated, QStringList{"org.example.mail"});
    }

    void excludedApplications()
    {
        AppFixture f;
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/usr/share/applications/org.example.App2.desktop"));
        f.workspace().setInstalled({{QStringLiteral("org.example.App10"), QStringLiteral("App 10"), QUrl::fromLocalFile(QStringLiteral("/x/org.example.App10.desktop")), 0},
                                    {QStringLiteral("org.example.App2"), QStringLiteral("App 2"), url, 0}});
        auto model = f.makeModel();
        RadialSettings s;
        s.excludedApps = {QStringLiteral("org.example.App10"), QStringLiteral("org.example.App2"), QStringLiteral("zz.gone")};
        model->setRadialSettings(s);
        const auto apps = model->radialExcludedApps();
        QStringList names;
        for (const auto& app : apps)
            names << app.name + (app.isInstalled ? QString() : QStringLiteral(" (missing)"));
        // Numbers in names by value; an identifier without an application under its own name.
        QVERIFY2(names.indexOf(QStringLiteral("App 2")) < names.indexOf(QStringLiteral("App 10")), qPrintable(names.join(u',')));
        QVERIFY(names.contains(QStringLiteral("zz.gone (missing)")));
        QCOMPARE(names.size(), 3);
    }
};

QTEST_MAIN(RadialWiringTest)
#include "tst_RadialWiring.moc"
