// What a filter does, in the words the Filter info panel and the filter
// selector's tool tips show; and the two conversions between a filter's
// time range and the filter editor's date entry.
#ifndef FILTERDESCRIPTION_H
#define FILTERDESCRIPTION_H

#include <QMap>
#include <QString>

class CFilter;
struct TimeChoice;

// The preset label of the filter's range, or its "start - end" range text.
QString timeText(const CFilter &filter, const QMap<int, QString> &datePresets);
// Sets the filter's period and time from the editor's accepted date entry:
// a preset by its label, the last entry as a range text; what cannot be
// read gives the whole log.
void applyTimeChoice(const TimeChoice &choice, const QMap<int, QString> &datePresets, CFilter &filter);
// Rich-text description: name, time and one section per non-empty criterion.
QString filterDescription(const CFilter &filter, const QMap<int, QString> &datePresets);

#endif
