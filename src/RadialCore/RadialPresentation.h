#pragma once

// The clock of the ring's opening: items fly out from the centre one after another and overshoot
// a little before they settle.
struct RadialPresentation {
    static constexpr double duration = 0.3;
    static constexpr double stagger = 0.018;
    static constexpr double initialRadiusFraction = 0.55;

    double elapsed = 0;

    bool isComplete() const { return elapsed >= duration; }
    void advance(double dt);
    void complete() { elapsed = duration; }

    double progress(int item) const;
    double radiusFraction(int item) const;
    double opacity(int item) const;

    bool operator==(const RadialPresentation&) const = default;

private:
    double phase(int item) const;
};
