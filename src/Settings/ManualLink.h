#pragma once

#include <QToolButton>
#include <QUrl>

// A small help button beside a section title that opens the manual's chapter on the product web
// site, in the interface language's edition.
class ManualLink : public QToolButton {
    Q_OBJECT
public:
    enum class Topic { permissions, finder, selection, scroll, ai };

    explicit ManualLink(Topic topic, QWidget* parent = nullptr);
    Topic topic() const { return m_topic; }

    static QString toRaw(Topic topic);
    static QUrl url(Topic topic);
    static inline const QString siteRoot = QStringLiteral("https://corvish.app");

private:
    Topic m_topic;
};
