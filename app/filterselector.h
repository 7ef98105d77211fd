// The filter selector of the filter tool bar.
#ifndef FILTERSELECTOR_H
#define FILTERSELECTOR_H

#include <QComboBox>

// A combo box as wide as its longest entry, within limits; an entry wider
// than the box shows elided in the middle, so that its end (the mark of an
// edit) stays in sight, and the tool tip names the current entry whole.
class FilterSelector : public QComboBox
{
    Q_OBJECT
public:
    explicit FilterSelector(QWidget *parent = nullptr);

    // The tool tip's first line; the current entry's text follows it.
    void setToolTipHeading(const QString &heading);
    // The text the closed box shows for the current entry at its width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateToolTip();
    QRect textRect() const;

    QString m_heading;
};

#endif
