#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "videolog/VideoLogInfo.h"

// The video log's rows: number, start date and time, length. The texts are made when a row is
// shown, so a history of any length costs its records only. A new set of records is applied as
// the rows that came and went (a reset only when too much changed), so the view keeps its
// selection and scroll position.
class TVideoLogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TVideoLogTableModel(QObject* Parent = nullptr);

    // The records in list order (the order of their information files' names).
    const TVideoLogInfoList& Records() const { return FRecords; }
    void SetRecords(TVideoLogInfoList Records);
    void Clear();
    void SetHeaders(const QStringList& Headers);

    // The texts of a record's cells.
    static QString NumberText(int Row);
    static QString StartText(const TVideoLogInfo& Info);
    static QString DurationText(double Seconds);

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

private:
    // The runs of rows that come or go on the way from the shown records to Records; -1 when
    // the two are not both in list order.
    int ChangedRuns(const TVideoLogInfoList& Records) const;

    TVideoLogInfoList FRecords;
    QStringList FHeaders{"#", "Date and Time", "Duration (s)"};
};
