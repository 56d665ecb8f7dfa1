#pragma once

#include "Platform/Pasteboard.h"

#include <QHash>

namespace Platform {

class SimulatedPasteboard final : public Pasteboard {
public:
    qint64 changeCount() const override { return m_changeCount; }
    QList<PasteboardItem> items() const override { return m_items; }
    qint64 writeItems(const QList<PasteboardItem>& items) override;

    // Script: a pasteboard that refuses every write keeps its contents and change count.
    void setRefusesWrites(bool refuses) { m_refuses = refuses; }

private:
    QList<PasteboardItem> m_items;
    qint64 m_changeCount = 0;
    bool m_refuses = false;
};

class SimulatedPasteboards final : public Pasteboards {
public:
    std::shared_ptr<Pasteboard> general() override;
    std::shared_ptr<Pasteboard> named(const QString& name) override;

private:
    std::shared_ptr<Pasteboard> m_general;
    QHash<QString, std::shared_ptr<Pasteboard>> m_named;
};

} // namespace Platform
