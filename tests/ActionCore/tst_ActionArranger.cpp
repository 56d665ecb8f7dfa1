#include "ActionCore/ActionArranger.h"

#include <QtTest>

namespace {

// "id:rank" for an ordinary action, "id:rank:ai" for an AI action, either with ":own" after it for
// a user's own action; offered on selected text only, unless the id starts with "files." (file
// kinds only) or "none." (no kinds).
QList<ActionDefinition> candidates(const QStringList& list)
{
    QList<ActionDefinition> result;
    for (const QString& entry : list) {
        const QStringList parts = entry.split(u':');
        ActionDefinition d;
        d.id = parts[0];
        d.titleKey = parts[0];
        d.symbolName = QStringLiteral("star");
        d.defaultRank = parts[1].toLongLong();
        d.requiresAI = parts.size() > 2 && parts[2] == u"ai";
        d.keepsListOrder = parts.last() == u"own";
        if (d.id.startsWith(u"files."))
            d.supportedContexts = ContextKinds::fileKinds();
        else if (!d.id.startsWith(u"none."))
            d.supportedContexts = {ContextKind::selectedText, ContextKind::editableText};
        result << d;
    }
    return result;
}

ContextSnapshot textSnapshot(const QString& text, ContextKind kind = ContextKind::selectedText, bool secure = false)
{
    return ContextSnapshot{
        .sourceBundleID = QStringLiteral("com.example.editor"),
        .kind = kind,
        .selectedText = text,
        .selectedFileURLs = {},
        .targetDirectoryURL = std::nullopt,
        .isEditable = kind == ContextKind::editableText,
        .isSecure = secure,
        .anchorRect = QRectF(10, 10, 100, 20),
        .capturedAt = QDateTime::currentDateTimeUtc(),
    };
}

QStringList ids(const QList<ActionDefinition>& list)
{
    QStringList result;
    for (const ActionDefinition& d : list)
        result << d.id;
    return result;
}

QStringList range(const QString& prefix, int from, int to, const QString& suffix = QString())
{
    QStringList result;
    for (int i = from; i <= to; ++i)
        result << QStringLiteral("%1%2%3").arg(prefix).arg(i).arg(suffix);
    return result;
}

} // namespace

class TestActionArranger : public QObject {
    Q_OBJECT

private slots:
    void arrange_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QStringList>("pinned");
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QStringList>("usage"); // "id=count"
        QTest::addColumn<bool>("showsAI");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("primary");
        QTest::addColumn<QStringList>("overflow");

        // Ranks equal to the number keep the input order readable.
        QStringList tenAndThree;
        for (int i = 1; i <= 10; ++i)
            tenAndThree << QStringLiteral("o%1:%2").arg(i, 2, 10, QLatin1Char('0')).arg(i);
        tenAndThree << "ai1:1:ai" << "ai2:2:ai" << "ai3:3:ai";
        QTest::newRow("ten ordinary and three AI")
            << tenAndThree << QStringList() << QStringList() << QStringList() << true << "text"
            << QStringList{"o01", "o02", "o03", "o04", "o05", "ai1", "ai2"}
            << QStringList{"o06", "o07", "o08", "o09", "o10", "ai3"};
        QTest::newRow("AI switched off gives ordinary actions all seven slots")
            << tenAndThree << QStringList() << QStringList() << QStringList() << false << "text"
            << QStringList{"o01", "o02", "o03", "o04", "o05", "o06", "o07"} << QStringList{"o08", "o09", "o10"};
        QTest::newRow("blank text offers no AI")
            << tenAndThree << QStringList() << QStringList() << QStringList() << true << " \n "
            << QStringList{"o01", "o02", "o03", "o04", "o05", "o06", "o07"} << QStringList{"o08", "o09", "o10"};
        QTest::newRow("three ordinary and one AI")
            << QStringList{"c:3", "a:1", "ai:0:ai", "b:2"} << QStringList() << QStringList() << QStringList() << true
            << "text" << QStringList{"a", "b", "c", "ai"} << QStringList();
        QTest::newRow("pinned AI still after ordinary")
            << QStringList{"a:1", "b:2", "ai:0:ai"} << QStringList{"ai", "b"} << QStringList() << QStringList()
            << true << "text" << QStringList{"b", "a", "ai"} << QStringList();
        QTest::newRow("pinned before unpinned whatever usage and rank")
            << QStringList{"a:1", "b:2", "c:3", "d:4"} << QStringList{"d", "c"} << QStringList()
            << QStringList{"a=50", "b=9"} << true << "text" << QStringList{"d", "c", "a", "b"} << QStringList();
        QTest::newRow("usage before rank")
            << QStringList{"a:1", "b:9"} << QStringList() << QStringList() << QStringList{"b=3"} << true << "text"
            << QStringList{"b", "a"} << QStringList();
        QTest::newRow("equal usage falls back to rank, then id")
            << QStringList{"z:1", "y:2", "x:2"} << QStringList() << QStringList()
            << QStringList{"x=2", "y=2", "z=2"} << true << "text" << QStringList{"z", "x", "y"} << QStringList();
        QTest::newRow("AI order ignores usage")
            << QStringList{"ai.b:2:ai", "ai.a:2:ai", "ai.c:1:ai"} << QStringList() << QStringList()
            << QStringList{"ai.b=99"} << true << "text" << QStringList{"ai.c", "ai.a"} << QStringList{"ai.b"};
        QTest::newRow("pinned AI first among AI")
            << QStringList{"ai.b:2:ai", "ai.a:1:ai", "ai.c:3:ai"} << QStringList{"ai.c"} << QStringList()
            << QStringList() << true << "text" << QStringList{"ai.c", "ai.a"} << QStringList{"ai.b"};
        QTest::newRow("hidden offered nowhere")
            << QStringList{"a:1", "b:2", "ai:1:ai"} << QStringList{"b"} << QStringList{"b", "ai"} << QStringList()
            << true << "text" << QStringList{"a"} << QStringList();
        QTest::newRow("pinned id among no candidates changes nothing")
            << QStringList{"b:2", "a:1"} << QStringList{"gone"} << QStringList() << QStringList() << true << "text"
            << QStringList{"a", "b"} << QStringList();
        QTest::newRow("kinds that do not match are left out")
            << QStringList{"files.zip:1", "none.x:0", "a:5"} << QStringList() << QStringList() << QStringList()
            << true << "text" << QStringList{"a"} << QStringList();
        QTest::newRow("nothing supports the kind")
            << QStringList{"files.zip:1", "none.x:0"} << QStringList() << QStringList() << QStringList() << true
            << "text" << QStringList() << QStringList();
        QTest::newRow("no candidates") << QStringList() << QStringList() << QStringList() << QStringList() << true
                                       << "text" << QStringList() << QStringList();
        QTest::newRow("ids compare by scalar value")
            << QStringList{QStringLiteral("a\U0001F600:1"), QStringLiteral("a\uFF21:1")} << QStringList()
            << QStringList() << QStringList() << true << "text"
            << QStringList{QStringLiteral("a\uFF21"), QStringLiteral("a\U0001F600")} << QStringList();
        // Imported actions have random ids: they come as their file lists them, after the
        // built-ins, until the user moves them.
        const QStringList builtInsAndImported{"ai.translate:200:ai",    "ai.explain:200:ai",
                                              "ai.custom.F0:210:ai:own", "ai.custom.2B:210:ai:own",
                                              "ai.custom.9C:210:ai:own", "ai.custom.07:210:ai:own"};
        QTest::newRow("own actions keep the order they came in")
            << builtInsAndImported << QStringList() << QStringList() << QStringList() << true << "text"
            << QStringList{"ai.explain", "ai.translate"}
            << QStringList{"ai.custom.F0", "ai.custom.2B", "ai.custom.9C", "ai.custom.07"};
        QTest::newRow("a moved own action goes where it was put")
            << builtInsAndImported << QStringList{"ai.custom.9C", "ai.custom.F0"} << QStringList() << QStringList()
            << true << "text" << QStringList{"ai.custom.9C", "ai.custom.F0"}
            << QStringList{"ai.explain", "ai.translate", "ai.custom.2B", "ai.custom.07"};
        QTest::newRow("own ordinary actions after the others of their rank")
            << QStringList{"z:1::own", "b:1", "a:1::own", "m:1", "y:1::own"} << QStringList() << QStringList()
            << QStringList{"a=1"} << true << "text" << QStringList{"a", "b", "m", "z", "y"} << QStringList();
        QStringList eightOrdinary = range("o", 1, 8);
        for (QString& s : eightOrdinary)
            s += u":1";
        QTest::newRow("one AI leaves six ordinary slots")
            << (eightOrdinary + QStringList{"ai:0:ai"}) << QStringList() << QStringList() << QStringList() << true
            << "text" << (range("o", 1, 6) + QStringList{"ai"}) << range("o", 7, 8);
    }
    void arrange()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, pinned);
        QFETCH(QStringList, hidden);
        QFETCH(QStringList, usage);
        QFETCH(bool, showsAI);
        QFETCH(QString, text);
        QFETCH(QStringList, primary);
        QFETCH(QStringList, overflow);

        ActionPreferences preferences;
        preferences.pinnedIDs = pinned;
        preferences.hiddenIDs = QSet<QString>(hidden.begin(), hidden.end());
        for (const QString& u : usage)
            preferences.usageCounts.insert(u.section(u'=', 0, 0), u.section(u'=', 1).toLongLong());
        preferences.showsAIActions = showsAI;

        const ArrangedActions arranged = ActionArranger::arrange(candidates(actions), textSnapshot(text), preferences, true);
        QCOMPARE(ids(arranged.primary), primary);
        QCOMPARE(ids(arranged.overflow), overflow);
        QCOMPARE(arranged.isEmpty(), primary.isEmpty() && overflow.isEmpty());
        QVERIFY(arranged.primary.size() <= ActionArranger::maxPrimaryActions);
        // Whether a provider is configured plays no part.
        QCOMPARE(ActionArranger::arrange(candidates(actions), textSnapshot(text), preferences, false), arranged);
    }

    void secureSelectionsGetNothing_data()
    {
        QTest::addColumn<bool>("secureFlag");
        QTest::addColumn<int>("kind");
        QTest::newRow("secure flag") << true << int(ContextKind::selectedText);
        QTest::newRow("secure kind") << false << int(ContextKind::secureText);
    }
    void secureSelectionsGetNothing()
    {
        QFETCH(bool, secureFlag);
        QFETCH(int, kind);
        QList<ActionDefinition> all = candidates({"a:1", "ai:1:ai"});
        for (ActionDefinition& d : all)
            d.supportedContexts = QSet<ContextKind>(contextKindCases.begin(), contextKindCases.end());
        const ArrangedActions arranged = ActionArranger::arrange(
            all, textSnapshot(QStringLiteral("secret"), ContextKind(kind), secureFlag), ActionPreferences::defaultValue());
        QVERIFY(arranged.isEmpty());
    }

    void fileSelections()
    {
        ContextSnapshot files = textSnapshot(QString(), ContextKind::singleFile);
        files.selectedText = std::nullopt;
        files.selectedFileURLs = {QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))};
        const auto all = candidates({"files.copy:2", "files.ai:1:ai", "a:0"});
        QCOMPARE(ids(ActionArranger::arrange(all, files, {}).primary), QStringList({"files.copy", "files.ai"}));
        // Without files there is nothing for an AI action to work on.
        files.selectedFileURLs.clear();
        QCOMPARE(ids(ActionArranger::arrange(all, files, {}).primary), QStringList({"files.copy"}));
    }
};

QTEST_GUILESS_MAIN(TestActionArranger)
#include "tst_ActionArranger.moc"
