// The state of an AI or script run and the card that shows it: spinner, output or failure, and
// which buttons appear in which state.
#include "Selection/AIResultView.h"
#include "Selection/AIRun.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QAccessible>

class AIResultViewTest : public QObject {
    Q_OBJECT
private slots:
    void runStoresEqualValuesSilently();
    void finishKeepsTheOutput();
    void buttonsFollowTheState_data();
    void buttonsFollowTheState();
    void longOutputScrolls_data();
    void longOutputScrolls();
    void aShortOutputWrapsWhereItMust_data();
    void aShortOutputWrapsWhereItMust();
    void buttonsCallTheirFunctions();
    void aHugeOutputIsShownAsABoundedPrefix();
    void thePrefixNeverCutsACharacter_data();
    void thePrefixNeverCutsACharacter();
    void theCardFollowsTheRunAsItStreams();
};

void AIResultViewTest::runStoresEqualValuesSilently()
{
    AIRun run("Polish");
    QCOMPARE(run.title(), QString("Polish"));
    QVERIFY(run.output().isEmpty());
    QVERIFY(run.isStreaming());
    QVERIFY(!run.failureKey());
    QVERIFY(!run.canRetry());
    QSignalSpy streaming(&run, &AIRun::isStreamingChanged);
    QSignalSpy output(&run, &AIRun::outputChanged);
    run.setStreaming(false);
    run.setStreaming(false);
    QCOMPARE(streaming.size(), 1);
    run.setOutput("a");
    run.setOutput("a");
    run.appendOutput("");
    run.appendOutput("b");
    QCOMPARE(run.output(), QString("ab"));
    QCOMPARE(output.size(), 2);
}

void AIResultViewTest::finishKeepsTheOutput()
{
    AIRun run("Explain");
    run.setOutput("partial");
    QSignalSpy failure(&run, &AIRun::failureKeyChanged);
    run.finish("ai.error.rateLimited", true);
    QCOMPARE(run.failureKey(), std::optional<QString>("ai.error.rateLimited"));
    QVERIFY(run.canRetry());
    QVERIFY(!run.isStreaming());
    QCOMPARE(run.output(), QString("partial"));
    run.finish("ai.error.rateLimited", true);
    QCOMPARE(failure.size(), 1);
}

void AIResultViewTest::buttonsFollowTheState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("canReplace");
    QTest::addColumn<QString>("shown");   // buttons shown, in order
    QTest::addColumn<bool>("copyEnabled");
    QTest::addColumn<bool>("spinner");
    QTest::newRow("streaming, replaceable") << "streaming" << true << "copy close" << false << true;
    QTest::newRow("finished, replaceable") << "finished" << true << "replace append copy close" << true << false;
    QTest::newRow("finished, read-only") << "finished" << false << "copy close" << true << false;
    // Nothing to write back: Replace would only delete the selection.
    QTest::newRow("finished empty, replaceable") << "empty" << true << "copy close" << true << false;
    QTest::newRow("finished blank, replaceable") << "blank" << true << "copy close" << true << false;
    QTest::newRow("failed, retryable") << "retryable" << true << "retry close" << false << false;
    QTest::newRow("failed, final") << "failed" << true << "close" << false << false;
}

void AIResultViewTest::buttonsFollowTheState()
{
    QFETCH(QString, state);
    QFETCH(bool, canReplace);
    QFETCH(QString, shown);
    QFETCH(bool, copyEnabled);
    QFETCH(bool, spinner);
    AIRun run("Polish");
    run.setOutput("Some text that was written");
    if (state == "empty" || state == "blank")
        run.setOutput(state == "empty" ? "" : " \n\t ");
    if (state == "finished" || state == "empty" || state == "blank")
        run.setStreaming(false);
    else if (state == "retryable")
        run.finish("ai.error.timedOut", true);
    else if (state == "failed")
        run.finish("ai.error.contentFiltered", false);
    AIResultView view(&run, canReplace, {}, [](const QString& key) { return "text of " + key; });
    QStringList visible;
    for (const char* name : {"replace", "append", "copy", "retry", "close"})
        if (view.button(name)->isVisibleTo(&view))
            visible << name;
    QCOMPARE(visible.join(' '), shown);
    if (view.button("copy")->isVisibleTo(&view))
        QCOMPARE(view.button("copy")->isEnabled(), copyEnabled);
    QCOMPARE(view.isSpinnerShown(), spinner);
    auto* failure = view.findChild<QLabel*>("failure");
    auto* output = view.findChild<QWidget*>("output");
    if (state == "retryable" || state == "failed") {
        QVERIFY(failure->isVisibleTo(&view));
        QCOMPARE(failure->text(), "text of " + *run.failureKey());
        QVERIFY(!output->isVisibleTo(&view)); // the output is hidden, whatever it held
        QVERIFY(!view.isScrolling());
    } else {
        QVERIFY(!failure->isVisibleTo(&view));
        QCOMPARE(view.inlineText(), run.output());
    }
    QCOMPARE(view.button("close")->text(), QString("Close"));
    QCOMPARE(view.sizeHint().width(), 420);
}

void AIResultViewTest::longOutputScrolls_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("320 characters") << QString(320, u'x') << false;
    QTest::newRow("321 characters") << QString(321, u'x') << true;
    // Each "é" is two code units but one character.
    QTest::newRow("320 combined characters") << QString("e\u0301").repeated(320) << false;
}

void AIResultViewTest::longOutputScrolls()
{
    QFETCH(QString, output);
    QFETCH(bool, scrolls);
    AIRun run("Summarize");
    run.setOutput(output);
    run.setStreaming(false);
    AIResultView view(&run, false, {}, {});
    QCOMPARE(view.isScrolling(), scrolls);
    if (scrolls) {
        QCOMPARE(view.findChild<QWidget*>("scroll")->height(), 220);
        QVERIFY(view.sizeHint().height() < 460);
    }
}

void AIResultViewTest::aHugeOutputIsShownAsABoundedPrefix()
{
    // What the script runner keeps of a script that printed 100 MB: its first 4 MiB, in lines.
    const QString line = QStringLiteral("0123456789 abcdefghij klmnopqrstuvwxyz ").repeated(2) + u'\n';
    QString output;
    while (output.size() < 4 * 1024 * 1024)
        output += line;
    AIRun run("Dump");
    run.setOutput(output);
    run.setStreaming(false);
    AIResultView view(&run, true, {}, {});
    QVERIFY(view.isScrolling());
    const QString shown = view.scrolledText();
    // Only a card's worth is laid out; the run keeps every character for Copy and Replace.
    QVERIFY2(shown.size() <= AIResultView::displayLimit + 1, qPrintable(QString::number(shown.size())));
    QVERIFY(shown.endsWith(QChar(0x2026)));
    QVERIFY(output.startsWith(shown.chopped(1)));
    QCOMPARE(run.output(), output);
    QVERIFY(view.button("replace")->isVisibleTo(&view));
    QVERIFY(view.sizeHint().height() < 460);
}

void AIResultViewTest::thePrefixNeverCutsACharacter_data()
{
    const qsizetype limit = AIResultView::displayLimit;
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("shown");
    const QString before(limit - 1, u'a');
    QTest::newRow("at the limit") << QString(limit, u'a') << QString(limit, u'a');
    QTest::newRow("one past") << QString(limit + 1, u'a') << QString(limit, u'a') + QChar(0x2026);
    // A character of two units, and one of a letter and its accent, across the limit.
    QTest::newRow("surrogate pair") << before + QStringLiteral("\U0001F600 tail") << before + QChar(0x2026);
    QTest::newRow("combining accent") << before + QStringLiteral("e\u0301 tail") << before + QChar(0x2026);
}

void AIResultViewTest::thePrefixNeverCutsACharacter()
{
    QFETCH(QString, output);
    QFETCH(QString, shown);
    QCOMPARE(AIResultView::shownText(output), shown);
}

void AIResultViewTest::aShortOutputWrapsWhereItMust_data()
{
    QTest::addColumn<QString>("output");
    const QString url = "https://example.org/" + QString(81, u'a');
    QVERIFY(url.size() == 101);
    QTest::newRow("a link of 101 characters") << url;
    QTest::newRow("a path") << "/home/someone/report_2024_final_version_with_all_the_appendices_and_every_correction_v12.pdf";
    QTest::newRow("words, then a long word") << "See " + url + " for more";
    QTest::newRow("Chinese") << QString("这是一段没有空格的中文回复").repeated(4);
}

void AIResultViewTest::aShortOutputWrapsWhereItMust()
{
    // Inline (not over 320 characters), but wider than the card on one line: it goes on over as
    // many lines as it needs, inside the card, and the card grows to hold them.
    QFETCH(QString, output);
    AIRun run("Explain");
    run.setOutput(output);
    run.setStreaming(false);
    AIResultView view(&run, true, {}, {});
    view.resize(view.sizeHint());
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.isScrolling());
    QCOMPARE(view.inlineText(), output);
    auto* shown = view.findChild<QWidget*>("output");
    QVERIFY(shown->isVisibleTo(&view));
    QVERIFY(shown->geometry().right() < view.width());
    const QFontMetrics metrics(shown->font());
    const int oneLine = metrics.horizontalAdvance(output);
    QVERIFY2(oneLine > shown->width(), "the fixture must not fit on one line");
    const int lines = oneLine / shown->width() + 1;
    QVERIFY2(shown->height() >= lines * metrics.lineSpacing(),
             qPrintable(QString("%1 high for %2 lines").arg(shown->height()).arg(lines)));
    // It needs no more width than it has: what does not fit on a line goes on the next one.
    QVERIFY2(shown->minimumSizeHint().width() <= shown->width(),
             qPrintable(QString("needs %1, has %2").arg(shown->minimumSizeHint().width()).arg(shown->width())));
    // Every character lies inside what is shown, as a screen reader finds it too.
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(reader && reader->textInterface());
    QCOMPARE(reader->textInterface()->characterCount(), output.size());
    const QRect visible(shown->mapToGlobal(QPoint(0, 0)), shown->size());
    for (int i = 0; i < output.size(); ++i) {
        const QRect character = reader->textInterface()->characterRect(i);
        QVERIFY2(visible.contains(character.center()),
                 qPrintable(QString("character %1 at %2,%3; shown %4,%5 %6 × %7").arg(i).arg(character.x())
                                .arg(character.y()).arg(visible.x()).arg(visible.y()).arg(visible.width())
                                .arg(visible.height())));
    }
    QCOMPARE(view.sizeHint().height(), view.heightForWidth(420));
}

void AIResultViewTest::buttonsCallTheirFunctions()
{
    AIRun run("Polish");
    run.setStreaming(false);
    QStringList pressed;
    AIResultView::Actions actions{
        [&] { pressed << "replace"; }, [&] { pressed << "append"; }, [&] { pressed << "copy"; },
        [&] { pressed << "retry"; },   [&] { pressed << "close"; },
    };
    AIResultView view(&run, true, actions, {});
    for (const char* name : {"close", "copy", "append", "replace"})
        view.button(name)->click();
    run.finish("ai.error.serverError", true);
    view.button("retry")->click();
    QCOMPARE(pressed, (QStringList{"close", "copy", "append", "replace", "retry"}));
}

void AIResultViewTest::theCardFollowsTheRunAsItStreams()
{
    AIRun run("Translate");
    AIResultView view(&run, true, {}, {});
    const int emptyHeight = view.sizeHint().height();
    run.appendOutput("```\nBonjour");
    QCOMPARE(view.inlineText(), QString("```\nBonjour"));
    run.appendOutput(QString(400, u'a'));
    QVERIFY(view.isScrolling());
    QCOMPARE(view.scrolledText(), "```\nBonjour" + QString(400, u'a'));
    run.appendOutput(" et la suite");
    QCOMPARE(view.scrolledText(), "```\nBonjour" + QString(400, u'a') + " et la suite");
    QVERIFY(view.sizeHint().height() > emptyHeight);
    run.setOutput("Bonjour");
    run.setStreaming(false);
    QVERIFY(!view.isScrolling());
    QVERIFY(!view.isSpinnerShown());
    QVERIFY(view.button("replace")->isVisibleTo(&view));
}

QTEST_MAIN(AIResultViewTest)
#include "tst_AIResultView.moc"
