#include "LocalActions/Finder/FinderActionCatalog.h"

#include <QTest>

namespace {

ContextSnapshot snapshotOf(ContextKind kind)
{
    ContextSnapshot s;
    s.sourceBundleID = QStringLiteral("com.apple.finder");
    s.kind = kind;
    return s;
}

QStringList ids(const QList<ActionDefinition>& actions)
{
    QStringList out;
    for (const auto& a : actions)
        out << a.id;
    return out;
}

const QString imageAction = QStringLiteral("custom.toWebP");
const QString textFree = QStringLiteral("custom.shrink");

QList<CustomFinderAction> customActions()
{
    return {
        {.id = imageAction, .title = QStringLiteral("To WebP"), .symbolName = QStringLiteral("photo"),
         .contexts = {ContextKind::image}, .needsModel = true},
        {.id = textFree, .title = QStringLiteral("Shrink"), .symbolName = QStringLiteral("arrow.down"),
         .contexts = {ContextKind::image, ContextKind::singleFile}, .needsModel = false},
        {.id = QStringLiteral("custom.never"), .title = QStringLiteral("Never"), .symbolName = QString(),
         .contexts = {}, .needsModel = false},
    };
}

} // namespace

class FinderActionCatalogTest : public QObject {
    Q_OBJECT

private slots:
    void offeredActions_data()
    {
        QTest::addColumn<ContextKind>("kind");
        QTest::addColumn<bool>("pendingCut");
        QTest::addColumn<bool>("aiConfigured");
        QTest::addColumn<bool>("withCustom");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("empty window") << ContextKind::finderEmpty << false << false << false
                                      << QStringList{"finder.newFile", "finder.copyPath", "finder.openInTerminal"};
        QTest::newRow("empty window, cut pending")
            << ContextKind::finderEmpty << true << false << false
            << QStringList{"finder.newFile", "finder.paste", "finder.copyPath", "finder.openInTerminal"};
        QTest::newRow("image without model") << ContextKind::image << false << false << false
                                             << QStringList{"finder.cut", "finder.copyPath", "finder.copyName"};
        QTest::newRow("image with model")
            << ContextKind::image << false << true << false
            << QStringList{"finder.cut", "finder.copyPath", "finder.copyName", "finder.smartRename"};
        QTest::newRow("folder, everything")
            << ContextKind::folder << true << true << false
            << QStringList{"finder.newFile", "finder.cut", "finder.paste", "finder.copyPath", "finder.copyName",
                           "finder.openInTerminal", "finder.smartRename"};
        QTest::newRow("selected text") << ContextKind::selectedText << true << true << false << QStringList{};
        QTest::newRow("secure text") << ContextKind::secureText << true << true << true << QStringList{};
        QTest::newRow("image, custom without model")
            << ContextKind::image << false << false << true
            << QStringList{"finder.cut", "finder.copyPath", "finder.copyName", textFree};
        QTest::newRow("image, custom with model")
            << ContextKind::image << false << true << true
            << QStringList{"finder.cut", "finder.copyPath", "finder.copyName", "finder.smartRename", imageAction, textFree};
        QTest::newRow("single file, custom") << ContextKind::singleFile << false << true << true
                                             << QStringList{"finder.cut", "finder.copyPath", "finder.copyName",
                                                            "finder.smartRename", textFree};
    }

    void offeredActions()
    {
        QFETCH(ContextKind, kind);
        QFETCH(bool, pendingCut);
        QFETCH(bool, aiConfigured);
        QFETCH(bool, withCustom);
        QFETCH(QStringList, expected);
        const auto offered = FinderActionCatalog::availableActions(snapshotOf(kind), pendingCut, aiConfigured,
                                                                   withCustom ? customActions() : QList<CustomFinderAction>{});
        QCOMPARE(ids(offered), expected);
    }

    void customActionBecomesADefinition()
    {
        const auto offered = FinderActionCatalog::availableActions(snapshotOf(ContextKind::image), false, true, customActions());
        const ActionDefinition& custom = offered.at(offered.size() - 2);
        QCOMPARE(custom.id, imageAction);
        QCOMPARE(custom.titleKey, QStringLiteral("To WebP")); // the title as written
        QCOMPARE(custom.symbolName, QStringLiteral("photo"));
        QCOMPARE(custom.supportedContexts, ContextKindSet{ContextKind::image});
        QCOMPARE(custom.riskLevel, RiskLevel::creates);
        QVERIFY(custom.requiresAI);
        QCOMPARE(custom.outputBehavior, OutputBehavior::none);
        QCOMPARE(custom.defaultRank, 300);
    }

    void identifiers_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("custom");
        QTest::addColumn<bool>("helper");
        QTest::addColumn<bool>("submenu");
        QTest::newRow("new file") << "finder.newFile" << false << true << true;
        QTest::newRow("cut") << "finder.cut" << false << false << false;
        QTest::newRow("paste") << "finder.paste" << false << true << false;
        QTest::newRow("copy path") << "finder.copyPath" << false << false << false;
        QTest::newRow("copy name") << "finder.copyName" << false << false << false;
        QTest::newRow("terminal") << "finder.openInTerminal" << false << true << false;
        QTest::newRow("smart rename") << "finder.smartRename" << false << true << false;
        QTest::newRow("custom") << "custom.toWebP" << true << true << false;
        QTest::newRow("empty") << "" << true << true << false;
        QTest::newRow("other case") << "Finder.copyName" << true << true << false;
    }

    void identifiers()
    {
        QFETCH(QString, id);
        QFETCH(bool, custom);
        QFETCH(bool, helper);
        QFETCH(bool, submenu);
        QCOMPARE(FinderActionCatalog::isCustom(id), custom);
        const ActionDefinition action{.id = id};
        QCOMPARE(FinderActionCatalog::requiresHelper(action), helper);
        QCOMPARE(FinderActionCatalog::hasSubmenu(action), submenu);
    }
};

QTEST_GUILESS_MAIN(FinderActionCatalogTest)
#include "tst_FinderActionCatalog.moc"
