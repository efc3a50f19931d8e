// The clip list as the page's list view shows it: "C  Name" with the row's tick, "Media"
// with its marks, "MB" with its size. The list itself is the plain ClipList.
#pragma once

#include <QAbstractTableModel>

#include "ui/clip_list.h"

namespace orvanta::ui {

class ClipListModel : public QAbstractTableModel {
 public:
  explicit ClipListModel(ClipList& list, QObject* parent = nullptr)
      : QAbstractTableModel(parent), list_(list) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The list is about to be rebuilt, and has been.
  void BeginRebuild() { beginResetModel(); }
  void EndRebuild() { endResetModel(); }
  // ClipList::AddNewClip, the view told of the row before it comes.
  ClipList::Added AddNewClip(const std::string& path, const NewClipMarks& marks);
  void RemoveRow(int row);
  // Ticks or unticks the row; tells the view.
  void SetTicked(int row, bool ticked);

 private:
  ClipList& list_;
};

}  // namespace orvanta::ui
