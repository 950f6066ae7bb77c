#include "videolog/VideoLogTableModel.h"

#include <QLocale>

#include <algorithm>
#include <iterator>

#include "platform/DateTime.h"

namespace {

// More separate changes than this are shown as a new list (the view cannot keep a place then
// anyway); fewer are inserted and removed where they happen.
constexpr int kMaxChangedRuns = 32;

bool InListOrder(const TVideoLogInfoList& Records) {
    return std::is_sorted(Records.begin(), Records.end(),
                          [](const auto& a, const auto& b) { return a->FileName < b->FileName; });
}

}  // namespace

TVideoLogTableModel::TVideoLogTableModel(QObject* Parent) : QAbstractTableModel(Parent) {}

QString TVideoLogTableModel::NumberText(int Row) { return QString::number(Row + 1); }

QString TVideoLogTableModel::StartText(const TVideoLogInfo& Info) {
    return QString::fromStdString(FormatDateTime("dd.mm.yyyy hh:nn:ss", Info.StartTime));
}

// One decimal and the letter s, with the decimal separator of the user's locale: "60.0s".
QString TVideoLogTableModel::DurationText(double Seconds) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(Seconds, 'f', 1) + "s";
}

int TVideoLogTableModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : static_cast<int>(FRecords.size());
}

int TVideoLogTableModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : 3;
}

QVariant TVideoLogTableModel::data(const QModelIndex& Index, int Role) const {
    if (!Index.isValid() || Index.row() >= rowCount()) {
        return {};
    }
    const TVideoLogInfo& info = *FRecords[static_cast<size_t>(Index.row())];
    if (Role == Qt::UserRole) {
        return QString::fromStdString(info.FileName);
    }
    if (Role != Qt::DisplayRole) {
        return {};
    }
    switch (Index.column()) {
        case 0:
            return NumberText(Index.row());
        case 1:
            return StartText(info);
        case 2:
            return DurationText(info.Duration);
        default:
            return {};
    }
}

QVariant TVideoLogTableModel::headerData(int Section, Qt::Orientation Orientation,
                                         int Role) const {
    if (Orientation == Qt::Horizontal && Role == Qt::DisplayRole && Section >= 0 &&
        Section < FHeaders.size()) {
        return FHeaders[Section];
    }
    return QAbstractTableModel::headerData(Section, Orientation, Role);
}

void TVideoLogTableModel::SetHeaders(const QStringList& Headers) {
    FHeaders = Headers;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void TVideoLogTableModel::Clear() {
    if (FRecords.empty()) {
        return;
    }
    beginResetModel();
    FRecords.clear();
    endResetModel();
}

int TVideoLogTableModel::ChangedRuns(const TVideoLogInfoList& Records) const {
    if (!InListOrder(FRecords) || !InListOrder(Records)) {
        return -1;
    }
    // A walk through both lists in step: every switch between keeping and not keeping a row
    // starts a run.
    int runs = 0;
    int last = 0;  // 0 kept, 1 removed, 2 inserted
    size_t i = 0;
    size_t j = 0;
    while (i < FRecords.size() || j < Records.size()) {
        int now = 0;
        if (j == Records.size() ||
            (i < FRecords.size() && FRecords[i]->FileName < Records[j]->FileName)) {
            now = 1;
            ++i;
        } else if (i == FRecords.size() || Records[j]->FileName < FRecords[i]->FileName) {
            now = 2;
            ++j;
        } else {
            ++i;
            ++j;
        }
        if (now != 0 && now != last) {
            ++runs;
        }
        last = now;
    }
    return runs;
}

void TVideoLogTableModel::SetRecords(TVideoLogInfoList Records) {
    const int runs = ChangedRuns(Records);
    if (runs < 0 || runs > kMaxChangedRuns || FRecords.empty()) {
        beginResetModel();
        FRecords = std::move(Records);
        endResetModel();
        return;
    }
    int firstChanged = static_cast<int>(FRecords.size());
    size_t row = 0;
    size_t j = 0;
    while (row < FRecords.size() || j < Records.size()) {
        if (row < FRecords.size() && j < Records.size() &&
            FRecords[row]->FileName == Records[j]->FileName) {
            TVideoLogInfo& shown = *FRecords[row];
            if (shown.StartTime != Records[j]->StartTime || shown.Duration != Records[j]->Duration) {
                shown = *Records[j];
                emit dataChanged(index(static_cast<int>(row), 1), index(static_cast<int>(row), 2));
            }
            ++row;
            ++j;
            continue;
        }
        firstChanged = std::min(firstChanged, static_cast<int>(row));
        const auto before = [&](size_t r) {
            return j == Records.size() || FRecords[r]->FileName < Records[j]->FileName;
        };
        if (row < FRecords.size() && before(row)) {
            size_t end = row;
            while (end < FRecords.size() && before(end)) {
                ++end;
            }
            beginRemoveRows({}, static_cast<int>(row), static_cast<int>(end) - 1);
            FRecords.erase(FRecords.begin() + static_cast<long>(row),
                           FRecords.begin() + static_cast<long>(end));
            endRemoveRows();
        } else {
            size_t end = j;
            while (end < Records.size() &&
                   (row == FRecords.size() || Records[end]->FileName < FRecords[row]->FileName)) {
                ++end;
            }
            beginInsertRows({}, static_cast<int>(row), static_cast<int>(row + end - j) - 1);
            FRecords.insert(FRecords.begin() + static_cast<long>(row),
                            std::make_move_iterator(Records.begin() + static_cast<long>(j)),
                            std::make_move_iterator(Records.begin() + static_cast<long>(end)));
            endInsertRows();
            row += end - j;
            j = end;
        }
    }
    // The numbers after the first row that came or went moved.
    if (firstChanged < rowCount()) {
        emit dataChanged(index(firstChanged, 0), index(rowCount() - 1, 0));
    }
}
