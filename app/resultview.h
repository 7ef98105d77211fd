// The list view of a result tab.
#ifndef RESULTVIEW_H
#define RESULTVIEW_H

class QAbstractItemView;
class QWidget;

// A list view set up for millions of rows: every row has the size of the
// first, rows have room for long records, and rows are laid out in batches
// between turns of the event loop, so a growing row count never freezes the
// window.
QAbstractItemView *createResultView(QWidget *parent);

// Rows laid out per turn of the event loop (a few milliseconds' work).
constexpr int resultViewBatchRows = 20000;
// Characters of a record a row has room for before the text is elided.
constexpr int resultRowChars = 240;

#endif
