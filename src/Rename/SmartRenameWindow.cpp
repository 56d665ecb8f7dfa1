#include "Rename/SmartRenameWindow.h"

#include "AI/WidgetStyle.h"
#include "Rename/RenameStrings.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

namespace {

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QWidget* statusLine(const QString& text, WidgetStyle::Status status, const QString& objectName, QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setObjectName(objectName);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(row);
    auto* label = new QLabel(row);
    label->setObjectName(objectName + QStringLiteral("Text"));
    label->setWordWrap(true);
    WidgetStyle::setStatus(icon, label, text, status);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    return row;
}

void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        if (QLayout* l = item->layout())
            clear(l);
        delete item;
    }
}

} // namespace

SmartRenameRow::SmartRenameRow(const SmartRename::Candidate& candidate, std::function<void()> onToggle, QWidget* parent)
    : QWidget(parent)
    , m_onToggle(std::move(onToggle))
{
    setObjectName(QStringLiteral("row:") + candidate.originalName());
    setCursor(Qt::PointingHandCursor);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 6, 4, 6);
    layout->setSpacing(10);

    auto* box = new QLabel(this);
    box->setObjectName(QStringLiteral("checkBox"));
    box->setProperty("checked", candidate.isSelected);
    QStyleOptionButton option;
    option.state = (candidate.isSelected ? QStyle::State_On : QStyle::State_Off)
        | (candidate.problemKey ? QStyle::State_None : QStyle::State_Enabled);
    option.rect = QRect(0, 0, 16, 16);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, this);
    painter.end();
    box->setPixmap(pixmap);
    layout->addWidget(box);

    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    auto* original = new QLabel(candidate.originalName(), this);
    original->setObjectName(QStringLiteral("original"));
    QFont font = WidgetStyle::calloutFont();
    font.setStrikeOut(candidate.isApplicable());
    original->setFont(font);
    original->setForegroundRole(QPalette::PlaceholderText);
    names->addWidget(original);
    if (candidate.problemKey) {
        QWidget* problem = statusLine(RenameStrings::string(*candidate.problemKey), WidgetStyle::Status::problem,
                                      QStringLiteral("problem"), this);
        problem->findChild<QLabel*>(QStringLiteral("problemText"))->setFont(WidgetStyle::captionFont());
        names->addWidget(problem);
    } else {
        auto* resulting = new QLabel(candidate.resultingName(), this);
        resulting->setObjectName(QStringLiteral("resulting"));
        QFont medium = WidgetStyle::calloutFont();
        medium.setWeight(QFont::Medium);
        resulting->setFont(medium);
        names->addWidget(resulting);
    }
    layout->addLayout(names, 1);
}

void SmartRenameRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_onToggle)
        m_onToggle();
    QWidget::mouseReleaseEvent(event);
}

SmartRenameView::SmartRenameView(SmartRenameModel& model, std::function<void()> onClose, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_onClose(std::move(onClose))
{
    setObjectName(QStringLiteral("smartRenameView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(WidgetStyle::symbol(QStringLiteral("sparkles")).pixmap(18, 18));
    auto* title = new QLabel(RenameStrings::string(QStringLiteral("rename.title")), this);
    QFont headline = title->font();
    headline.setWeight(QFont::DemiBold);
    title->setFont(headline);
    auto* spinner = new QProgressBar(this);
    spinner->setObjectName(QStringLiteral("spinner"));
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(60, 8);
    m_spinner = spinner;
    header->addWidget(icon);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(spinner);
    layout->addLayout(header);

    m_content = new QVBoxLayout;
    layout->addLayout(m_content, 1);
    layout->addWidget(divider(this));
    m_footer = new QWidget(this);
    layout->addWidget(m_footer);

    connect(&m_model, &SmartRenameModel::phaseChanged, this, &SmartRenameView::rebuild);
    connect(&m_model, &SmartRenameModel::candidatesChanged, this, &SmartRenameView::rebuild);
    connect(&m_model, &SmartRenameModel::canUndoChanged, this, &SmartRenameView::rebuild);
    rebuild();
}

void SmartRenameView::rebuild()
{
    using Kind = SmartRenameModel::Phase::Kind;
    const SmartRenameModel::Phase& phase = m_model.phase();
    m_spinner->setVisible(phase.kind == Kind::thinking);

    clear(m_content);
    if (phase.kind == Kind::failed) {
        m_content->addWidget(statusLine(RenameStrings::string(phase.messageKey), WidgetStyle::Status::problem,
                                        QStringLiteral("failure"), this));
        m_content->addStretch();
    } else if (phase.kind == Kind::applied) {
        // One, many and none read differently; nothing renamed is no success to mark.
        const QString done = phase.renamed == 0 ? RenameStrings::string(QStringLiteral("rename.done.none"))
            : phase.renamed == 1               ? RenameStrings::string(QStringLiteral("rename.done.one"))
                                               : RenameStrings::string(QStringLiteral("rename.done")).arg(phase.renamed);
        m_content->addWidget(statusLine(done, phase.renamed > 0 ? WidgetStyle::Status::success : WidgetStyle::Status::note,
                                        QStringLiteral("done"), this));
        if (phase.failed > 0)
            m_content->addWidget(statusLine(phase.failed == 1
                                                ? RenameStrings::string(QStringLiteral("rename.failedCount.one"))
                                                : RenameStrings::string(QStringLiteral("rename.failedCount")).arg(phase.failed),
                                            WidgetStyle::Status::problem, QStringLiteral("failedCount"), this));
        m_content->addStretch();
    } else {
        auto* scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("list"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* list = new QWidget(scroll);
        auto* rows = new QVBoxLayout(list);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(0);
        for (const SmartRename::Candidate& candidate : m_model.candidates()) {
            rows->addWidget(new SmartRenameRow(candidate, [this, candidate] { m_model.toggle(candidate); }, list));
            rows->addWidget(divider(list));
        }
        rows->addStretch();
        scroll->setWidget(list);
        m_content->addWidget(scroll);
    }

    delete m_footer->layout();
    for (QWidget* child : m_footer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->deleteLater();
    auto* footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(0, 0, 0, 0);
    if (phase.kind == Kind::applied) {
        if (m_model.canUndo()) {
            auto* undo = new QPushButton(RenameStrings::string(QStringLiteral("rename.undo")), m_footer);
            undo->setObjectName(QStringLiteral("undo"));
            connect(undo, &QPushButton::clicked, this, [this] {
                m_model.undo();
                if (m_onClose)
                    m_onClose();
            });
            footer->addWidget(undo);
        }
        footer->addStretch();
        auto* close = new QPushButton(RenameStrings::string(QStringLiteral("rename.close")), m_footer);
        close->setObjectName(QStringLiteral("close"));
        close->setDefault(true);
        connect(close, &QPushButton::clicked, this, [this] {
            if (m_onClose)
                m_onClose();
        });
        footer->addWidget(close);
    } else {
        auto* count = new QLabel(RenameStrings::string(QStringLiteral("rename.selectedCount")).arg(m_model.selectedCount()),
                                 m_footer);
        count->setObjectName(QStringLiteral("selectedCount"));
        count->setFont(WidgetStyle::calloutFont());
        count->setForegroundRole(QPalette::PlaceholderText);
        footer->addWidget(count);
        footer->addStretch();
        auto* cancel = new QPushButton(RenameStrings::string(QStringLiteral("rename.cancel")), m_footer);
        cancel->setObjectName(QStringLiteral("cancel"));
        connect(cancel, &QPushButton::clicked, this, [this] {
            if (m_onClose)
                m_onClose();
        });
        auto* apply = new QPushButton(RenameStrings::string(QStringLiteral("rename.apply")), m_footer);
        apply->setObjectName(QStringLiteral("apply"));
        apply->setDefault(true);
        apply->setEnabled(phase.kind == Kind::ready && m_model.selectedCount() > 0);
        connect(apply, &QPushButton::clicked, this, [this] { m_model.apply(); });
        footer->addWidget(cancel);
        footer->addWidget(apply);
    }
}

SmartRenameWindow::SmartRenameWindow(std::shared_ptr<FileOperations> files, QObject* parent)
    : QObject(parent)
    , m_files(std::move(files))
{
}

SmartRenameWindow::~SmartRenameWindow()
{
    delete m_window;
}

void SmartRenameWindow::present(const QList<QUrl>& urls, AIViewModel& ai)
{
    close();
    m_model = std::make_shared<SmartRenameModel>(urls, ai, m_files);
    m_window = new QDialog;
    m_window->setObjectName(QStringLiteral("smartRenameWindow"));
    m_window->setWindowTitle(RenameStrings::string(QStringLiteral("rename.title")));
    m_window->setFixedSize(560, 420);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<SmartRenameWindow> self(this);
    layout->addWidget(new SmartRenameView(*m_model, [self] {
        if (self)
            self->close();
    }, m_window));
    if (const QScreen* screen = QApplication::primaryScreen())
        m_window->move(screen->availableGeometry().center() - m_window->rect().center());
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_model->start();
}

void SmartRenameWindow::close()
{
    if (m_window) {
        m_window->hide();
        // The window may be closing from one of its own buttons.
        m_window->deleteLater();
        m_window = nullptr;
    }
    m_model.reset();
}
