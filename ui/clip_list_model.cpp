#include "ui/clip_list_model.h"

#include <QFontDatabase>

namespace orvanta::ui {

int ClipListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.row_count();
}

int ClipListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 3;
}

QVariant ClipListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.row_count()) return {};
  const ClipRow& row = list_.row(index.row());
  const ClipEntry& entry = list_.entry(row.entry);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case 0:
          return QString::fromStdString(row.name);
        case 1:
          return QString::fromStdString(ClipList::MarksText(entry.marks));
        default:
          return QString::fromStdString(ClipList::SizeText(entry.size_mb));
      }
    case Qt::CheckStateRole:
      if (index.column() == 0) return row.ticked ? Qt::Checked : Qt::Unchecked;
      return {};
    case Qt::TextAlignmentRole:
      return index.column() == 2 ? int(Qt::AlignRight | Qt::AlignVCenter)
                                 : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
      // The marks line up letter under letter only in a fixed-width font.
      if (index.column() == 1) return QFontDatabase::systemFont(QFontDatabase::FixedFont);
      return {};
    case Qt::UserRole:
      return row.entry;  // the entry index the replay page opens
    default:
      return {};
  }
}

bool ClipListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != 0 || index.row() >= list_.row_count())
    return false;
  SetTicked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags ClipListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ClipListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::DisplayRole) {
    static const char* const kCaptions[] = {"C  Name", "Media", "MB"};
    return section >= 0 && section < 3 ? QString::fromLatin1(kCaptions[section]) : QVariant();
  }
  if (role == Qt::TextAlignmentRole)
    return section == 2 ? int(Qt::AlignRight | Qt::AlignVCenter)
                        : int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

ClipList::Added ClipListModel::AddNewClip(const std::string& path, const NewClipMarks& marks) {
  if (!list_.AdmitsNewClip(path)) return {};
  const int row = list_.row_count();
  beginInsertRows({}, row, row);
  const ClipList::Added added = list_.AddNewClip(path, marks);
  endInsertRows();
  return added;
}

void ClipListModel::RemoveRow(int row) {
  if (row < 0 || row >= list_.row_count()) return;
  beginRemoveRows({}, row, row);
  list_.RemoveRow(row);
  endRemoveRows();
}

void ClipListModel::SetTicked(int row, bool ticked) {
  if (row < 0 || row >= list_.row_count()) return;
  list_.row(row).ticked = ticked;
  emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

}  // namespace orvanta::ui
