#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QVBoxLayout;

// The segmented switcher above the sub-pages of the Finder and Selection tabs: one segment per
// page, in the order given, showing exactly the text it is given. It keeps no page of its own:
// the embedding page owns the choice and shows the matching sub-page.
class SubPagePicker : public QWidget {
    Q_OBJECT
public:
    SubPagePicker(const QStringList& titles, int current, QWidget* parent = nullptr);

    // Builds the picker over a page enumeration's cases, in their order.
    template <typename Page, typename Cases>
    static SubPagePicker* make(const Cases& cases, Page current, const std::function<QString(Page)>& title,
                               QWidget* parent)
    {
        QStringList titles;
        int index = 0;
        for (int i = 0; i < int(std::size(cases)); ++i) {
            titles << title(cases[size_t(i)]);
            if (cases[size_t(i)] == current)
                index = i;
        }
        return new SubPagePicker(titles, index, parent);
    }

    int current() const;
    void setCurrent(int index);
    int count() const;
    QAbstractButton* segment(int index) const;

signals:
    void pageChosen(int index);

private:
    QButtonGroup* m_group;
};

// A tab with sub-pages: the picker above the chosen sub-page. A sub-page is built afresh each time
// it is chosen, so it keeps nothing between visits. The embedding tab shows its first sub-page by
// calling setPageIndex(0) once it is ready to build it.
class SubPageHost : public QWidget {
    Q_OBJECT
public:
    // `build` makes the sub-page of an index; null stands for a sub-page this build lacks.
    SubPageHost(const QStringList& titles, std::function<QWidget*(int index, QWidget* parent)> build, QWidget* parent);

    int pageIndex() const { return m_index; }
    void setPageIndex(int index);
    SubPagePicker* picker() const { return m_picker; }
    QWidget* currentPage() const { return m_current; }

private:
    std::function<QWidget*(int, QWidget*)> m_build;
    int m_index = -1;
    SubPagePicker* m_picker = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_current = nullptr;
};
