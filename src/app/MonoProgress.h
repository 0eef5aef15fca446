#pragma once

// The black-and-white progress bar of running tasks: a white field with a
// one-point black outline, filled in black from the left. No rounded
// corners, no animation, no text.
//
// The value is kept in floating point (a task at 1/3 draws a third, not a
// rounded 33 %); QProgressBar's integer value follows it for accessibility.

#include <QProgressBar>

class MonoProgress : public QProgressBar
{
    Q_OBJECT
public:
    explicit MonoProgress(QWidget* parent = nullptr);

    // The drawn value between minimum() and maximum(); outside that range
    // it draws as an empty or a full bar. Main thread.
    void setProgressValue(double value);
    double progressValue() const { return m_value; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_value = 0;
};
