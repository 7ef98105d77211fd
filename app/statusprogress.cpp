#include "statusprogress.h"

#include <QIcon>
#include <QStatusBar>

StatusProgress::StatusProgress(QStatusBar *statusBar, const QString &text, const QString &cancelTip)
    : m_label(new QLabel(text + QLatin1Char(':'), statusBar))
    , m_bar(new QProgressBar(statusBar))
    , m_button(new QPushButton(statusBar))
{
    m_button->setIcon(QIcon::fromTheme(QStringLiteral("dialog-cancel")));
    m_button->setFlat(true);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setToolTip(cancelTip);
    statusBar->addPermanentWidget(m_label.get());
    statusBar->addPermanentWidget(m_bar.get());
    statusBar->addPermanentWidget(m_button.get());
}

StatusProgress::~StatusProgress() = default;
