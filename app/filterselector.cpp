#include "filterselector.h"

#include <QAbstractItemModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

FilterSelector::FilterSelector(QWidget *parent)
    : QComboBox(parent)
{
    // Room for a long name and its mark, but not for a tool bar's worth.
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumWidth(200);
    setMaximumWidth(std::max(200, fontMetrics().averageCharWidth() * 48));
    connect(this, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { updateToolTip(); });
    connect(model(), &QAbstractItemModel::dataChanged, this, [this] { updateToolTip(); });
}

void FilterSelector::setToolTipHeading(const QString &heading)
{
    m_heading = heading;
    updateToolTip();
}

void FilterSelector::updateToolTip()
{
    const QString text = currentText();
    setToolTip(text.isEmpty() ? m_heading : m_heading + QStringLiteral(": ") + text);
}

QRect FilterSelector::textRect() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
}

QString FilterSelector::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, textRect().width());
}

void FilterSelector::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
