// The room's table as a model: one row a candidate of this run, read from the server's room state.
#pragma once

#include <QAbstractTableModel>

class CmultiLanguage;

namespace centrum {

class RoomState;

// Follows the room state a batch at a time: rows added and changed in one batch are one
// insertion and one dataChanged. The sort role gives each column an order of its own
// (times, numbers and states by value, not by their text).
class RoomModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Id, Name, Seat, Address, LoginTime, State, Paper, ResultTime, Score, TimeUsed, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

    RoomModel(RoomState &room, const CmultiLanguage &texts, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The line above the table.
    QString countersText() const;

signals:
    // Once a batch, after the rows.
    void countersChanged();

private:
    void takeBatch();
    void resetAll();

    RoomState &m_room;
    const CmultiLanguage &m_texts;
    int m_rows = 0; // the rows the view knows of
};

} // namespace centrum
