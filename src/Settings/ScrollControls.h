#pragma once

#include "ScrollCore/ScrollSettings.h"

#include <QWidget>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

// A read and a write of one value the controls edit; the owner stores it.
template <class T>
struct Binding {
    std::function<T()> get;
    std::function<void(const T&)> set;
};

// A continuous slider over a range of doubles, with its title above it.
class TuningSlider : public QWidget {
    Q_OBJECT
public:
    TuningSlider(const QString& titleKey, Binding<double> value, ScrollTuning::Range range, QWidget* parent = nullptr);
    void refresh();
    QSlider* slider() const { return m_slider; }
    // The slider's value as the double it stands for.
    double shownValue() const;

private:
    Binding<double> m_value;
    ScrollTuning::Range m_range;
    QSlider* m_slider;
};

// The three tuning sliders over one tuning.
class TuningSliders : public QWidget {
    Q_OBJECT
public:
    explicit TuningSliders(Binding<ScrollTuning> tuning, QWidget* parent = nullptr);
    void refresh();
    TuningSlider* slider(int index) const { return m_sliders[index]; }

private:
    Binding<ScrollTuning> m_tuning;
    TuningSlider* m_sliders[3];
};

// The preset of a profile, its explanation, and the advanced tuning behind a disclosure.
class FeelControls : public QWidget {
    Q_OBJECT
public:
    explicit FeelControls(Binding<ScrollProfile> profile, QWidget* parent = nullptr);
    void refresh();

    QAbstractButton* presetButton(ScrollPreset preset) const;
    QToolButton* advancedToggle() const { return m_advanced; }
    TuningSliders* sliders() const { return m_sliders; }
    QPushButton* resetButton() const { return m_reset; }
    QLabel* detail() const { return m_detail; }

private:
    Binding<ScrollProfile> m_profile;
    QButtonGroup* m_presets;
    QLabel* m_detail;
    QToolButton* m_advanced;
    QWidget* m_advancedBox;
    TuningSliders* m_sliders;
    QPushButton* m_reset;
};

// One axis: smoothing, reversal and speed.
class AxisRow : public QWidget {
    Q_OBJECT
public:
    AxisRow(const QString& titleKey, Binding<ScrollAxisSettings> axis, QWidget* parent = nullptr);
    void refresh();
    QCheckBox* smooth() const { return m_smooth; }
    QCheckBox* reverse() const { return m_reverse; }
    TuningSlider* speed() const { return m_speed; }

private:
    Binding<ScrollAxisSettings> m_axis;
    QCheckBox* m_smooth;
    QCheckBox* m_reverse;
    TuningSlider* m_speed;
};

// The vertical and the horizontal axis of a profile.
class AxisControls : public QWidget {
    Q_OBJECT
public:
    explicit AxisControls(Binding<ScrollProfile> profile, QWidget* parent = nullptr);
    void refresh();
    AxisRow* vertical() const { return m_vertical; }
    AxisRow* horizontal() const { return m_horizontal; }

private:
    AxisRow* m_vertical;
    AxisRow* m_horizontal;
};

// What a held modifier key does, with a warning where the key has a use of its own.
class ModifierRow : public QWidget {
    Q_OBJECT
public:
    ModifierRow(ScrollModifier modifier, Binding<ScrollModifierAction> action, QWidget* parent = nullptr);
    void refresh();
    QComboBox* picker() const { return m_picker; }
    QLabel* warning() const { return m_warning; }

private:
    ScrollModifier m_modifier;
    Binding<ScrollModifierAction> m_action;
    QComboBox* m_picker;
    QLabel* m_warning;
};

// A label in the page's warning style: a symbol and orange text.
QLabel* makeWarningLabel(QWidget* parent, const QString& captionStyle = {});
void setWarning(QLabel* label, const QString& text);
