#include "SuggestionBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
// Distance from the view's edges, in pixels.
constexpr int inset = 8;
} // namespace

SuggestionBar::SuggestionBar(QWidget* view)
    : QFrame(view), m_text(new QLabel(this)), m_use(new QPushButton(QStringLiteral("Use suggestion"), this)),
      m_dismiss(new QPushButton(QStringLiteral("Dismiss"), this))
{
    setObjectName(QStringLiteral("suggestionBar"));
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_use->setDefault(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_use);
    layout->addWidget(m_dismiss);
    view->installEventFilter(this);
    hide();
}

void SuggestionBar::present(const QString& text)
{
    m_text->setText(text);
    place();
    show();
    raise();
}

QString SuggestionBar::text() const
{
    return m_text->text();
}

void SuggestionBar::place()
{
    const QWidget* view = parentWidget();
    const int width = std::max(0, view->width() - 2 * inset);
    resize(width, heightForWidth(width) > 0 ? heightForWidth(width) : sizeHint().height());
    move(inset, inset);
}

bool SuggestionBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        place();
    return QFrame::eventFilter(watched, event);
}
