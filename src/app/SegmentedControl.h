#pragma once

// A row of joined segments of which exactly one is selected; the selected
// segment is drawn in black with white text. A click or the arrow keys
// select a segment and emit segmentClicked(); selecting from the program
// emits nothing, so that setting a segment never runs the control's action.
//
// Assistive tools see the control as a group of named radio buttons, one a
// segment, each with its selected state and a press action
// (SegmentedControlAccessible); every change of the selection is announced.

#include <QStringList>
#include <QWidget>

class SegmentedControl : public QWidget
{
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int count() const { return int(m_labels.size()); }
    QString label(int index) const { return m_labels.value(index); }
    int selectedSegment() const { return m_selected; }
    // Selects `index` (ignored when out of range) without emitting.
    void setSelectedSegment(int index);
    // Selects `index` as a click on it does, emitting segmentClicked();
    // ignored while the control is disabled or when out of range.
    void pressSegment(int index);
    // The segment under a point in widget coordinates, or -1.
    int segmentAt(const QPoint& point) const;
    // Where segment `index` is drawn, in widget coordinates; empty when out
    // of range.
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The user selected `index` (also when it was selected already).
    void segmentClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<QRect> segmentRects() const;
    void choose(int index);
    // Makes `index` the selected segment and announces the change.
    void select(int index);

    QStringList m_labels;
    int m_selected = 0;
    int m_pressed = -1;
};
