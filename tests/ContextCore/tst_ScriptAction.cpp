#include "ContextCore/ScriptAction.h"
#include "ContextCore/ScriptApprovals.h"
#include "Platform/Simulated/SimulatedUserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

// A store whose suites cannot be opened.
class NoSuitesDefaults final : public Platform::UserDefaults {
public:
    std::optional<Value> rawValue(const QString& key) const override { return inner.rawValue(key); }
    void setRawValue(const QString& key, const Value& value) override { inner.setRawValue(key, value); }
    void remove(const QString& key) override { inner.remove(key); }
    QStringList keys() const override { return inner.keys(); }
    std::shared_ptr<UserDefaults> suite(const QString&) override { return nullptr; }

    Platform::SimulatedUserDefaults inner;
};

ScriptAction script(const QString& source, ScriptLanguage language = ScriptLanguage::shell)
{
    return ScriptAction{language, source, {}};
}

const QString key = QStringLiteral("script.approvedFingerprints");

} // namespace

class TestScriptAction : public QObject {
    Q_OBJECT

private slots:
    void languages_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("manifest");
        QTest::addColumn<QString>("interpreter"); // path and arguments joined by spaces; empty for none
        QTest::addColumn<bool>("outside");
        QTest::addColumn<bool>("files");
        QTest::newRow("shell") << "shell" << "shell" << "/bin/sh" << true << true;
        QTest::newRow("appleScript") << "appleScript" << "applescript" << "/usr/bin/osascript -" << true << true;
        QTest::newRow("javaScript") << "javaScript" << "javascript" << "" << false << false;
    }
    void languages()
    {
        QFETCH(QString, raw);
        QFETCH(QString, manifest);
        QFETCH(QString, interpreter);
        QFETCH(bool, outside);
        QFETCH(bool, files);
        const auto language = fromRaw<ScriptLanguage>(raw);
        QVERIFY(language);
        QCOMPARE(ScriptLanguages::manifestName(*language), manifest);
        QCOMPARE(ScriptLanguages::fromManifestName(manifest), *language);
        QCOMPARE(titleKey(*language), "script.language." + raw);
        QCOMPARE(reachKey(*language), "script.reach." + raw);
        const auto run = ScriptLanguages::interpreter(*language);
        QCOMPARE(run ? (QStringList{run->path} + run->arguments).join(u' ') : QString(), interpreter);
        QCOMPARE(ScriptLanguages::runsOutsideTheApp(*language), outside);
        QVERIFY(ScriptLanguages::supports(*language, ActionScope::text));
        QCOMPARE(ScriptLanguages::supports(*language, ActionScope::files), files);
    }

    void languageSpellingsAreExact_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<bool>("asRaw");
        QTest::addColumn<bool>("asManifest");
        QTest::newRow("applescript") << "applescript" << false << true;
        QTest::newRow("javascript") << "javascript" << false << true;
        QTest::newRow("AppleScript") << "AppleScript" << false << false;
        QTest::newRow("JavaScript") << "JavaScript" << false << false;
        QTest::newRow("Shell") << "Shell" << false << false;
        QTest::newRow("javaScript") << "javaScript" << true << false;
        QTest::newRow("shell") << "shell" << true << true;
    }
    void languageSpellingsAreExact()
    {
        QFETCH(QString, spelling);
        QFETCH(bool, asRaw);
        QFETCH(bool, asManifest);
        QCOMPARE(fromRaw<ScriptLanguage>(spelling).has_value(), asRaw);
        QCOMPARE(ScriptLanguages::fromManifestName(spelling).has_value(), asManifest);
    }

    void variables()
    {
        QStringList names;
        QStringList keys;
        for (ScriptVariable v : allCases<ScriptVariable>()) {
            names << toRaw(v);
            keys << explanationKey(v);
            QCOMPARE(fromRaw<ScriptVariable>(toRaw(v)), v);
        }
        QCOMPARE(names, QStringList({"AMBREL_SELECTION", "AMBREL_FILES", "AMBREL_DIRECTORY"}));
        QCOMPARE(keys, QStringList({"script.variable.selection", "script.variable.files", "script.variable.directory"}));
        QVERIFY(!fromRaw<ScriptVariable>(QStringLiteral("SELECTION")));
    }

    void fingerprint_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << "" << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        QTest::newRow("abc") << "abc" << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("echo") << "echo hi" << "56a79f3b115448072387c2480044bfa2cf8f90e4f5fddd8c943b4e051b81f80b";
        QTest::newRow("trailing newline") << "echo hi\n"
                                          << "ab08508fdf5ca4da5c4995987bc41c56c048aaa5eeb046417ae4049b7d40286e";
        QTest::newRow("utf-8") << QStringLiteral("中文")
                               << "72726d8818f693066ceb69afa364218b692e62ea92b385782363780f47529c21";
    }
    void fingerprint()
    {
        QFETCH(QString, source);
        QFETCH(QString, digest);
        for (ScriptLanguage language : allCases<ScriptLanguage>())
            QCOMPARE((ScriptAction{language, source, {QStringLiteral("tool")}}).fingerprint(), digest);
    }

    void json()
    {
        const ScriptAction s{ScriptLanguage::appleScript, QStringLiteral("say \"hi\""), {"a", "b"}};
        const QJsonObject o = toJson(s);
        QCOMPARE(o.value("language").toString(), QStringLiteral("appleScript"));
        QCOMPARE(o.value("requiredTools").toArray(), QJsonArray({"a", "b"}));
        QCOMPARE(fromJson<ScriptAction>(o).value(), s);
        // Tools compare in order.
        QVERIFY(s != (ScriptAction{ScriptLanguage::appleScript, QStringLiteral("say \"hi\""), {"b", "a"}}));
    }

    void jsonRejects_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("manifest spelling") << QByteArray(R"({"language":"javascript","source":"x","requiredTools":[]})");
        QTest::newRow("no tools") << QByteArray(R"({"language":"javaScript","source":"x"})");
        QTest::newRow("no source") << QByteArray(R"({"language":"shell","requiredTools":[]})");
        QTest::newRow("no language") << QByteArray(R"({"source":"x","requiredTools":[]})");
        QTest::newRow("tool not a string") << QByteArray(R"({"language":"shell","source":"x","requiredTools":[1]})");
        QTest::newRow("source not a string") << QByteArray(R"({"language":"shell","source":2,"requiredTools":[]})");
    }
    void jsonRejects()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!fromJson<ScriptAction>(QJsonDocument::fromJson(json).object()));
    }

    void approvals()
    {
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        const ScriptApprovals approvals(defaults);
        const ScriptAction a = script(QStringLiteral("echo a"));
        const ScriptAction b = script(QStringLiteral("echo b"));

        QVERIFY(!approvals.isApproved(a));
        approvals.approve(a);
        QVERIFY(approvals.isApproved(a));
        QVERIFY(!approvals.isApproved(b));
        // The same text in another language is the same script.
        QVERIFY(approvals.isApproved(script(QStringLiteral("echo a"), ScriptLanguage::javaScript)));
        // An edit asks again.
        QVERIFY(!approvals.isApproved(script(QStringLiteral("echo a\n"))));
        QCOMPARE(defaults->stringListValue(key), QStringList{a.fingerprint()});

        // Approving again keeps one entry, but writes.
        QSignalSpy written(defaults.get(), &Platform::UserDefaults::changed);
        approvals.approve(a);
        QCOMPARE(written.count(), 1);
        QCOMPARE(defaults->stringListValue(key), QStringList{a.fingerprint()});

        // Revoking what was never approved writes the unchanged set back.
        approvals.revoke(b);
        QCOMPARE(written.count(), 2);
        QCOMPARE(defaults->stringListValue(key), QStringList{a.fingerprint()});

        approvals.approve(b);
        approvals.revoke(a);
        QVERIFY(!approvals.isApproved(a));
        QVERIFY(approvals.isApproved(b));

        approvals.revokeAll();
        QVERIFY(!defaults->contains(key));
        QVERIFY(!approvals.isApproved(a));
        QVERIFY(!approvals.isApproved(b));
    }

    void approvalsReadTheStoreEveryTime()
    {
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        const ScriptApprovals approvals(defaults);
        const ScriptAction a = script(QStringLiteral("echo a"));
        QVERIFY(!approvals.isApproved(a));
        defaults->setStringList(key, {a.fingerprint()});
        QVERIFY(approvals.isApproved(a));
        defaults->remove(key);
        QVERIFY(!approvals.isApproved(a));
    }

    void storedValueOfAnotherTypeApprovesNothing()
    {
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        const ScriptApprovals approvals(defaults);
        const ScriptAction a = script(QStringLiteral("echo a"));
        defaults->setString(key, a.fingerprint());
        QVERIFY(!approvals.isApproved(a));
        QVERIFY(approvals.approvedFingerprints().isEmpty());
        approvals.approve(a);
        QCOMPARE(defaults->stringListValue(key), QStringList{a.fingerprint()});
    }

    void suites()
    {
        auto defaults = std::make_shared<Platform::SimulatedUserDefaults>();
        const ScriptAction a = script(QStringLiteral("echo a"));
        ScriptApprovals(defaults, QStringLiteral("group")).approve(a);
        QVERIFY(ScriptApprovals(defaults, QStringLiteral("group")).isApproved(a));
        QVERIFY(!ScriptApprovals(defaults).isApproved(a));
        QVERIFY(!defaults->contains(key));

        // A suite that cannot be opened falls back to the standard store.
        auto noSuites = std::make_shared<NoSuitesDefaults>();
        ScriptApprovals(noSuites, QStringLiteral("group")).approve(a);
        QVERIFY(ScriptApprovals(noSuites).isApproved(a));
    }
};

QTEST_GUILESS_MAIN(TestScriptAction)
#include "tst_ScriptAction.moc"
