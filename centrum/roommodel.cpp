// The room's table as a model: one row a candidate of this run, read from the server's room state.
#include "centrum/roommodel.h"

#include "centrum/roomstate.h"
#include "centrum/texts.h"
#include "common/multilanguage.h"
#include "report/report.h"

#include <QBrush>
#include <QColor>
#include <QLocale>

#include <limits>

namespace centrum {

namespace {

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QString();
}

} // namespace

RoomModel::RoomModel(RoomState &room, const CmultiLanguage &texts, QObject *parent)
    : QAbstractTableModel(parent), m_room(room), m_texts(texts), m_rows(room.rowCount())
{
    connect(&room, &RoomState::changed, this, &RoomModel::takeBatch);
    connect(&room, &RoomState::resetRows, this, &RoomModel::resetAll);
}

int RoomModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RoomModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void RoomModel::takeBatch()
{
    const RoomState::Changes c = m_room.takeChanges();
    const int known = m_rows;
    if (c.rowCount > known) {
        beginInsertRows({}, known, c.rowCount - 1);
        m_rows = c.rowCount;
        endInsertRows();
    }
    if (c.firstChanged >= 0 && c.firstChanged < known)
        emit dataChanged(index(c.firstChanged, 0), index(std::min(c.lastChanged, known - 1), ColumnCount - 1));
    emit countersChanged();
}

void RoomModel::resetAll()
{
    beginResetModel();
    m_rows = m_room.rowCount();
    endResetModel();
    emit countersChanged();
}

QString RoomModel::countersText() const
{
    return centrum::countersText(m_texts, m_room.counters());
}

QVariant RoomModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.row() >= m_room.rowCount())
        return {};
    const CandidateRow &r = m_room.row(index.row());
    const bool unexpected = !r.expected && m_room.roster();
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Id:
            return r.id;
        case Name:
            return r.name;
        case Seat:
            return r.seat;
        case Address:
            return r.address;
        case LoginTime:
            return timeText(r.loginTime);
        case State:
            return stateText(m_texts, r, m_room.roster() != nullptr);
        case Paper:
            return r.paper;
        case ResultTime:
            return timeText(r.resultTime);
        case Score:
            return r.score;
        case TimeUsed:
            return r.secondsUsed < 0 ? QString() : QStringLiteral("%1:%2").arg(r.secondsUsed / 60).arg(r.secondsUsed % 60, 2, 10, QChar(u'0'));
        }
        return {};
    }
    if (role == SortRole) {
        switch (index.column()) {
        case LoginTime:
            return r.loginTime.isValid() ? r.loginTime.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
        case ResultTime:
            return r.resultTime.isValid() ? r.resultTime.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
        case State:
            return int(r.state) * 2 + (unexpected ? 1 : 0);
        case Score:
            // A row without a number sorts below the lowest score.
            return report::scoreValue(r.score).value_or(-std::numeric_limits<double>::max());
        case TimeUsed:
            return r.secondsUsed;
        default:
            return data(index, Qt::DisplayRole);
        }
    }
    if (role == Qt::ForegroundRole) {
        // The states the examiner has to act on stand out.
        if (r.state == CandidateState::TransferFailed || r.state == CandidateState::Refused)
            return QBrush(QColor(190, 20, 20));
        if (unexpected || r.state == CandidateState::AllowedAgain)
            return QBrush(QColor(170, 90, 0));
        return {};
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Score || index.column() == TimeUsed))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant RoomModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const text::Id names[ColumnCount] = {
        text::IdColumn, text::NameColumn, text::SeatColumn, text::AddressColumn, text::LoginTimeColumn,
        text::StateColumn, text::PaperColumn, text::ResultTimeColumn, text::MarksColumn, text::TimeColumn,
    };
    return section >= 0 && section < ColumnCount ? m_texts.getRes(names[section]) : QVariant();
}

} // namespace centrum
