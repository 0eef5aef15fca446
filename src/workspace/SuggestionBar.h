#pragma once

// The choice offered with suggested regions: a line saying what the
// suggested regions read, and the buttons "Use suggestion" and "Dismiss".
// It floats at the top of the page view, over the page, while a suggestion
// is shown. Main thread only.

#include <QFrame>
#include <QPointer>

class QLabel;
class QPushButton;

class SuggestionBar : public QFrame
{
    Q_OBJECT
  public:
    explicit SuggestionBar(QWidget* view);

    // Shows the bar with `text`.
    void present(const QString& text);
    QString text() const;

    QPushButton* useButton() const { return m_use; }
    QPushButton* dismissButton() const { return m_dismiss; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void place();

    QLabel* m_text;
    QPushButton* m_use;
    QPushButton* m_dismiss;
};
