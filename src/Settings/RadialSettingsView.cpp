#include "Settings/RadialSettingsView.h"

#include "Platform/Desktop/DesktopEntry.h"
#include "Settings/ScrollControls.h"
#include "Settings/SettingsForm.h"
#include "ViewStyle/ViewStyle.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace SettingsForm;

namespace {

const QString pinnedMime = QStringLiteral("application/x-ambrel-pinned-row");

QStringList pickApplications(QWidget* parent, const QString& titleKey)
{
    return QFileDialog::getOpenFileNames(parent, text(titleKey), QStringLiteral("/usr/share/applications"),
                                         QStringLiteral("%1 (*.desktop)").arg(text(QStringLiteral("settings.scroll.apps.chooser"))));
}

// An application's identifier is its desktop entry's name without ".desktop"; its name the
// entry's Name. None for anything that is not a readable entry.
std::optional<RadialItem> applicationAt(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.suffix() != u"desktop" || info.completeBaseName().isEmpty())
        return std::nullopt;
    const auto group = DesktopEntry::readGroup(path);
    if (!group)
        return std::nullopt;
    QString name = DesktopEntry::unescapeValue(group->value(QStringLiteral("Name"))).trimmed();
    if (name.isEmpty())
        name = info.completeBaseName();
    return RadialItem{info.completeBaseName(), name, false};
}

QLabel* makeIconLabel(const QIcon& icon, bool* placeholder, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedSize(18, 18);
    *placeholder = icon.isNull();
    // Without an icon the style's stands in, dimmed, so that the names stay aligned.
    const QIcon shown = icon.isNull() ? parent->style()->standardIcon(QStyle::SP_FileIcon) : icon;
    label->setPixmap(shown.pixmap(18, 18, icon.isNull() ? QIcon::Disabled : QIcon::Normal));
    return label;
}

QToolButton* makeRemoveButton(const QString& key, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(key);
    button->setAutoRaise(true);
    button->setToolTip(text(key));
    button->setAccessibleName(text(key));
    const QIcon icon = QIcon::fromTheme(QStringLiteral("list-remove"));
    if (icon.isNull())
        button->setText(QStringLiteral("\u2212"));
    else
        button->setIcon(icon);
    return button;
}

QLabel* detailLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    label->setFont(font);
    return label;
}

QHBoxLayout* labelled(const QString& key, QWidget* control, QVBoxLayout* body, QWidget* parent, QLabel** label = nullptr)
{
    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(text(key), parent);
    row->addWidget(caption);
    row->addWidget(control, 1);
    body->addLayout(row);
    if (label)
        *label = caption;
    return row;
}

// The pinned list accepts its own rows dropped between the others.
class PinnedArea : public QWidget {
public:
    PinnedArea(RadialSettingsView* page, QWidget* parent) : QWidget(parent), m_page(page) { setAcceptDrops(true); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasFormat(pinnedMime))
            event->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        const int from = event->mimeData()->data(pinnedMime).toInt();
        const auto rows = m_page->pinnedRows();
        qsizetype to = rows.size();
        for (auto* row : rows)
            if (event->position().y() < row->geometry().center().y()) {
                to = row->index();
                break;
            }
        event->acceptProposedAction();
        m_page->movePinned({from}, to);
    }

private:
    RadialSettingsView* m_page;
};

} // namespace

RadialSettingsView::RadialSettingsView(Model& model, Environment environment, QWidget* parent)
    : QScrollArea(parent), m_model(model), m_environment(std::move(environment))
{
    if (!m_environment.chooseApplications)
        m_environment.chooseApplications = pickApplications;
    setObjectName(QStringLiteral("RadialSettingsView"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(this);
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(20, 16, 20, 16);
    auto change = [this](auto edit) {
        return [this, edit](auto value) {
            RadialSettings s = m_model.radialSettings();
            edit(s, value);
            write(s);
        };
    };

    // 1: the switch
    auto* body = addSection(page, {}, QStringLiteral("settings.radial.enable.hint"));
    m_enable = new QCheckBox(text(QStringLiteral("settings.radial.enable")), content);
    m_enable->setObjectName(QStringLiteral("settings.radial.enable"));
    body->addWidget(m_enable);
    m_failure = makeWarningLabel(content);
    body->addWidget(m_failure);
    connect(m_enable, &QCheckBox::toggled, this, change([](RadialSettings& s, bool on) { s.isEnabled = on; }));

    // 2: the ring
    body = addSection(page, {}, {}, headerLabel(QStringLiteral("settings.radial.shape.section"), content));
    auto* segments = new QWidget(content);
    auto* segmentRow = new QHBoxLayout(segments);
    segmentRow->setContentsMargins(0, 0, 0, 0);
    segmentRow->setSpacing(0);
    m_shape = new QButtonGroup(this);
    m_shape->setExclusive(true);
    for (RadialShape shape : radialShapeCases) {
        auto* button = new QPushButton(text(titleKey(shape)), segments);
        button->setObjectName(toRaw(shape));
        button->setCheckable(true);
        segmentRow->addWidget(button);
        m_shape->addButton(button, int(shape));
    }
    segmentRow->addStretch(1);
    labelled(QStringLiteral("settings.radial.shape"), segments, body, content);
    connect(m_shape, &QButtonGroup::idClicked, this,
            change([](RadialSettings& s, int id) { s.shape = RadialShape(id); }));
    m_shapeDetail = detailLabel(content);
    body->addWidget(m_shapeDetail);

    m_confirm = new QComboBox(content);
    m_confirm->setObjectName(QStringLiteral("settings.radial.confirm"));
    for (RadialConfirmation c : radialConfirmationCases)
        m_confirm->addItem(text(titleKey(c)), int(c));
    labelled(QStringLiteral("settings.radial.confirm"), m_confirm, body, content);
    connect(m_confirm, &QComboBox::activated, this, [this, change](int index) {
        change([](RadialSettings& s, int c) { s.confirmation = RadialConfirmation(c); })(m_confirm->itemData(index).toInt());
    });
    m_confirmDetail = detailLabel(content);
    body->addWidget(m_confirmDetail);

    m_cancelItem = new QCheckBox(text(QStringLiteral("settings.radial.cancelItem")), content);
    m_cancelItem->setObjectName(QStringLiteral("settings.radial.cancelItem"));
    body->addWidget(m_cancelItem);
    connect(m_cancelItem, &QCheckBox::toggled, this,
            change([](RadialSettings& s, bool on) { s.hasCancelItem = on; }));

    m_visible = new QSpinBox(content);
    m_visible->setObjectName(QStringLiteral("settings.radial.visibleCount"));
    m_visible->setRange(RadialSettings::visibleRange.lower, RadialSettings::visibleRange.upper);
    m_visible->setSingleStep(1);
    m_visible->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    {
        auto* row = new QHBoxLayout;
        m_visibleLabel = new QLabel(content);
        row->addWidget(m_visibleLabel, 1);
        row->addWidget(m_visible);
        body->addLayout(row);
    }
    connect(m_visible, &QSpinBox::valueChanged, this, change([](RadialSettings& s, int n) { s.visibleCount = n; }));

    m_radius = new QSlider(Qt::Horizontal, content);
    m_radius->setObjectName(QStringLiteral("settings.radial.radius"));
    m_radius->setRange(int(RadialSettings::radiusRange.lower * radiusScale), int(RadialSettings::radiusRange.upper * radiusScale));
    labelled(QStringLiteral("settings.radial.radius"), m_radius, body, content);
    connect(m_radius, &QSlider::valueChanged, this,
            change([](RadialSettings& s, int v) { s.radius = double(v) / radiusScale; }));

    // 3: the items
    body = addSection(page, {}, QStringLiteral("settings.radial.items.hint"),
                      headerLabel(QStringLiteral("settings.radial.items"), content));
    m_fill = new QCheckBox(text(QStringLiteral("settings.radial.fillFromRecent")), content);
    m_fill->setObjectName(QStringLiteral("settings.radial.fillFromRecent"));
    body->addWidget(m_fill);
    connect(m_fill, &QCheckBox::toggled, this, change([](RadialSettings& s, bool on) { s.fillsFromRecentApps = on; }));
    m_source = new QComboBox(content);
    m_source->setObjectName(QStringLiteral("settings.radial.source"));
    for (RadialSource source : radialSourceCases)
        m_source->addItem(text(titleKey(source)), int(source));
    labelled(QStringLiteral("settings.radial.source"), m_source, body, content, &m_sourceLabel);
    connect(m_source, &QComboBox::activated, this, [this, change](int index) {
        change([](RadialSettings& s, int c) { s.source = RadialSource(c); })(m_source->itemData(index).toInt());
    });
    m_sourceDetail = detailLabel(content);
    body->addWidget(m_sourceDetail);
    auto* pinnedArea = new PinnedArea(this, content);
    m_pinnedLayout = new QVBoxLayout(pinnedArea);
    m_pinnedLayout->setContentsMargins(0, 0, 0, 0);
    m_pinnedLayout->setSpacing(2);
    body->addWidget(pinnedArea);
    m_addPinned = new QPushButton(text(QStringLiteral("settings.radial.pinned.add")), content);
    m_addPinned->setObjectName(QStringLiteral("settings.radial.pinned.add"));
    body->addWidget(m_addPinned, 0, Qt::AlignLeft);
    connect(m_addPinned, &QPushButton::clicked, this, [this] {
        addPinned(m_environment.chooseApplications(this, QStringLiteral("settings.radial.pinned.add")));
    });

    // 4: applications left alone
    m_excludedLayout = addSection(page, {}, QStringLiteral("settings.radial.excluded.hint"),
                                  headerLabel(QStringLiteral("settings.radial.excluded"), content));
    m_addExcluded = new QPushButton(text(QStringLiteral("settings.radial.excluded.add")), content);
    m_addExcluded->setObjectName(QStringLiteral("settings.radial.excluded.add"));
    connect(m_addExcluded, &QPushButton::clicked, this, [this] {
        addExcluded(m_environment.chooseApplications(this, QStringLiteral("settings.radial.excluded.add")));
    });

    // 5: the hold time, tucked away
    body = addSection(page, {}, QStringLiteral("settings.radial.hold.hint"));
    m_advanced = ViewStyle::disclosure(text(QStringLiteral("settings.radial.advanced")), content);
    m_advanced->setObjectName(QStringLiteral("settings.radial.advanced"));
    body->addWidget(m_advanced, 0, Qt::AlignLeft);
    auto* advancedBox = new QWidget(content);
    auto* advanced = new QVBoxLayout(advancedBox);
    advanced->setContentsMargins(0, 0, 0, 0);
    m_hold = new QSlider(Qt::Horizontal, advancedBox);
    m_hold->setObjectName(QStringLiteral("settings.radial.hold"));
    m_hold->setRange(int(RadialSettings::holdRange.lower * holdScale), int(RadialSettings::holdRange.upper * holdScale));
    labelled(QStringLiteral("settings.radial.hold"), m_hold, advanced, advancedBox);
    advancedBox->hide();
    body->addWidget(advancedBox);
    connect(m_advanced, &QToolButton::toggled, advancedBox, &QWidget::setVisible);
    connect(m_hold, &QSlider::valueChanged, this,
            change([](RadialSettings& s, int v) { s.holdThreshold = double(v) / holdScale; }));

    page->addStretch(1);
    setWidget(content);
    refresh();
}

void RadialSettingsView::write(const RadialSettings& settings)
{
    m_model.setRadialSettings(settings);
    refresh();
}

void RadialSettingsView::addPinned(const QStringList& paths)
{
    for (const QString& path : paths) {
        const auto item = applicationAt(path);
        if (!item)
            continue;
        RadialSettings s = m_model.radialSettings();
        s.pin(*item);
        write(s);
    }
}

void RadialSettingsView::addExcluded(const QStringList& paths)
{
    for (const QString& path : paths) {
        const auto item = applicationAt(path);
        if (!item)
            continue;
        RadialSettings s = m_model.radialSettings();
        s.exclude(item->bundleIdentifier);
        write(s);
    }
}

void RadialSettingsView::movePinned(const std::set<qsizetype>& sources, qsizetype destination)
{
    RadialSettings s = m_model.radialSettings();
    s.movePinned(sources, destination);
    write(s);
}

void RadialSettingsView::refresh()
{
    const RadialSettings& s = m_model.radialSettings();
    {
        const QSignalBlocker b1(m_enable), b2(m_cancelItem), b3(m_visible), b4(m_radius), b5(m_fill), b6(m_hold);
        m_enable->setChecked(s.isEnabled);
        if (auto* button = m_shape->button(int(s.shape)))
            button->setChecked(true);
        m_confirm->setCurrentIndex(m_confirm->findData(int(s.confirmation)));
        m_source->setCurrentIndex(m_source->findData(int(s.source)));
        m_cancelItem->setChecked(s.hasCancelItem);
        m_visible->setValue(s.visibleCount);
        m_radius->setValue(int(std::lround(s.radius * radiusScale)));
        m_fill->setChecked(s.fillsFromRecentApps);
        m_hold->setValue(int(std::lround(s.holdThreshold * holdScale)));
    }
    m_shapeDetail->setText(text(detailKey(s.shape)));
    m_confirmDetail->setText(text(detailKey(s.confirmation)));
    m_sourceDetail->setText(text(detailKey(s.source)));
    m_visibleLabel->setText(text(QStringLiteral("settings.radial.visibleCount")).arg(s.visibleCount));
    m_source->setVisible(s.fillsFromRecentApps);
    m_sourceLabel->setVisible(s.fillsFromRecentApps);
    m_sourceDetail->setVisible(s.fillsFromRecentApps);

    const auto failure = m_model.radialStartFailure();
    if (s.isEnabled && failure)
        setWarning(m_failure, text(*failure == Platform::EventTaps::StartFailure::notPermitted
                                       ? QStringLiteral("settings.radial.needsAccessibility")
                                       : QStringLiteral("settings.radial.unavailable")));
    else
        setWarning(m_failure, {});

    if (const QString signature = listsSignature(); signature != m_signature || m_signature.isEmpty()) {
        m_signature = signature;
        rebuildLists();
    }
}

QString RadialSettingsView::listsSignature() const
{
    QStringList parts{QStringLiteral("lists")};
    for (const auto& item : m_model.radialSettings().pinned)
        parts << item.bundleIdentifier + u'|' + item.name;
    parts << QStringLiteral("--");
    for (const auto& app : m_model.radialExcludedApps())
        parts << app.bundleIdentifier + u'|' + app.name + u'|' + QString::number(app.isInstalled);
    return parts.join(u'\n');
}

void RadialSettingsView::rebuildLists()
{
    // The old rows may be the ones whose click got us here: let them go once it has returned.
    auto drop = [](QWidget* w) {
        if (w) {
            w->hide();
            w->deleteLater();
        }
    };
    for (auto* row : std::as_const(m_pinnedRows))
        drop(row);
    for (auto* row : std::as_const(m_excludedRows))
        drop(row);
    drop(m_noPinned);
    drop(m_notInstalledToggle);
    drop(m_notInstalledBox);
    m_pinnedRows.clear();
    m_excludedRows.clear();
    m_noPinned = nullptr;
    m_notInstalledToggle = nullptr;
    m_notInstalledBox = nullptr;

    auto changed = [this] { refresh(); };
    QWidget* pinnedParent = m_pinnedLayout->parentWidget();
    const auto& pinned = m_model.radialSettings().pinned;
    if (pinned.isEmpty()) {
        m_noPinned = new QLabel(text(QStringLiteral("settings.radial.pinned.none")), pinnedParent);
        m_noPinned->setForegroundRole(QPalette::PlaceholderText);
        m_pinnedLayout->addWidget(m_noPinned);
    }
    for (int i = 0; i < pinned.size(); ++i) {
        auto* row = new PinnedRow(m_model, pinned[i], i, changed, pinnedParent);
        m_pinnedRows << row;
        m_pinnedLayout->addWidget(row);
    }

    QWidget* parent = m_addExcluded->parentWidget();
    m_excludedLayout->removeWidget(m_addExcluded);
    QList<RadialAppEntry> missing;
    for (const auto& app : m_model.radialExcludedApps()) {
        if (!app.isInstalled) {
            missing << app;
            continue;
        }
        auto* row = new ExcludedRow(m_model, app, changed, parent);
        m_excludedRows << row;
        m_excludedLayout->addWidget(row);
    }
    if (!missing.isEmpty()) {
        m_notInstalledToggle =
            ViewStyle::disclosure(text(QStringLiteral("settings.radial.excluded.notInstalled")).arg(missing.size()), parent);
        m_notInstalledToggle->setObjectName(QStringLiteral("settings.radial.excluded.notInstalled"));
        m_notInstalledToggle->setForegroundRole(QPalette::PlaceholderText);
        m_notInstalledBox = new QWidget(parent);
        auto* box = new QVBoxLayout(m_notInstalledBox);
        box->setContentsMargins(0, 0, 0, 0);
        for (const auto& app : missing) {
            auto* row = new ExcludedRow(m_model, app, changed, m_notInstalledBox);
            m_excludedRows << row;
            box->addWidget(row);
        }
        m_notInstalledBox->setVisible(m_notInstalledOpen);
        m_notInstalledToggle->setChecked(m_notInstalledOpen);
        connect(m_notInstalledToggle, &QToolButton::toggled, this, [this](bool open) {
            m_notInstalledOpen = open;
            m_notInstalledBox->setVisible(open);
        });
        m_excludedLayout->addWidget(m_notInstalledToggle, 0, Qt::AlignLeft);
        m_excludedLayout->addWidget(m_notInstalledBox);
    }
    m_excludedLayout->addWidget(m_addExcluded, 0, Qt::AlignLeft);
}

PinnedRow::PinnedRow(RadialSettingsView::Model& model, RadialItem item, int index, std::function<void()> changed,
                     QWidget* parent)
    : QWidget(parent), m_item(std::move(item)), m_index(index)
{
    setObjectName(m_item.bundleIdentifier);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(8);
    m_icon = makeIconLabel(model.applicationIcon(m_item.bundleIdentifier), &m_placeholder, this);
    row->addWidget(m_icon);
    row->addWidget(new QLabel(m_item.name, this));
    row->addStretch(1);
    m_remove = makeRemoveButton(QStringLiteral("settings.radial.pinned.remove"), this);
    row->addWidget(m_remove);
    setCursor(Qt::OpenHandCursor);
    connect(m_remove, &QToolButton::clicked, this, [&model, id = m_item.bundleIdentifier, changed] {
        RadialSettings s = model.radialSettings();
        s.remove(id);
        model.setRadialSettings(s);
        changed();
    });
}

void PinnedRow::mousePressEvent(QMouseEvent* event)
{
    m_pressedAt = event->position().toPoint();
    QWidget::mousePressEvent(event);
}

void PinnedRow::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)
        || (event->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(pinnedMime, QByteArray::number(m_index));
    drag->setMimeData(mime);
    drag->setPixmap(grab());
    drag->exec(Qt::MoveAction);
}

ExcludedRow::ExcludedRow(RadialSettingsView::Model& model, RadialAppEntry app, std::function<void()> changed,
                         QWidget* parent)
    : QWidget(parent), m_app(std::move(app))
{
    setObjectName(m_app.bundleIdentifier);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(8);
    bool placeholder = false;
    row->addWidget(makeIconLabel(m_app.icon, &placeholder, this));
    m_name = new QLabel(m_app.name, this);
    if (!m_app.isInstalled)
        m_name->setForegroundRole(QPalette::PlaceholderText);
    row->addWidget(m_name);
    row->addStretch(1);
    m_remove = makeRemoveButton(QStringLiteral("settings.radial.excluded.remove"), this);
    row->addWidget(m_remove);
    connect(m_remove, &QToolButton::clicked, this, [&model, id = m_app.bundleIdentifier, changed] {
        RadialSettings s = model.radialSettings();
        s.stopExcluding(id);
        model.setRadialSettings(s);
        changed();
    });
}
