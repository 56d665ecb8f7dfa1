// This application's own windows through the desktop accessibility service: found at a point of
// the real X server and read, written and walked in the process, as another application's are over
// the bus.
#include "DesktopFixture.h"

#include "Platform/Desktop/DesktopAccessibility.h"
#include "Platform/Desktop/InProcessAccessibility.h"
#include "Platform/Desktop/X11Connection.h"

#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace Platform;

namespace {
const QString selectedText = QString::fromLatin1(Accessibility::selectedTextAttribute);
const QString selectedRange = QString::fromLatin1(Accessibility::selectedTextRangeAttribute);
const QString value = QString::fromLatin1(Accessibility::valueAttribute);
const QString role = QString::fromLatin1(Accessibility::roleAttribute);
const QString subrole = QString::fromLatin1(Accessibility::subroleAttribute);
const QString parentName = QString::fromLatin1(Accessibility::parentAttribute);
const QString frame = QString::fromLatin1(Accessibility::frameAttribute);
const QString failed = QStringLiteral("(failed)");
} // namespace

class tst_InProcessAccessibility : public QObject {
    Q_OBJECT

    std::unique_ptr<DesktopAccessibility> m_ax;
    std::unique_ptr<QWidget> m_window;
    QLineEdit* m_line = nullptr;
    QTextEdit* m_text = nullptr;
    QTextEdit* m_readOnly = nullptr;
    QLineEdit* m_password = nullptr;

    // Where a widget's middle is on the screen, as the server shows its window.
    QPointF middleOf(QWidget* widget) const
    {
        const auto shown = DesktopFixture::clientGeometry(m_window->winId());
        return shown ? QPointF(shown->topLeft() + widget->mapTo(m_window.get(), widget->rect().center())) : QPointF(-1, -1);
    }

    QWidget* field(const QString& name) const
    {
        if (name == u"line")
            return m_line;
        if (name == u"text")
            return m_text;
        if (name == u"readOnly")
            return m_readOnly;
        return m_password;
    }

    // The element at the middle of a field, taken up to the field where a part of it answers.
    std::optional<AccessibilityElement> elementOf(QWidget* widget)
    {
        auto found = m_ax->elementAt(middleOf(widget));
        if (!found)
            return std::nullopt;
        for (int depth = 0; depth < 4 && m_ax->attributeNames(*found).value_or(QStringList()).indexOf(selectedText) < 0; ++depth) {
            const auto up = m_ax->elementAttribute(*found, parentName);
            if (!up)
                return std::nullopt;
            found = up;
        }
        return *found;
    }

private slots:
    void initTestCase()
    {
        m_ax = std::make_unique<DesktopAccessibility>(X11Connection::shared());
        m_window = std::make_unique<QWidget>();
        m_window->setWindowTitle(QStringLiteral("Ambrel own window"));
        auto* column = new QVBoxLayout(m_window.get());
        m_line = new QLineEdit(QStringLiteral("one \U0001F600 two three"));
        m_text = new QTextEdit;
        m_text->setPlainText(QStringLiteral("first line\nsecond line\nthird line"));
        m_readOnly = new QTextEdit;
        m_readOnly->setPlainText(QStringLiteral("read but not written"));
        m_readOnly->setReadOnly(true);
        m_password = new QLineEdit(QStringLiteral("secret"));
        m_password->setEchoMode(QLineEdit::Password);
        for (QWidget* w : {static_cast<QWidget*>(m_line), static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_readOnly),
                           static_cast<QWidget*>(m_password)})
            column->addWidget(w);
        m_window->setGeometry(200, 150, 420, 420);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_VERIFY_WITH_TIMEOUT(DesktopFixture::clientGeometry(m_window->winId()).has_value(), 10000);
    }

    void cleanupTestCase() { m_window.reset(); }

    void aFieldOfOursIsReadInProcess_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("start"); // the selection, in UTF-16 units
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expectedRole");
        QTest::addColumn<bool>("settable");
        QTest::addColumn<bool>("secure");
        // After a character outside the basic plane: two units, one character.
        QTest::newRow("a line edit") << "line" << 7 << 3 << "AXTextField" << true << false;
        QTest::newRow("a text edit, across lines") << "text" << 6 << 10 << "AXTextArea" << true << false;
        QTest::newRow("a read-only text edit") << "readOnly" << 0 << 4 << "AXTextArea" << false << false;
        QTest::newRow("a password field") << "password" << 0 << 0 << "AXTextField" << true << true;
        QTest::newRow("nothing selected") << "line" << 3 << 0 << "AXTextField" << true << false;
    }

    void aFieldOfOursIsReadInProcess()
    {
        QFETCH(QString, name);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, expectedRole);
        QFETCH(bool, settable);
        QFETCH(bool, secure);
        QWidget* widget = field(name);
        QString whole;
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            whole = line->text();
            line->setSelection(start, length);
            if (length == 0)
                line->setCursorPosition(start);
        } else {
            auto* edit = static_cast<QTextEdit*>(widget);
            whole = edit->toPlainText();
            QTextCursor cursor(edit->document());
            cursor.setPosition(start);
            cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            edit->setTextCursor(cursor);
        }

        const auto element = elementOf(widget);
        QVERIFY(element);
        QVERIFY(InProcessAccessibility::owns(*element));
        QCOMPARE(m_ax->stringAttribute(*element, role).value_or(failed), expectedRole);
        QCOMPARE(m_ax->stringAttribute(*element, subrole).has_value(), secure);
        if (secure) {
            QCOMPARE(*m_ax->stringAttribute(*element, subrole), QString::fromLatin1(Accessibility::secureTextFieldSubrole));
            return;
        }
        const QString selected = whole.mid(start, length).replace(u'\n', QChar::ParagraphSeparator);
        QCOMPARE(m_ax->stringAttribute(*element, selectedText).value_or(failed).replace(u'\n', QChar::ParagraphSeparator), selected);
        const auto range = m_ax->rangeAttribute(*element, selectedRange);
        QVERIFY(range);
        QCOMPARE(range->location, qint64(start));
        QCOMPARE(range->length, qint64(length));
        QCOMPARE(m_ax->stringAttribute(*element, value).value_or(failed).size(), whole.size());
        QCOMPARE(m_ax->isAttributeSettable(*element, selectedText).value_or(!settable), settable);

        // The frame is the widget's on screen; the selection lies inside it.
        const auto box = m_ax->rectAttribute(*element, frame);
        QVERIFY(box);
        QVERIFY(box->contains(middleOf(widget)));
        const auto bounds = m_ax->boundsForRange(*element, {start, length});
        QVERIFY(bounds);
        const QRectF inside = box->adjusted(-1, -1, 1, 1);
        QVERIFY2(inside.contains(bounds->topLeft()) && inside.contains(bounds->bottomRight()), qPrintable(QDebug::toString(*bounds) + QStringLiteral(" in ") + QDebug::toString(*box)));
        QCOMPARE(bounds->width() > 0, length > 0);
        QVERIFY(bounds->height() > 0);

        // The walk up ends at the window, which names no parent.
        std::optional<AccessibilityElement> up = element;
        for (int depth = 0; depth < 8 && up; ++depth) {
            const auto next = m_ax->elementAttribute(*up, parentName);
            if (!next)
                break;
            up = *next;
        }
        QCOMPARE(m_ax->stringAttribute(*up, role).value_or(failed), QStringLiteral("AXWindow"));
    }

    // The focus of our own active window is read in the process too.
    void theFocusOfOurOwnWindow()
    {
        m_window->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->isActiveWindow(), 10000);
        for (QWidget* widget : {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_line)}) {
            widget->setFocus();
            QTRY_VERIFY(widget->hasFocus());
            QTRY_COMPARE_WITH_TIMEOUT(m_ax->focusedElement().value_or(AccessibilityElement()), *elementOf(widget), 10000);
        }
    }

    void writingReplacesTheSelection()
    {
        m_line->setText(QStringLiteral("keep this and that"));
        m_line->setSelection(5, 4);
        const auto element = elementOf(m_line);
        QVERIFY(element);
        QVERIFY(m_ax->setStringAttribute(*element, selectedText, QStringLiteral("\U0001F600 ")).has_value());
        QCOMPARE(m_line->text(), QStringLiteral("keep \U0001F600  and that"));
        // What was written is selected.
        QCOMPARE(m_line->selectedText(), QStringLiteral("\U0001F600 "));

        const QString before = m_readOnly->toPlainText();
        const auto readOnly = elementOf(m_readOnly);
        QVERIFY(readOnly);
        QCOMPARE(m_ax->setStringAttribute(*readOnly, selectedText, QStringLiteral("no")).error(), Accessibility::Failure::notSettable);
        QCOMPARE(m_readOnly->toPlainText(), before);
    }

    void aWidgetGoneIsAnInvalidElement()
    {
        auto* extra = new QLineEdit(QStringLiteral("going"), m_window.get());
        m_window->layout()->addWidget(extra);
        QTRY_VERIFY(extra->isVisible() && !extra->visibleRegion().isEmpty());
        const auto element = elementOf(extra);
        QVERIFY(element);
        QCOMPARE(m_ax->stringAttribute(*element, value).value_or(failed), QStringLiteral("going"));
        delete extra;
        QCOMPARE(m_ax->stringAttribute(*element, value).error(), Accessibility::Failure::invalidElement);
        QCOMPARE(m_ax->setStringAttribute(*element, value, QStringLiteral("x")).error(), Accessibility::Failure::invalidElement);
    }
};

QTEST_MAIN(tst_InProcessAccessibility)
#include "tst_InProcessAccessibility.moc"
