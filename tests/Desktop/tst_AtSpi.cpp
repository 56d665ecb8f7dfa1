// The accessibility bus client against a real Qt application and a real GTK entry.
#include "DesktopFixture.h"

#include "Platform/Desktop/AtSpiClient.h"
#include "Platform/Desktop/DesktopAccessibility.h"
#include "Platform/Desktop/X11Connection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Platform;

class tst_AtSpi : public QObject {
    Q_OBJECT

    DesktopFixture m_fixture;
    std::optional<AtSpiClient> m_client;

    // The focused object of the process once it has one whose text matches.
    std::optional<AtSpiClient::Element> focusedIn(qint64 pid)
    {
        const auto app = m_client->application(pid);
        return app ? m_client->focused(*app) : std::nullopt;
    }

    static bool key(const QString& keys) { return DesktopFixture::xdotool({QStringLiteral("key"), keys}); }

    std::optional<QString> selectedText(const AtSpiClient::Element& element)
    {
        const auto range = m_client->selection(element);
        if (!range)
            return std::nullopt;
        return m_client->text(element, range->first, range->second);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(AtSpiClient::setEnabled(true));
        QCOMPARE(AtSpiClient::isEnabled(), std::optional<bool>(true));
        // The applications answer within milliseconds; the longer wait only keeps a loaded test
        // machine from failing the test.
        m_client = AtSpiClient::connect(3000);
        QVERIFY2(m_client, "no accessibility bus");
    }

    void cleanup() { m_fixture.stopAll(); }

    void qtLineEditSelectionAndBounds()
    {
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("12*(3+4)")});
        QVERIFY(app);
        QTRY_VERIFY(focusedIn(app->processId()).has_value());
        const AtSpiClient::Element line = *focusedIn(app->processId());
        QCOMPARE(m_client->roleName(line), std::optional<QString>(QStringLiteral("text")));
        QVERIFY((*m_client->states(line) >> AtSpiClient::stateEditable) & 1);
        QCOMPARE(m_client->units(line), AtSpiClient::Units::utf16);

        QVERIFY(key(QStringLiteral("ctrl+a")));
        QTRY_COMPARE(selectedText(line), std::optional<QString>(QStringLiteral("12*(3+4)")));

        // The selection lies inside the line edit, in screen coordinates.
        const auto bounds = m_client->rangeExtents(line, 0, 8);
        const auto field = m_client->extents(line);
        QVERIFY(bounds && field);
        QVERIFY2(field->contains(bounds->center()), qPrintable(QStringLiteral("%1,%2 %3x%4 outside %5,%6 %7x%8")
                                                                 .arg(bounds->x()).arg(bounds->y()).arg(bounds->width()).arg(bounds->height())
                                                                 .arg(field->x()).arg(field->y()).arg(field->width()).arg(field->height())));
        QVERIFY(bounds->width() > 10);

        // What is at the middle of the field is the field itself.
        const auto app11y = m_client->application(app->processId());
        QVERIFY(app11y);
        QCOMPARE(m_client->at(*app11y, field->center()), std::optional<AtSpiClient::Element>(line));
    }

    void qtWritingReplacesTheSelection()
    {
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("a 12*(3+4) b")});
        QVERIFY(app);
        QTRY_VERIFY(focusedIn(app->processId()).has_value());
        const AtSpiClient::Element line = *focusedIn(app->processId());
        QVERIFY(m_client->setSelection(line, 2, 10));
        QTRY_COMPARE(selectedText(line), std::optional<QString>(QStringLiteral("12*(3+4)")));
        QVERIFY(m_client->deleteText(line, 2, 10));
        QVERIFY(m_client->insertText(line, 2, QStringLiteral("84"), 2));
        QTRY_COMPARE(m_client->text(line, 0, -1), std::optional<QString>(QStringLiteral("a 84 b")));
        // The application saw it as an edit of its own.
        QVERIFY(m_fixture.waitForLine(app, "line: a 84 b"));
    }

    void qtPasswordFieldIsRecognised()
    {
        QProcess* app = m_fixture.startTargetApp();
        QVERIFY(app);
        QTRY_VERIFY(focusedIn(app->processId()).has_value());
        QVERIFY(key(QStringLiteral("Tab")));
        QVERIFY(key(QStringLiteral("Tab")));
        QTRY_COMPARE(m_client->role(*focusedIn(app->processId())), std::optional<uint>(AtSpiClient::rolePasswordText));
    }

    void gtkEntryCountsCodePoints()
    {
        const QString text = QStringLiteral("h\u00e9llo \U0001F600 w\u00f6rld");
        QProcess* app = m_fixture.startGtkEntry(text);
        QVERIFY(app);
        QTRY_VERIFY(focusedIn(app->processId()).has_value());
        const AtSpiClient::Element entry = *focusedIn(app->processId());
        QCOMPARE(m_client->units(entry), AtSpiClient::Units::codePoints);
        QCOMPARE(m_client->characterCount(entry), std::optional<int>(AtSpiClient::length(text, AtSpiClient::Units::codePoints)));
        QVERIFY(key(QStringLiteral("ctrl+a")));
        QTRY_COMPARE(selectedText(entry), std::optional<QString>(text));
        QVERIFY(m_client->setSelection(entry, 6, 7));
        QTRY_COMPARE(selectedText(entry), std::optional<QString>(QStringLiteral("\U0001F600")));
    }

    // The service as the toolbar sees it: attribute names, UTF-16 ranges, device-independent
    // rectangles, the secure subrole, writing the selection.
    void accessibilityServiceOnQt()
    {
        DesktopAccessibility ax(X11Connection::shared());
        QVERIFY(ax.isTrusted());
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("a 12*(3+4) b")});
        QVERIFY(app);
        QTRY_VERIFY(ax.focusedElement().has_value());
        const AccessibilityElement line = *ax.focusedElement();
        QCOMPARE(ax.stringAttribute(line, QStringLiteral("AXRole")).value_or(QString()), QStringLiteral("AXTextField"));
        QVERIFY(!ax.stringAttribute(line, QStringLiteral("AXSubrole")).has_value());
        QVERIFY(ax.attributeNames(line).value_or(QStringList()).contains(QStringLiteral("AXSelectedText")));
        QCOMPARE(ax.isAttributeSettable(line, QStringLiteral("AXSelectedText")).value_or(false), true);

        QVERIFY(m_client->setSelection({line.service, line.path}, 2, 10));
        QTRY_COMPARE(ax.stringAttribute(line, QStringLiteral("AXSelectedText")).value_or(QString()), QStringLiteral("12*(3+4)"));
        const auto range = ax.rangeAttribute(line, QStringLiteral("AXSelectedTextRange"));
        QCOMPARE(range.value_or(TextRange()), (TextRange{2, 8}));
        const auto bounds = ax.boundsForRange(line, *range);
        const auto frame = ax.rectAttribute(line, QStringLiteral("AXFrame"));
        QVERIFY(bounds && frame && frame->contains(bounds->center()));

        QVERIFY(ax.setStringAttribute(line, QStringLiteral("AXSelectedText"), QStringLiteral("84")).has_value());
        QVERIFY(m_fixture.waitForLine(app, "line: a 84 b"));
        // The written text is selected again.
        QTRY_COMPARE(ax.stringAttribute(line, QStringLiteral("AXSelectedText")).value_or(QString()), QStringLiteral("84"));

        QVERIFY(key(QStringLiteral("Tab")));
        QVERIFY(key(QStringLiteral("Tab")));
        QTRY_COMPARE(ax.stringAttribute(*ax.focusedElement(), QStringLiteral("AXSubrole")).value_or(QString()),
                     QStringLiteral("AXSecureTextField"));

        // A new process of the same program is found again, not the remembered one.
        m_fixture.stopAll();
        QProcess* again = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("again")});
        QVERIFY(again);
        QTRY_COMPARE(ax.focusedElement().has_value()
                         ? ax.stringAttribute(*ax.focusedElement(), QStringLiteral("AXValue")).value_or(QString())
                         : QString(),
                     QStringLiteral("again"));
    }

    // One handler asks the same things of an object several times: the service asks the
    // application once per turn of the event loop, and never keeps an answer past its own writes.
    void readsAreKeptForOneTurnOfTheLoop()
    {
        DesktopAccessibility ax(X11Connection::shared());
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("one")});
        QVERIFY(app);
        QTRY_VERIFY(ax.focusedElement().has_value());
        const AccessibilityElement line = *ax.focusedElement();
        const AtSpiClient::Element same{line.service, line.path};
        const auto value = [&] { return ax.stringAttribute(line, QStringLiteral("AXValue")).value_or(QString()); };
        QTRY_COMPARE(value(), QStringLiteral("one"));

        // Changed behind the service's back (another client) within this turn: the answer stands.
        QVERIFY(m_client->insertText(same, 3, QStringLiteral(" two"), 4));
        QCOMPARE(m_client->text(same, 0, -1), std::optional<QString>(QStringLiteral("one two")));
        QCOMPARE(value(), QStringLiteral("one"));
        // The next turn asks again.
        QCoreApplication::processEvents();
        QCOMPARE(value(), QStringLiteral("one two"));

        // A write of its own forgets what was read at once.
        QVERIFY(m_client->setSelection(same, 4, 7));
        QCoreApplication::processEvents();
        QCOMPARE(ax.stringAttribute(line, QStringLiteral("AXSelectedText")).value_or(QString()), QStringLiteral("two"));
        QVERIFY(ax.setStringAttribute(line, QStringLiteral("AXSelectedText"), QStringLiteral("2")).has_value());
        QCOMPARE(value(), QStringLiteral("one 2"));
    }

    void scaledApplicationAnswersInScreenPixels()
    {
        DesktopAccessibility ax(X11Connection::shared());
        const QString title = QStringLiteral("scaled target");
        QProcess* app = m_fixture.startTargetApp({QStringLiteral("--line"), QStringLiteral("a 12*(3+4) b"), QStringLiteral("--title"), title},
                                                 {{QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2")}});
        QVERIFY(app);
        QTRY_VERIFY(ax.focusedElement().has_value());
        const AccessibilityElement line = *ax.focusedElement();
        std::optional<QRect> window;
        QTRY_VERIFY((window = DesktopFixture::clientGeometry(title)).has_value());
        // The application counts in halves of a pixel; its field lies where it is on screen.
        const auto frame = ax.rectAttribute(line, QStringLiteral("AXFrame"));
        QVERIFY(frame);
        QVERIFY2(QRectF(*window).contains(*frame),
                 qPrintable(QStringLiteral("field %1,%2 %3x%4 outside the window %5,%6 %7x%8")
                                .arg(frame->x()).arg(frame->y()).arg(frame->width()).arg(frame->height())
                                .arg(window->x()).arg(window->y()).arg(window->width()).arg(window->height())));
        QVERIFY(m_client->setSelection({line.service, line.path}, 2, 10));
        QTRY_COMPARE(ax.rangeAttribute(line, QStringLiteral("AXSelectedTextRange")).value_or(TextRange()), (TextRange{2, 8}));
        const auto bounds = ax.boundsForRange(line, TextRange{2, 8});
        QVERIFY(bounds && frame->contains(bounds->center()));
        // An unscaled line edit's text is about 15 pixels high.
        QVERIFY2(bounds->height() > 22, qPrintable(QString::number(bounds->height())));
        const auto at = ax.elementAt(frame->center());
        QVERIFY(at);
        QCOMPARE(*at, line);
    }

    void accessibilityServiceCountsUtf16OnGtk()
    {
        DesktopAccessibility ax(X11Connection::shared());
        const QString text = QStringLiteral("h\u00e9llo \U0001F600 w\u00f6rld");
        QProcess* app = m_fixture.startGtkEntry(text);
        QVERIFY(app);
        QTRY_VERIFY(ax.focusedElement().has_value());
        const AccessibilityElement entry = *ax.focusedElement();
        // Code points 8 to 13 ("w\u00f6rld" after the emoji) are UTF-16 units 9 to 14.
        QVERIFY(m_client->setSelection({entry.service, entry.path}, 8, 13));
        QTRY_COMPARE(ax.stringAttribute(entry, QStringLiteral("AXSelectedText")).value_or(QString()), QStringLiteral("w\u00f6rld"));
        QCOMPARE(ax.rangeAttribute(entry, QStringLiteral("AXSelectedTextRange")).value_or(TextRange()), (TextRange{9, 5}));
        QVERIFY(ax.boundsForRange(entry, TextRange{9, 5}).has_value());
    }

    void aLongSelectionIsReadInPartAndMeasuredQuickly_data()
    {
        QTest::addColumn<QString>("toolkit");
        QTest::newRow("Qt text edit") << "qt";
        QTest::newRow("GTK text view") << "gtk";
    }

    // Over half a million characters selected. The toolbar reads their beginning at once; the
    // whole text comes later without blocking; the selection's place is measured without the
    // application laying out all of it (which keeps it busy for many seconds).
    void aLongSelectionIsReadInPartAndMeasuredQuickly()
    {
        QFETCH(QString, toolkit);
        QTemporaryDir folder;
        QString text = QStringLiteral("\U0001F600 begins it\n");
        for (int line = 0; text.size() < 600000; ++line)
            text += QStringLiteral("line %1 of a long text, caf\u00e9 and na\u00efve words in it\n").arg(line);
        text.chop(1);
        QFile file(folder.filePath(QStringLiteral("long.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
        file.close();
        DesktopAccessibility ax(X11Connection::shared());
        QProcess* app = toolkit == u"qt"
            ? m_fixture.startTargetApp({QStringLiteral("--text-file"), file.fileName(), QStringLiteral("--select-all")})
            : m_fixture.startGtkEntry(QStringLiteral("@") + file.fileName(), true, {QStringLiteral("--select-all")});
        QVERIFY(app);
        std::optional<AccessibilityElement> view;
        QTRY_VERIFY_WITH_TIMEOUT((view = ax.focusedElement().value_or(AccessibilityElement())) && !view->isNull()
                                     && ax.rangeAttribute(*view, QStringLiteral("AXSelectedTextRange")).value_or(TextRange()).length > 1000,
                                 20000);

        const auto part = ax.selectedTextPart(*view, 4096);
        QVERIFY(part);
        QCOMPARE(part->text, text.left(4096));
        QVERIFY(!part->complete);
        const auto small = ax.selectedTextPart(*view, text.size() + 10);
        QVERIFY(small && small->complete);
        QCOMPARE(small->text.size(), text.size());

        const auto range = ax.rangeAttribute(*view, QStringLiteral("AXSelectedTextRange"));
        QCOMPARE(range.value_or(TextRange()), (TextRange{0, text.size()}));
        QElapsedTimer clock;
        clock.start();
        const auto bounds = ax.boundsForRange(*view, *range);
        QVERIFY2(bounds, "the selection could not be measured");
        const auto frame = ax.rectAttribute(*view, QStringLiteral("AXFrame"));
        QVERIFY(frame && bounds->intersects(*frame));
        // And the application answers the next question at once: it is not busy measuring.
        QVERIFY(ax.rectAttribute(*view, QStringLiteral("AXFrame")).has_value());
        qInfo("measured in %lld ms", clock.elapsed());

        std::optional<std::expected<QString, Accessibility::Failure>> whole;
        QObject receiver;
        ax.readSelectedText(*view, &receiver, [&](std::expected<QString, Accessibility::Failure> t) { whole = std::move(t); });
        QVERIFY(!whole); // never answered before it returns
        QTRY_VERIFY_WITH_TIMEOUT(whole.has_value(), 20000);
        QVERIFY(whole->has_value());
        QCOMPARE((*whole)->size(), text.size());
        QVERIFY(QString(**whole).replace(QChar::ParagraphSeparator, u'\n') == text);
    }
};

QTEST_MAIN(tst_AtSpi)
#include "tst_AtSpi.moc"
