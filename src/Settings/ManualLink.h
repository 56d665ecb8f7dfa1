#pragma once

#include <QToolButton>
#include <QUrl>

#include <optional>

// A small help button beside a section title that opens the manual's chapter on the product web
// site, in the interface language's edition.
class ManualLink : public QToolButton {
    Q_OBJECT
public:
    enum class Topic { permissions, finder, selection, scroll, ai };

    explicit ManualLink(Topic topic, QWidget* parent = nullptr);
    Topic topic() const { return m_topic; }

    static QString toRaw(Topic topic);
    static std::optional<Topic> fromRaw(const QString& raw);
    // Worked out at each click, so that a change of the interface language applies at once.
    static QUrl url(Topic topic);

private:
    Topic m_topic;
};
