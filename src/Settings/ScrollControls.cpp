#include "Settings/ScrollControls.h"

#include "Settings/SettingsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

using SettingsForm::text;

namespace {

constexpr int sliderSteps = 1000;

QLabel* secondaryTitle(const QString& key, QWidget* parent)
{
    auto* label = new QLabel(text(key), parent);
    QFont font = label->font();
    font.setWeight(QFont::Medium);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    return label;
}

} // namespace

QLabel* makeWarningLabel(QWidget* parent, const QString& captionStyle)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("warning"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setStyleSheet(QStringLiteral("color: #c25e00;") + captionStyle);
    label->hide();
    return label;
}

void setWarning(QLabel* label, const QString& message)
{
    // The symbol stands in front of the text; the theme's warning icon where it has one.
    label->setText(QStringLiteral("\u26A0\uFE0E ") + message.toHtmlEscaped());
    label->setAccessibleName(message);
    label->setVisible(!message.isEmpty());
}

TuningSlider::TuningSlider(const QString& titleKey, Binding<double> value, ScrollTuning::Range range, QWidget* parent)
    : QWidget(parent), m_value(std::move(value)), m_range(range)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(secondaryTitle(titleKey, this));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(titleKey);
    m_slider->setRange(0, sliderSteps);
    m_slider->setAccessibleName(text(titleKey));
    layout->addWidget(m_slider);
    refresh();
    connect(m_slider, &QSlider::valueChanged, this, [this] { m_value.set(shownValue()); });
}

double TuningSlider::shownValue() const
{
    return m_range.lower + (m_range.upper - m_range.lower) * m_slider->value() / sliderSteps;
}

void TuningSlider::refresh()
{
    const double v = m_value.get();
    const double share = std::isfinite(v) ? (v - m_range.lower) / (m_range.upper - m_range.lower) : 0;
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::lround(std::clamp(share, 0.0, 1.0) * sliderSteps)));
}

TuningSliders::TuningSliders(Binding<ScrollTuning> tuning, QWidget* parent) : QWidget(parent), m_tuning(std::move(tuning))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto field = [this](double ScrollTuning::*member) {
        return Binding<double>{[this, member] { return m_tuning.get().*member; },
                               [this, member](const double& v) {
                                   ScrollTuning t = m_tuning.get();
                                   t.*member = v;
                                   m_tuning.set(t);
                               }};
    };
    m_sliders[0] = new TuningSlider(QStringLiteral("settings.scroll.step"), field(&ScrollTuning::step),
                                    ScrollTuning::stepRange, this);
    m_sliders[1] = new TuningSlider(QStringLiteral("settings.scroll.decay"), field(&ScrollTuning::decay),
                                    ScrollTuning::decayRange, this);
    m_sliders[2] = new TuningSlider(QStringLiteral("settings.scroll.duration"), field(&ScrollTuning::maximumDuration),
                                    ScrollTuning::durationRange, this);
    for (auto* slider : m_sliders)
        layout->addWidget(slider);
}

void TuningSliders::refresh()
{
    for (auto* slider : m_sliders)
        slider->refresh();
}

FeelControls::FeelControls(Binding<ScrollProfile> profile, QWidget* parent) : QWidget(parent), m_profile(std::move(profile))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    m_presets = new QButtonGroup(this);
    for (ScrollPreset preset : scrollPresetCases) {
        auto* button = new QPushButton(text(titleKey(preset)), this);
        button->setObjectName(toRaw(preset));
        button->setCheckable(true);
        button->setAccessibleDescription(text(QStringLiteral("settings.scroll.feel")));
        m_presets->addButton(button, int(preset));
        segments->addWidget(button, 1);
    }
    layout->addLayout(segments);

    m_detail = new QLabel(this);
    m_detail->setWordWrap(true);
    m_detail->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_detail);

    m_advanced = new QToolButton(this);
    m_advanced->setObjectName(QStringLiteral("settings.scroll.advanced"));
    m_advanced->setText(text(QStringLiteral("settings.scroll.advanced")));
    m_advanced->setCheckable(true);
    m_advanced->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_advanced->setArrowType(Qt::RightArrow);
    m_advanced->setAutoRaise(true);
    m_advanced->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 1px 0; }"));
    layout->addWidget(m_advanced);

    m_advancedBox = new QWidget(this);
    auto* box = new QVBoxLayout(m_advancedBox);
    box->setContentsMargins(16, 0, 0, 0);
    m_sliders = new TuningSliders({[this] { return m_profile.get().tuning(); },
                                   [this](const ScrollTuning& t) {
                                       ScrollProfile p = m_profile.get();
                                       p.customTuning = t; // the sliders' ranges bound it
                                       m_profile.set(p);
                                   }},
                                  m_advancedBox);
    box->addWidget(m_sliders);
    m_reset = new QPushButton(text(QStringLiteral("settings.scroll.reset")), m_advancedBox);
    m_reset->setObjectName(QStringLiteral("settings.scroll.reset"));
    m_reset->setFlat(true);
    m_reset->setCursor(Qt::PointingHandCursor);
    m_reset->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); text-align: left; padding: 0; }"));
    box->addWidget(m_reset, 0, Qt::AlignLeft);
    m_advancedBox->hide();
    layout->addWidget(m_advancedBox);

    connect(m_presets, &QButtonGroup::idClicked, this, [this](int id) {
        ScrollProfile p = m_profile.get();
        p.adopt(ScrollPreset(id));
        m_profile.set(p);
    });
    connect(m_advanced, &QToolButton::toggled, this, [this](bool open) {
        m_advanced->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_advancedBox->setVisible(open);
    });
    connect(m_reset, &QPushButton::clicked, this, [this] {
        ScrollProfile p = m_profile.get();
        p.customTuning.reset();
        m_profile.set(p);
    });
    refresh();
}

QAbstractButton* FeelControls::presetButton(ScrollPreset preset) const
{
    return m_presets->button(int(preset));
}

void FeelControls::refresh()
{
    const ScrollProfile p = m_profile.get();
    {
        const QSignalBlocker blocker(m_presets);
        m_presets->button(int(p.preset))->setChecked(true);
    }
    m_detail->setText(text(detailKey(p.preset)));
    m_sliders->refresh();
    m_reset->setVisible(p.customTuning.has_value());
}

AxisRow::AxisRow(const QString& titleKey, Binding<ScrollAxisSettings> axis, QWidget* parent)
    : QWidget(parent), m_axis(std::move(axis))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(secondaryTitle(titleKey, this));
    m_smooth = new QCheckBox(text(QStringLiteral("settings.scroll.axis.smooth")), this);
    m_reverse = new QCheckBox(text(QStringLiteral("settings.scroll.axis.reverse")), this);
    m_smooth->setObjectName(QStringLiteral("settings.scroll.axis.smooth"));
    m_reverse->setObjectName(QStringLiteral("settings.scroll.axis.reverse"));
    layout->addWidget(m_smooth);
    layout->addWidget(m_reverse);
    m_speed = new TuningSlider(QStringLiteral("settings.scroll.axis.speed"),
                               {[this] { return m_axis.get().speed; },
                                [this](const double& v) {
                                    auto a = m_axis.get();
                                    a.speed = v;
                                    m_axis.set(a);
                                }},
                               ScrollAxisSettings::speedRange, this);
    layout->addWidget(m_speed);
    connect(m_smooth, &QCheckBox::toggled, this, [this](bool on) {
        auto a = m_axis.get();
        a.isSmoothed = on;
        m_axis.set(a);
    });
    connect(m_reverse, &QCheckBox::toggled, this, [this](bool on) {
        auto a = m_axis.get();
        a.isReversed = on;
        m_axis.set(a);
    });
    refresh();
}

void AxisRow::refresh()
{
    const auto a = m_axis.get();
    const QSignalBlocker b1(m_smooth), b2(m_reverse);
    m_smooth->setChecked(a.isSmoothed);
    m_reverse->setChecked(a.isReversed);
    m_speed->refresh();
}

AxisControls::AxisControls(Binding<ScrollProfile> profile, QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto axis = [profile](ScrollAxisSettings ScrollProfile::*member) {
        return Binding<ScrollAxisSettings>{[profile, member] { return profile.get().*member; },
                                           [profile, member](const ScrollAxisSettings& a) {
                                               ScrollProfile p = profile.get();
                                               p.*member = a;
                                               profile.set(p);
                                           }};
    };
    m_vertical = new AxisRow(QStringLiteral("settings.scroll.vertical"), axis(&ScrollProfile::vertical), this);
    m_horizontal = new AxisRow(QStringLiteral("settings.scroll.horizontal"), axis(&ScrollProfile::horizontal), this);
    layout->addWidget(m_vertical);
    layout->addSpacing(6);
    layout->addWidget(m_horizontal);
}

void AxisControls::refresh()
{
    m_vertical->refresh();
    m_horizontal->refresh();
}

ModifierRow::ModifierRow(ScrollModifier modifier, Binding<ScrollModifierAction> action, QWidget* parent)
    : QWidget(parent), m_modifier(modifier), m_action(std::move(action))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* row = new QHBoxLayout;
    auto* title = new QLabel(text(titleKey(modifier)), this);
    m_picker = new QComboBox(this);
    m_picker->setObjectName(toRaw(modifier));
    m_picker->setAccessibleName(title->text());
    title->setBuddy(m_picker);
    for (ScrollModifierAction a : scrollModifierActionCases)
        m_picker->addItem(text(titleKey(a)), int(a));
    row->addWidget(title);
    row->addStretch(1);
    row->addWidget(m_picker);
    layout->addLayout(row);
    m_warning = makeWarningLabel(this, QStringLiteral("font-size: small;"));
    layout->addWidget(m_warning);
    connect(m_picker, &QComboBox::activated, this,
            [this](int index) { m_action.set(ScrollModifierAction(m_picker->itemData(index).toInt())); });
    refresh();
}

void ModifierRow::refresh()
{
    const ScrollModifierAction a = m_action.get();
    {
        const QSignalBlocker blocker(m_picker);
        m_picker->setCurrentIndex(m_picker->findData(int(a)));
    }
    const auto conflict = systemConflictKey(m_modifier);
    if (a != ScrollModifierAction::none && conflict)
        setWarning(m_warning, text(*conflict));
    else
        setWarning(m_warning, {});
}
