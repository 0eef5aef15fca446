#pragma once

// The review table's model: one line per review row of the application,
// four columns ("page", "number", "title", "state", as App::tableColumns()
// gives them). It holds no data of its own; every cell is read from
// App::rows when the view asks, and a committed edit goes to App::edited(),
// which decides whether anything changes. Number and title cells are
// editable exactly while no task runs.
//
// Main thread only.

#include <QAbstractTableModel>

#include <memory>

class App;

class ReviewTableModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    // The role under which headerData() gives a column's identifier.
    static constexpr int IdentifierRole = Qt::UserRole;

    explicit ReviewTableModel(App& app, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The column showing row key `identifier`, or -1.
    static int column(const QString& identifier);

    // The rows were replaced or changed as a whole: a reset when their
    // number changed, else every cell is reported changed (the view keeps
    // its selection).
    void reload();
    // One cell changed.
    void refreshCell(int row, int column);

  private:
    // A valid index of this model's table.
    bool isCell(const QModelIndex& index) const;
    // Reads App only while it is whole (see App::tableOpen).
    bool appOpen() const { return !m_appOpen.expired(); }

    App& m_app;
    std::weak_ptr<const bool> m_appOpen;
    // The number of rows the view was last told about.
    int m_rows = 0;
};
