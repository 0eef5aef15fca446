#include "SuggestionBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

SuggestionBar::SuggestionBar(QWidget* parent)
    : QFrame(parent), m_text(new QLabel(this)), m_use(new QPushButton(QStringLiteral("Use suggestion"), this)),
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
    hide();
}

void SuggestionBar::present(const QString& text, const QString& useTitle)
{
    m_text->setText(text);
    m_use->setText(useTitle);
    show();
}

QString SuggestionBar::text() const
{
    return m_text->text();
}
