// The built-in text actions: which are candidates for a selection, and what a press does.
#include "Platform/Simulated/SimulatedPasteboards.h"
#include "Platform/Simulated/SimulatedWorkspace.h"
#include "Selection/CurrencyPreference.h"
#include "Selection/TextActionCatalog.h"

#include <QTest>

using namespace Platform;
namespace Catalog = TextActionCatalog;

namespace {
ContextSnapshot text(std::optional<QString> t)
{
    ContextSnapshot s;
    s.kind = ContextKind::selectedText;
    s.selectedText = std::move(t);
    return s;
}

QStringList ids(const QList<ActionDefinition>& actions)
{
    QStringList out;
    for (const auto& a : actions)
        out << a.id;
    return out;
}

Catalog::Settings settings()
{
    return {SearchEngine::google(), TranslationService::google(), TranslationTarget::english(), QStringLiteral("USD")};
}
} // namespace

class TextActionCatalogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void catalogueIsFixed();
    void availability_data();
    void availability();
    void perform_data();
    void perform();
    void localCurrency_data();
    void localCurrency();
};

void TextActionCatalogTest::catalogueIsFixed()
{
    QCOMPARE(ids(Catalog::all()), (QStringList{"text.openLink", "text.calculate", "text.convertCurrency", "text.copy",
                                               "text.copyPlain", "text.translate", "text.search"}));
    for (const auto& a : Catalog::all()) {
        QVERIFY(!a.requiresAI);
        QCOMPARE(a.riskLevel, RiskLevel::safe);
    }
    QCOMPARE(Catalog::calculate().defaultRank, 1);
    QVERIFY(Catalog::openLink().supports(ContextKind::selectedURL));
    QVERIFY(!Catalog::openLink().supports(ContextKind::selectedText));
    QVERIFY(Catalog::copy().supports(ContextKind::selectedURL));
    QVERIFY(!Catalog::search().supports(ContextKind::selectedURL));
}

void TextActionCatalogTest::availability_data()
{
    QTest::addColumn<std::optional<QString>>("selected");
    QTest::addColumn<QStringList>("offered");
    const QStringList plain{"text.openLink", "text.copy", "text.copyPlain", "text.translate", "text.search"};
    QTest::newRow("arithmetic") << std::optional<QString>("12*(3+4)")
                                << QStringList{"text.openLink", "text.calculate", "text.copy", "text.copyPlain",
                                               "text.translate", "text.search"};
    QTest::newRow("money") << std::optional<QString>("25 EUR")
                           << QStringList{"text.openLink", "text.convertCurrency", "text.copy", "text.copyPlain",
                                          "text.translate", "text.search"};
    QTest::newRow("words") << std::optional<QString>("plain words") << plain;
    QTest::newRow("no text") << std::optional<QString>() << plain;
}

void TextActionCatalogTest::availability()
{
    QFETCH(std::optional<QString>, selected);
    QFETCH(QStringList, offered);
    QCOMPARE(ids(Catalog::availableActions(text(selected))), offered);
}

void TextActionCatalogTest::perform_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<std::optional<QString>>("selected");
    QTest::addColumn<QString>("outcome"); // "text:…", "done", "nothing"
    QTest::addColumn<QString>("pasteboard");
    QTest::addColumn<QString>("opened");
    using S = std::optional<QString>;
    QTest::newRow("calculate") << "text.calculate" << S("12*(3+4)") << "text:= 84" << "84" << "";
    QTest::newRow("calculate words") << "text.calculate" << S("hello") << "nothing" << "" << "";
    QTest::newRow("currency") << "text.convertCurrency" << S("25 EUR") << "done" << ""
                              << "https://www.google.com/search?q=25%20EUR%20to%20USD";
    QTest::newRow("currency without amount") << "text.convertCurrency" << S("words") << "nothing" << "" << "";
    QTest::newRow("copy") << "text.copy" << S(" a b ") << "done" << " a b " << "";
    QTest::newRow("copy plain") << "text.copyPlain" << S("x\ny") << "done" << "x\ny" << "";
    QTest::newRow("search untrimmed") << "text.search" << S(" qt ") << "done" << ""
                                      << "https://www.google.com/search?q=%20qt%20";
    QTest::newRow("search lone surrogate") << "text.search" << S(QString(QChar(0xDC00))) << "nothing" << "" << "";
    QTest::newRow("open trimmed link") << "text.openLink" << S("\n https://example.com/a \t") << "done" << ""
                                       << "https://example.com/a";
    QTest::newRow("open non-address") << "text.openLink" << S("not a link") << "nothing" << "" << "";
    QTest::newRow("open file address") << "text.openLink" << S("file:///etc/passwd") << "nothing" << "" << "";
    QTest::newRow("no text") << "text.copy" << S() << "nothing" << "" << "";
    QTest::newRow("empty text") << "text.search" << S("") << "nothing" << "" << "";
    QTest::newRow("unknown id") << "text.unknown" << S("hello") << "nothing" << "" << "";
}

void TextActionCatalogTest::perform()
{
    QFETCH(QString, id);
    QFETCH(std::optional<QString>, selected);
    QFETCH(QString, outcome);
    QFETCH(QString, pasteboard);
    QFETCH(QString, opened);
    SimulatedPasteboard board;
    SimulatedWorkspace workspace;
    ActionDefinition action;
    action.id = id;
    const auto result = Catalog::perform(action, text(selected), settings(), board, workspace);
    if (outcome.startsWith("text:"))
        QCOMPARE(result, Catalog::Outcome(Catalog::Text{outcome.mid(5)}));
    else if (outcome == "done")
        QCOMPARE(result, Catalog::Outcome(Catalog::Done{}));
    else
        QCOMPARE(result, Catalog::Outcome(Catalog::NothingToDo{}));
    QCOMPARE(board.string().value_or(""), pasteboard);
    if (!pasteboard.isEmpty())
        QCOMPARE(board.items().first().types(), QStringList{Pasteboard::typeString}); // plain text only
    QCOMPARE(workspace.openedURLs.isEmpty() ? QString() : workspace.openedURLs.first().toString(QUrl::FullyEncoded), opened);
}

void TextActionCatalogTest::localCurrency_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("code");
    QTest::newRow("Japan") << "ja_JP" << "JPY";
    QTest::newRow("China") << "zh_CN" << "CNY";
    QTest::newRow("Mexico, not supported") << "es_MX" << "USD";
    QTest::newRow("no currency") << "C" << "USD";
}

void TextActionCatalogTest::localCurrency()
{
    QFETCH(QString, locale);
    QFETCH(QString, code);
    QCOMPARE(CurrencyPreference::localCode(QLocale(locale)), code);
}

QTEST_MAIN(TextActionCatalogTest)
#include "tst_TextActionCatalog.moc"
