#pragma once

// The choice offered with suggested regions: a line saying what the
// suggested regions read, and the buttons "Use suggestion" and "Dismiss".
// It is a bar of the window above the page view, shown while a suggestion
// is, so that it never covers the page (title blocks often sit in a top
// corner). Main thread only.

#include <QFrame>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

class SuggestionBar : public QFrame
{
    Q_OBJECT
  public:
    // Hidden until present(); the caller puts it in a layout.
    explicit SuggestionBar(QWidget* parent);

    // Shows the bar with `text`, the use button titled `useTitle`.
    void present(const QString& text, const QString& useTitle = QStringLiteral("Use suggestion"));
    QString text() const;

    QPushButton* useButton() const { return m_use; }
    QPushButton* dismissButton() const { return m_dismiss; }

  private:
    QLabel* m_text;
    QPushButton* m_use;
    QPushButton* m_dismiss;
};
