#pragma once

#include "Selection/AIRun.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The card that shows an AI or script run: a header with its title and a spinner while it runs,
// the output (scrolling once it is long) or the failure, and the buttons Replace, Append, Copy,
// Retry and Close. It follows every change of the run and does nothing itself: each button calls
// the function it was given.
class AIResultView : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> onReplace;
        std::function<void()> onAppend;
        std::function<void()> onCopy;
        std::function<void()> onRetry;
        std::function<void()> onClose;
    };
    using Lookup = std::function<QString(const QString& key)>;

    // Outputs longer than this many user-perceived characters scroll.
    static constexpr qsizetype inlineLimit = 320;
    // At most this many UTF-16 units of an output are laid out, then an ellipsis: a card cannot
    // show more, and laying out megabytes of wrapped text would stall the whole application. The
    // run keeps the whole output for Copy, Replace and Append.
    static constexpr qsizetype displayLimit = 64 * 1024;
    // What the card shows of an output: all of it, or its first characters up to the limit and
    // an ellipsis (never cutting a character in two).
    static QString shownText(const QString& output);

    // `failureText` turns a failure key into its text.
    AIResultView(AIRun* run, bool canReplace, Actions actions, Lookup failureText, QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    // What is shown now, for tests and accessibility.
    bool isSpinnerShown() const;
    bool isScrolling() const;
    QString inlineText() const;   // what the short form holds
    QString scrolledText() const; // what the scrolling form holds
    QPushButton* button(const QString& name) const; // "replace", "append", "copy", "retry", "close"

private:
    void refresh();
    void showScrolled(const QString& text);

    QPointer<AIRun> m_run;
    bool m_canReplace = false;
    Lookup m_failureText;
    QWidget* m_spinner = nullptr;
    QWidget* m_inline = nullptr; // the short form, at its full height
    QPlainTextEdit* m_scroll = nullptr;
    QString m_scrolledText; // what m_scroll was given, to tell an addition from a new text
    QWidget* m_failure = nullptr;
    QLabel* m_failureLabel = nullptr;
    QPushButton* m_replace = nullptr;
    QPushButton* m_append = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_retry = nullptr;
    QPushButton* m_close = nullptr;
};
