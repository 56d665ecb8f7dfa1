#include "LocalActions/Finder/FinderActionCatalog.h"
#include "LocalActions/Finder/FinderMenuPreferences.h"
#include "LocalActions/Finder/SharedPreferencesStore.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"
#include "SecurityCore/PrivacyLog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString key = QStringLiteral("finder.menuPreferences");

QSet<QString> builtInIDs()
{
    QSet<QString> ids;
    for (const auto& d : FinderActionCatalog::all())
        ids.insert(d.id);
    return ids;
}

// Every field away from its default.
FinderMenuPreferences full()
{
    FinderMenuPreferences p;
    p.disabledActionIDs = {QStringLiteral("finder.cut"), QStringLiteral("custom.a")};
    p.disabledTemplateIDs = {QStringLiteral("template.csv")};
    p.customTemplates = {FileTemplate{.id = QStringLiteral("user.invoice"), .titleKey = QStringLiteral("Invoice"),
                                      .isBuiltIn = false, .fileExtension = QStringLiteral("odt"),
                                      .symbolName = QStringLiteral("doc"),
                                      .source = FileTemplate::File{QStringLiteral("/home/u/Templates/invoice.odt")},
                                      .categoryKey = std::nullopt}};
    p.newFileBaseName = QStringLiteral("{date} Notes");
    p.usesSingleSubmenu = false;
    p.groupsFileTemplates = false;
    p.promotedActionIDs = {QStringLiteral("finder.copyPath"), QStringLiteral("finder.newFile")};
    p.preferredTerminalBundleID = QStringLiteral("kitty");
    p.customActions = {CustomFinderAction{.id = QStringLiteral("custom.a"), .title = QStringLiteral("A"),
                                          .symbolName = QStringLiteral("star"),
                                          .contexts = {ContextKind::image, ContextKind::folder}, .needsModel = true}};
    p.actionIDsDisabledBeforeMenuOff = QSet<QString>{QStringLiteral("finder.paste")};
    p.isAIConfigured = true;
    return p;
}

ActionDefinition action(const QString& id)
{
    return ActionDefinition{.id = id};
}

QStringList ids(const QList<ActionDefinition>& actions)
{
    QStringList out;
    for (const auto& a : actions)
        out << a.id;
    return out;
}

} // namespace

class FinderMenuPreferencesTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_root; // fresh for every test
    Platform::Folders m_folders;

private slots:
    void init()
    {
        m_root.emplace();
        QVERIFY(m_root->isValid());
        m_folders = Platform::Folders::under(m_root->path());
    }

    void roundTripThroughDefaultsAndSharedFile()
    {
        Platform::SimulatedUserDefaults defaults;
        SharedPreferencesStore store(m_folders);
        full().save(defaults, store);

        QCOMPARE(FinderMenuPreferences::load(defaults), full());
        QVERIFY(QFileInfo::exists(m_folders.extensionContainer + QStringLiteral("/finder-menu-preferences.json")));
        QCOMPARE(store.read(), full());

        // The stored value is the compact form, the shared file the indented one.
        const QByteArray stored = *defaults.dataValue(key);
        QVERIFY(!stored.contains('\n'));
        QCOMPARE(QJsonDocument::fromJson(stored).object(), toJson(full()));
    }

    void defaultsRoundTripAndLeaveOptionalsOut()
    {
        Platform::SimulatedUserDefaults defaults;
        QCOMPARE(FinderMenuPreferences::load(defaults), FinderMenuPreferences::defaults());
        FinderMenuPreferences::defaults().save(defaults, SharedPreferencesStore(m_folders));
        const QJsonObject stored = QJsonDocument::fromJson(*defaults.dataValue(key)).object();
        QVERIFY(!stored.contains(QStringLiteral("preferredTerminalBundleID")));
        QVERIFY(!stored.contains(QStringLiteral("actionIDsDisabledBeforeMenuOff")));
        QCOMPARE(stored.size(), 9);
        QCOMPARE(stored.value(QStringLiteral("usesSingleSubmenu")), QJsonValue(true));
        QCOMPARE(stored.value(QStringLiteral("groupsFileTemplates")), QJsonValue(true));
        QCOMPARE(stored.value(QStringLiteral("newFileBaseName")), QJsonValue(QString()));
        QCOMPARE(FinderMenuPreferences::load(defaults), FinderMenuPreferences::defaults());
    }

    void damagedStoredValueLoadsDefaults_data()
    {
        QTest::addColumn<QString>("drop");     // a key to remove, or empty
        QTest::addColumn<QString>("replace");  // a key whose value becomes `value`
        QTest::addColumn<QJsonValue>("value");
        const QStringList required{"disabledActionIDs", "disabledTemplateIDs", "customTemplates", "newFileBaseName",
                                   "usesSingleSubmenu", "groupsFileTemplates", "promotedActionIDs", "customActions",
                                   "isAIConfigured"};
        for (const QString& k : required)
            QTest::addRow("without %s", qPrintable(k)) << k << QString() << QJsonValue();
        QTest::newRow("flag as string") << QString() << "isAIConfigured" << QJsonValue(QStringLiteral("true"));
        QTest::newRow("set of numbers") << QString() << "disabledActionIDs" << QJsonValue(QJsonArray{1, 2});
        QTest::newRow("terminal as number") << QString() << "preferredTerminalBundleID" << QJsonValue(3);
        QTest::newRow("remembered as string") << QString() << "actionIDsDisabledBeforeMenuOff" << QJsonValue(QStringLiteral("x"));
        QTest::newRow("unknown context kind")
            << QString() << "customActions"
            << QJsonValue(QJsonArray{QJsonObject{{"id", "c"}, {"title", "C"}, {"symbolName", "s"},
                                                 {"contexts", QJsonArray{"painting"}}, {"needsModel", false}}});
        QTest::newRow("custom action without needsModel")
            << QString() << "customActions"
            << QJsonValue(QJsonArray{QJsonObject{{"id", "c"}, {"title", "C"}, {"symbolName", "s"}, {"contexts", QJsonArray{}}}});
        QTest::newRow("template without source")
            << QString() << "customTemplates"
            << QJsonValue(QJsonArray{QJsonObject{{"id", "t"}, {"titleKey", "t"}, {"isBuiltIn", false},
                                                 {"fileExtension", "x"}, {"symbolName", "s"}}});
    }

    void damagedStoredValueLoadsDefaults()
    {
        QFETCH(QString, drop);
        QFETCH(QString, replace);
        QFETCH(QJsonValue, value);
        QJsonObject o = toJson(full());
        if (!drop.isEmpty())
            o.remove(drop);
        if (!replace.isEmpty())
            o.insert(replace, value);

        Platform::SimulatedUserDefaults defaults;
        defaults.setData(key, QJsonDocument(o).toJson());
        QCOMPARE(FinderMenuPreferences::load(defaults), FinderMenuPreferences::defaults());

        // The shared file counts the same record as damaged.
        QVERIFY(QDir().mkpath(m_folders.extensionContainer));
        QFile f(m_folders.extensionContainer + QStringLiteral("/finder-menu-preferences.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(o).toJson());
        f.close();
        PrivacyLog::Capture capture;
        QCOMPARE(SharedPreferencesStore(m_folders).read(), FinderMenuPreferences::defaults());
        QCOMPARE(capture.entries(QStringLiteral("SharedPreferences")).size(), 1);
    }

    void notJsonOrNotDataLoadsDefaults()
    {
        Platform::SimulatedUserDefaults defaults;
        defaults.setData(key, "{not json");
        QCOMPARE(FinderMenuPreferences::load(defaults), FinderMenuPreferences::defaults());
        defaults.setBool(key, true);
        QCOMPARE(FinderMenuPreferences::load(defaults), FinderMenuPreferences::defaults());
        // The next save replaces what was there.
        full().save(defaults, SharedPreferencesStore(m_folders));
        QCOMPARE(FinderMenuPreferences::load(defaults), full());
    }

    void optionalsMayBeNullOrMissing()
    {
        QJsonObject o = toJson(full());
        o.insert(QStringLiteral("preferredTerminalBundleID"), QJsonValue::Null);
        o.remove(QStringLiteral("actionIDsDisabledBeforeMenuOff"));
        o.insert(QStringLiteral("someFutureKey"), 12);
        const auto p = fromJson<FinderMenuPreferences>(o);
        QVERIFY(p.has_value());
        QVERIFY(!p->preferredTerminalBundleID);
        QVERIFY(!p->actionIDsDisabledBeforeMenuOff);
        QCOMPARE(p->customActions, full().customActions);
    }

    void repeatedPromotionIsReadOnce()
    {
        QJsonObject o = toJson(FinderMenuPreferences::defaults());
        o.insert(QStringLiteral("promotedActionIDs"), QJsonArray{"finder.cut", "finder.cut", "finder.copyName"});
        const auto p = fromJson<FinderMenuPreferences>(o);
        QVERIFY(p.has_value());
        QCOMPARE(p->promotedActionIDs, (QStringList{"finder.cut", "finder.copyName"}));
        QCOMPARE(ids(p->partition({action("finder.cut"), action("finder.copyName"), action("x")}).promoted),
                 (QStringList{"finder.cut", "finder.copyName"}));
    }

    void fullyDisabled_data()
    {
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<bool>("expected");
        QStringList seven = builtInIDs().values();
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("seven and a custom one") << (seven + QStringList{"custom.a"}) << true;
        QTest::newRow("seven") << seven << true;
        QStringList six = seven;
        six.removeOne(QStringLiteral("finder.smartRename"));
        QTest::newRow("six") << six << false;
        QTest::newRow("only custom") << QStringList{"custom.a"} << false;
    }

    void fullyDisabled()
    {
        QFETCH(QStringList, disabled);
        QFETCH(bool, expected);
        FinderMenuPreferences p;
        p.disabledActionIDs = QSet<QString>(disabled.cbegin(), disabled.cend());
        QCOMPARE(p.isFullyDisabled(), expected);
    }

    void switchingTheWholeMenuOffAndOnRestores()
    {
        FinderMenuPreferences p;
        const QSet<QString> before{QStringLiteral("finder.cut"), QStringLiteral("custom.a")};
        p.disabledActionIDs = before;

        p.setFullyDisabled(true);
        QVERIFY(p.isFullyDisabled());
        QCOMPARE(p.disabledActionIDs, builtInIDs()); // the custom one is only remembered
        QCOMPARE(p.actionIDsDisabledBeforeMenuOff, std::optional(before));

        const FinderMenuPreferences off = p;
        p.setFullyDisabled(true); // already off
        QCOMPARE(p, off);

        p.setFullyDisabled(false);
        QCOMPARE(p.disabledActionIDs, before);
        QVERIFY(!p.actionIDsDisabledBeforeMenuOff);
        QVERIFY(!p.isFullyDisabled());
    }

    void switchingOnWithoutRememberedSetEnablesEverything()
    {
        FinderMenuPreferences p;
        p.disabledActionIDs = builtInIDs();
        p.setFullyDisabled(false);
        QVERIFY(p.disabledActionIDs.isEmpty());

        // On while already on changes nothing, a remembered set included.
        FinderMenuPreferences on;
        on.disabledActionIDs = {QStringLiteral("finder.cut")};
        on.actionIDsDisabledBeforeMenuOff = QSet<QString>{QStringLiteral("x")};
        FinderMenuPreferences same = on;
        same.setFullyDisabled(false);
        QCOMPARE(same, on);
    }

    void partition_data()
    {
        QTest::addColumn<bool>("singleSubmenu");
        QTest::addColumn<QStringList>("promotedIDs");
        QTest::addColumn<QStringList>("promoted");
        QTest::addColumn<QStringList>("nested");
        QTest::newRow("order of promotion, unknown passed over")
            << true << QStringList{"b", "x", "a"} << QStringList{"b", "a"} << QStringList{"c"};
        QTest::newRow("no submenu") << false << QStringList{"b", "a"} << QStringList{} << QStringList{"a", "b", "c"};
        QTest::newRow("nothing promoted") << true << QStringList{} << QStringList{} << QStringList{"a", "b", "c"};
        QTest::newRow("limit not applied here")
            << true << QStringList{"c", "b", "a", "d", "e"} << QStringList{"c", "b", "a"} << QStringList{};
    }

    void partition()
    {
        QFETCH(bool, singleSubmenu);
        QFETCH(QStringList, promotedIDs);
        QFETCH(QStringList, promoted);
        QFETCH(QStringList, nested);
        FinderMenuPreferences p;
        p.usesSingleSubmenu = singleSubmenu;
        p.promotedActionIDs = promotedIDs;
        const auto parts = p.partition({action("a"), action("b"), action("c")});
        QCOMPARE(ids(parts.promoted), promoted);
        QCOMPARE(ids(parts.nested), nested);
    }

    void promotionLimit()
    {
        FinderMenuPreferences p;
        p.promotedActionIDs = {"a", "b", "c"};
        QVERIFY(p.canPromoteMore());
        QVERIFY(p.isPromoted(QStringLiteral("b")));
        QVERIFY(!p.isPromoted(QStringLiteral("d")));
        p.promotedActionIDs << QStringLiteral("d");
        QVERIFY(!p.canPromoteMore());
    }

    void templates()
    {
        FinderMenuPreferences p;
        FileTemplate mine = full().customTemplates.first();
        mine.id = QStringLiteral("template.markdown"); // the id of a built-in one
        p.customTemplates = {mine};
        const auto all = p.allTemplates();
        QCOMPARE(all.size(), FileTemplate::builtIns().size() + 1);
        QCOMPARE(all.last(), mine);
        QCOMPARE(all.first(), FileTemplate::plainText());

        p.disabledTemplateIDs = {QStringLiteral("template.markdown")};
        const auto enabled = p.enabledTemplates();
        QCOMPARE(enabled.size(), FileTemplate::builtIns().size() - 1); // both gone
        for (const auto& t : enabled)
            QVERIFY(t.id != QStringLiteral("template.markdown"));
        QVERIFY(!p.isTemplateEnabled(QStringLiteral("template.markdown")));
        QVERIFY(p.isActionEnabled(QStringLiteral("finder.cut")));
    }
};

QTEST_GUILESS_MAIN(FinderMenuPreferencesTest)
#include "tst_FinderMenuPreferences.moc"
