#include "Settings/SubPagePicker.h"

#include "Settings/SettingsStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

SubPagePicker::SubPagePicker(const QStringList& titles, int current, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("SubPagePicker"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(20, 12, 20, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    for (int i = 0; i < titles.size(); ++i) {
        auto* segment = new QPushButton(titles[i], this);
        segment->setCheckable(true);
        segment->setObjectName(QStringLiteral("segment%1").arg(i));
        segment->setCursor(Qt::PointingHandCursor);
        // Joined segments: only the outer ends are rounded.
        const bool first = i == 0;
        const bool last = i == titles.size() - 1;
        segment->setStyleSheet(
            QStringLiteral("QPushButton { border: 1px solid palette(mid); %1 padding: 4px 16px; background: palette(button);"
                           " border-top-left-radius: %2px; border-bottom-left-radius: %2px;"
                           " border-top-right-radius: %3px; border-bottom-right-radius: %3px; }"
                           "QPushButton:checked { background: palette(highlight); color: palette(highlighted-text);"
                           " border-color: palette(highlight); }")
                .arg(first ? QString() : QStringLiteral("border-left: none;"))
                .arg(first ? 6 : 0)
                .arg(last ? 6 : 0));
        m_group->addButton(segment, i);
        layout->addWidget(segment);
    }
    layout->addStretch(1);
    m_group->setExclusive(true);
    setCurrent(current);
    connect(m_group, &QButtonGroup::idClicked, this, &SubPagePicker::pageChosen);
}

int SubPagePicker::current() const
{
    return m_group->checkedId();
}

void SubPagePicker::setCurrent(int index)
{
    if (QAbstractButton* b = m_group->button(index))
        b->setChecked(true);
}

int SubPagePicker::count() const
{
    return int(m_group->buttons().size());
}

QAbstractButton* SubPagePicker::segment(int index) const
{
    return m_group->button(index);
}

SubPageHost::SubPageHost(const QStringList& titles, std::function<QWidget*(int, QWidget*)> build, QWidget* parent)
    : QWidget(parent), m_build(std::move(build))
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_picker = new SubPagePicker(titles, 0, this);
    m_layout->addWidget(m_picker);
    connect(m_picker, &SubPagePicker::pageChosen, this, &SubPageHost::setPageIndex);
}

void SubPageHost::setPageIndex(int index)
{
    m_picker->setCurrent(index);
    if (index == m_index)
        return;
    m_index = index;
    QWidget* next = m_build(index, this);
    if (!next)
        next = SettingsStyle::unavailable(this);
    if (m_current) {
        delete m_layout->replaceWidget(m_current, next); // the layout's item of the old page
        delete m_current;
    } else {
        m_layout->addWidget(next, 1);
    }
    m_current = next;
}
