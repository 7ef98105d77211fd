// What a filter does, in the words the Filter info panel and the filter
// selector's tool tips show.
#ifndef FILTERDESCRIPTION_H
#define FILTERDESCRIPTION_H

#include <QMap>
#include <QString>

class CFilter;

// The preset label of the filter's range, or its "start - end" range text.
QString timeText(const CFilter &filter, const QMap<int, QString> &datePresets);
// Rich-text description: name, time and one section per non-empty criterion.
QString filterDescription(const CFilter &filter, const QMap<int, QString> &datePresets);

#endif
