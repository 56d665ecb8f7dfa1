#include "Settings/RadialSettingsView.h"
#include "System/AppStrings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// The application model as the page sees it: settings assigned whole, counted.
struct FakeModel : RadialSettingsView::Model {
    RadialSettings settings;
    QList<RadialSettings> assigned;
    std::optional<Platform::EventTaps::StartFailure> failure;
    QSet<QString> installed{QStringLiteral("org.example.Paint")};

    const RadialSettings& radialSettings() const override { return settings; }
    void setRadialSettings(const RadialSettings& s) override
    {
        settings = s;
        assigned.append(s);
    }
    QList<RadialAppEntry> radialExcludedApps() const override
    {
        QList<RadialAppEntry> out;
        QStringList ids(settings.excludedApps.begin(), settings.excludedApps.end());
        ids.sort();
        for (const auto& id : ids)
            out.append({id, id, {}, installed.contains(id)});
        return out;
    }
    std::optional<Platform::EventTaps::StartFailure> radialStartFailure() const override { return failure; }
    QIcon applicationIcon(const QString&) const override { return {}; }
};

QStringList pinnedIds(const RadialSettings& s)
{
    QStringList out;
    for (const auto& item : s.pinned)
        out << item.bundleIdentifier;
    return out;
}

QString entry(const QTemporaryDir& dir, const QString& id, const QString& name)
{
    const QString path = dir.filePath(id + QStringLiteral(".desktop"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=true\n").arg(name).toUtf8());
    return path;
}

} // namespace

class TestRadialSettingsView : public QObject {
    Q_OBJECT
private slots:
    void failureWarning_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("failure"); // -1 none
        QTest::addColumn<QString>("key");
        QTest::newRow("not permitted") << true << int(Platform::EventTaps::StartFailure::notPermitted)
                                       << "settings.radial.needsAccessibility";
        QTest::newRow("unavailable") << true << int(Platform::EventTaps::StartFailure::unavailable)
                                     << "settings.radial.unavailable";
        QTest::newRow("started") << true << -1 << "";
        QTest::newRow("off, a failure kept") << false << int(Platform::EventTaps::StartFailure::unavailable) << "";
    }
    void failureWarning()
    {
        QFETCH(bool, enabled);
        QFETCH(int, failure);
        QFETCH(QString, key);
        FakeModel model;
        model.settings.isEnabled = enabled;
        if (failure >= 0)
            model.failure = Platform::EventTaps::StartFailure(failure);
        RadialSettingsView page(model);
        QCOMPARE(page.enableToggle()->isChecked(), enabled);
        QCOMPARE(page.failureWarning()->isHidden(), key.isEmpty());
        if (!key.isEmpty())
            QCOMPARE(page.failureWarning()->accessibleName(), AppStrings::string(key));
    }

    void controlsWriteOneWholeValue()
    {
        FakeModel model;
        model.settings.pin({QStringLiteral("a"), QStringLiteral("A"), false});
        RadialSettingsView page(model);
        page.enableToggle()->click();
        QCOMPARE(model.assigned.size(), 1);
        QVERIFY(model.settings.isEnabled);
        QCOMPARE(pinnedIds(model.settings), QStringList{"a"}); // the rest as it was
        page.shapePicker()->button(int(RadialShape::semicircle))->click();
        QCOMPARE(model.settings.shape, RadialShape::semicircle);
        QCOMPARE(page.shapeDetail()->text().isEmpty(), false);
        page.confirmPicker()->setCurrentIndex(1);
        emit page.confirmPicker()->activated(1);
        QCOMPARE(model.settings.confirmation, RadialConfirmation::onClick);
        page.cancelItemToggle()->click();
        QVERIFY(!model.settings.hasCancelItem);
        page.visibleCountStepper()->stepUp();
        QCOMPARE(model.settings.visibleCount, 6);
        QVERIFY(page.visibleCountLabel()->text().contains(u'6'));
        QCOMPARE(model.assigned.size(), 5);
        // No control touches the movement threshold.
        QCOMPARE(model.settings.movementThreshold, 6.0);
    }

    void rangesAreTheClampRanges()
    {
        FakeModel model;
        RadialSettingsView page(model);
        QCOMPARE(page.visibleCountStepper()->minimum(), 3);
        QCOMPARE(page.visibleCountStepper()->maximum(), 12);
        page.visibleCountStepper()->setValue(1);
        QCOMPARE(model.settings.visibleCount, 3);
        page.radiusSlider()->setValue(page.radiusSlider()->maximum());
        QCOMPARE(model.settings.radius, 200.0);
        page.radiusSlider()->setValue(page.radiusSlider()->minimum());
        QCOMPARE(model.settings.radius, 70.0);
        page.holdSlider()->setValue(page.holdSlider()->minimum());
        QCOMPARE(model.settings.holdThreshold, 0.05);
        page.holdSlider()->setValue(page.holdSlider()->maximum());
        QCOMPARE(model.settings.holdThreshold, 0.6);
        QVERIFY(page.holdSlider()->parentWidget()->isHidden()); // inside the closed disclosure
        page.advancedToggle()->click();
        QVERIFY(!page.holdSlider()->parentWidget()->isHidden());
    }

    void sourceFollowsFilling()
    {
        FakeModel model;
        model.settings.fillsFromRecentApps = false;
        model.settings.source = RadialSource::installedApps;
        RadialSettingsView page(model);
        QVERIFY(page.sourcePicker()->isHidden());
        QVERIFY(page.sourceDetail()->isHidden());
        page.fillToggle()->click();
        QVERIFY(!page.sourcePicker()->isHidden());
        QCOMPARE(page.sourcePicker()->currentData().toInt(), int(RadialSource::installedApps));
    }

    void pinnedRows()
    {
        FakeModel model;
        RadialSettingsView page(model);
        QVERIFY(page.noPinnedLabel() && !page.noPinnedLabel()->isHidden());
        QVERIFY(page.pinnedRows().isEmpty());
        for (const QString& id : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")})
            model.settings.pinned.append({id, id, true});
        page.refresh();
        QCOMPARE(page.pinnedRows().size(), 4);
        QVERIFY(!page.noPinnedLabel());
        QVERIFY(page.pinnedRows()[0]->showsPlaceholder()); // uninstalled: the placeholder icon
        // The first row dragged below the last: one assignment, reordered.
        model.assigned.clear();
        page.movePinned({0}, 4);
        QCOMPARE(model.assigned.size(), 1);
        QCOMPARE(pinnedIds(model.settings), (QStringList{"B", "C", "D", "A"}));
        QCOMPARE(page.pinnedRows()[3]->item().bundleIdentifier, QStringLiteral("A"));
        // Removing one that was pinned twice removes both in one press and suppresses it.
        model.settings.pinned.append({QStringLiteral("B"), QStringLiteral("B again"), true});
        page.refresh();
        model.assigned.clear();
        page.pinnedRows()[0]->removeButton()->click();
        QCOMPARE(model.assigned.size(), 1);
        QCOMPARE(pinnedIds(model.settings), (QStringList{"C", "D", "A"}));
        QVERIFY(model.settings.suppressed.contains(QStringLiteral("B")));
        QCOMPARE(page.pinnedRows().size(), 3);
    }

    void addingApplications()
    {
        QTemporaryDir dir;
        FakeModel model;
        RadialSettingsView page(model);
        const QStringList chosen{entry(dir, QStringLiteral("org.example.One"), QStringLiteral("One")),
                                 dir.filePath(QStringLiteral("not-an-entry.txt")),
                                 entry(dir, QStringLiteral("org.example.Two"), QStringLiteral("Two"))};
        page.addPinned(chosen);
        QCOMPARE(model.assigned.size(), 2);
        QCOMPARE(pinnedIds(model.settings), (QStringList{"org.example.One", "org.example.Two"}));
        QCOMPARE(model.settings.pinned[0].name, QStringLiteral("One"));
        model.assigned.clear();
        const QString terminal = QStringLiteral("com.apple.Terminal");
        page.addExcluded({entry(dir, terminal, QStringLiteral("Terminal"))}); // already excluded
        QCOMPARE(model.assigned.size(), 1);
        QCOMPARE(model.settings.excludedApps, RadialSettings::defaultExclusions());
        // Through the button and the chooser: cancelling assigns nothing.
        RadialSettingsView chooser(model, {.chooseApplications = [](QWidget*, const QString&) { return QStringList(); }});
        model.assigned.clear();
        chooser.addPinnedButton()->click();
        chooser.addExcludedButton()->click();
        QVERIFY(model.assigned.isEmpty());
    }

    void excludedLists()
    {
        FakeModel model;
        model.settings.exclude(QStringLiteral("org.example.Paint"));
        RadialSettingsView page(model);
        // One installed row; the 14 defaults are not installed here, behind a closed disclosure.
        QVERIFY(page.notInstalledToggle());
        QVERIFY(page.notInstalledToggle()->text().contains(QStringLiteral("14")));
        QVERIFY(page.notInstalledBox()->isHidden());
        QCOMPARE(page.excludedRows().size(), 15);
        QCOMPARE(page.excludedRows()[0]->app().bundleIdentifier, QStringLiteral("org.example.Paint"));
        QVERIFY(page.excludedRows()[0]->nameLabel()->foregroundRole() != QPalette::PlaceholderText);
        QCOMPARE(page.excludedRows()[1]->nameLabel()->foregroundRole(), QPalette::PlaceholderText);
        // Removing a default exclusion remembers it; removing one's own does not.
        model.assigned.clear();
        page.excludedRows()[1]->removeButton()->click();
        QCOMPARE(model.assigned.size(), 1);
        QCOMPARE(model.settings.dismissedExclusions.size(), 1);
        QTRY_COMPARE(page.excludedRows().size(), 14);
        page.excludedRows()[0]->removeButton()->click();
        QCOMPARE(model.settings.dismissedExclusions.size(), 1);
        // Every exclusion installed: no disclosure.
        model.settings.excludedApps = {QStringLiteral("org.example.Paint")};
        page.refresh();
        QVERIFY(!page.notInstalledToggle());
    }
};

QTEST_MAIN(TestRadialSettingsView)
#include "tst_RadialSettingsView.moc"
