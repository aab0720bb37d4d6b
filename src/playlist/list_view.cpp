#include "playlist/list_view.h"

#include "history/history_db.h"
#include "platform/failure.h"
#include "platform/layout_units.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <utility>

namespace {

constexpr int kPathRole = Qt::UserRole;

// The heard mark: a small tick in the colour of the text, and a blank of its
// size for the others once any entry carries it, so the names stay in line.
QIcon heardMark(bool heard) {
    constexpr int kSide = 12;
    QPixmap picture(kSide, kSide);
    picture.fill(Qt::transparent);
    if (heard) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ink = QPalette().color(QPalette::Text);
        ink.setAlphaF(0.6);
        painter.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(2.0, 6.5);
        tick.lineTo(5.0, 9.5);
        tick.lineTo(10.0, 2.5);
        painter.drawPath(tick);
    }
    return QIcon(picture);
}

} // namespace

// The entries themselves: a text and a path each, in one array. Ten thousand
// widget items cost an allocation and a table of roles apiece; this costs
// two shared strings.
class EntryModel : public QAbstractTableModel {
  public:
    using Entry = ListView::Entry;
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(headers_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.column() != 0)
            return {};
        const Entry& entry = entries_[index.row()];
        if (role == Qt::DisplayRole && entry.notAnswering)
            return entry.text + QStringLiteral(" (its drive is not answering)");
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return entry.text;
        if (role == Qt::ToolTipRole && entry.notAnswering)
            return QStringLiteral("%1: its drive is not answering").arg(entry.path);
        if (role == Qt::DecorationRole && !heard_.isEmpty()) {
            static const QIcon mark = heardMark(true), blank = heardMark(false);
            return heard_.contains(entry.path) ? mark : blank;
        }
        if (role == Qt::ToolTipRole && heard_.contains(entry.path))
            return QStringLiteral("%1\n%2").arg(QFileInfo(entry.path).absolutePath(),
                                                history::heardText(heard_.value(entry.path)));
        if (role == Qt::ForegroundRole && entry.notAnswering)
            return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
        return role == kPathRole ? QVariant(entry.path) : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= headers_.size())
            return {};
        return headers_[section];
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    }

    const Entry& entry(int row) const { return entries_[row]; }
    void markHeard(const QHash<QString, qint64>& msByPath) {
        if (msByPath.isEmpty())
            return;
        // The first marks of a long list are taken over whole, without a pass.
        const bool first = heard_.isEmpty();
        if (first)
            heard_ = msByPath;
        for (auto at = msByPath.begin(); !first && at != msByPath.end(); ++at)
            if (heard_.value(at.key(), -1) < at.value())
                heard_.insert(at.key(), at.value());
        if (!entries_.isEmpty())
            Q_EMIT dataChanged(index(0, 0), index(int(entries_.size()) - 1, 0),
                               {Qt::DecorationRole, Qt::ToolTipRole});
    }
    qint64 heardMs(const QString& path) const { return heard_.value(path, -1); }
    int heardCount() const {
        return int(std::count_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return heard_.contains(e.path); }));
    }
    void setNotAnswering(int row, bool on) {
        if (entries_[row].notAnswering == on)
            return;
        entries_[row].notAnswering = on;
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed);
    }
    void setEntry(int row, const QString& text, const QString& path) {
        Entry& entry = entries_[row];
        QList<int> roles;
        if (entry.text != text)
            roles << Qt::DisplayRole << Qt::EditRole;
        if (entry.path != path)
            roles << kPathRole;
        if (roles.isEmpty())
            return;
        entry = {text, path};
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed, roles);
    }
    void insert(int row, QList<Entry> added) {
        if (added.isEmpty())
            return;
        beginInsertRows({}, row, row + static_cast<int>(added.size()) - 1);
        if (entries_.isEmpty())
            entries_ = std::move(added);
        else {
            entries_.insert(row, added.size(), Entry{});
            std::move(added.begin(), added.end(), entries_.begin() + row);
        }
        endInsertRows();
    }
    void remove(int row) {
        beginRemoveRows({}, row, row);
        entries_.remove(row);
        endRemoveRows();
    }
    // Removes every entry gone says goes, each run of neighbours at once.
    void removeWhere(const std::function<bool(const Entry&)>& gone) {
        for (int end = int(entries_.size()); end > 0;) {
            if (!gone(entries_[end - 1])) {
                --end;
                continue;
            }
            int begin = end - 1;
            while (begin > 0 && gone(entries_[begin - 1]))
                --begin;
            beginRemoveRows({}, begin, end - 1);
            entries_.remove(begin, end - begin);
            endRemoveRows();
            end = begin;
        }
    }
    void clear() {
        beginResetModel();
        entries_.clear();
        endResetModel();
    }
    void addColumn(const QString& header) {
        const int column = static_cast<int>(headers_.size());
        beginInsertColumns({}, column, column);
        headers_ << header;
        endInsertColumns();
    }

  private:
    QList<Entry> entries_;
    QStringList headers_;
    QHash<QString, qint64> heard_; // of every file heard that was in the list
};

ListView::ListView(QWidget* parent) : QTreeView(parent), entries_(new EntryModel(this)) {
    setModel(entries_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    header()->setStretchLastSection(false);
    setMouseTracking(true);
    setToolTip(tr("Drag and drop files here. Double-click item to remove it. Move | line to right "
                  "and out of window to reveal full names."));
}

int ListView::Count() const {
    return entries_->rowCount();
}

QModelIndex ListView::at(int i) const {
    if (i < 1 || i > Count())
        throw Failure(QStringLiteral("The playlist has no entry %1").arg(i));
    return entries_->index(i - 1, 0);
}

QString ListView::Text(int i) const {
    return entries_->entry(at(i).row()).text;
}

QString ListView::Path(int i) const {
    return entries_->entry(at(i).row()).path;
}

const ListView::Entry& ListView::EntryAt(int i) const {
    return entries_->entry(at(i).row());
}

void ListView::SetNotAnswering(int i, bool on) {
    entries_->setNotAnswering(at(i).row(), on);
}

void ListView::SetEntry(int i, const QString& text, const QString& path) {
    entries_->setEntry(at(i).row(), text, path);
}

void ListView::Add(const QString& text, const QString& path) {
    AddMany({{text, path}});
}

void ListView::Insert(int i, const QString& text, const QString& path) {
    if (columnCount() == 0)
        throw Failure(QStringLiteral("The playlist has no column yet"));
    if (i < 1 || i > Count() + 1)
        throw Failure(QStringLiteral("Entry %1 is out of range").arg(i));
    entries_->insert(i - 1, {{text, path}});
}

void ListView::AddMany(QList<Entry> entries) {
    if (columnCount() == 0)
        throw Failure(QStringLiteral("The playlist has no column yet"));
    entries_->insert(Count(), std::move(entries));
}

void ListView::Remove(int i) {
    const QModelIndex entry = at(i);
    const bool othersSelected =
        selectionModel()->selectedRows().size() > (selectionModel()->isSelected(entry) ? 1 : 0);
    entries_->remove(entry.row());
    // Qt would select the entry that becomes current; removing an entry leaves the selection alone.
    if (!othersSelected)
        clearSelection();
}

void ListView::RemoveWhere(const std::function<bool(const Entry&)>& gone) {
    entries_->removeWhere(gone);
}

void ListView::Clear() {
    entries_->clear();
}

bool ListView::Selected(int i) const {
    return selectionModel()->isSelected(at(i));
}

void ListView::SetSelected(int i, bool selected) {
    const QModelIndex entry = at(i);
    if (selected && selectionMode() == QAbstractItemView::SingleSelection) {
        // One entry at a time: selecting one deselects the other.
        selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
        return;
    }
    selectionModel()->select(entry, selected ? QItemSelectionModel::Select
                                             : QItemSelectionModel::Deselect);
    if (selected)
        selectionModel()->setCurrentIndex(entry, QItemSelectionModel::NoUpdate);
}

bool ListView::HasSelection() const {
    return selectionModel()->hasSelection();
}

QList<int> ListView::SelectedEntries() const {
    QList<int> chosen;
    for (const QModelIndex& entry : selectionModel()->selectedRows())
        chosen << entry.row() + 1;
    return chosen;
}

int ListView::SelectedIndex() const {
    const QList<int> chosen = SelectedEntries();
    if (chosen.isEmpty())
        throw Failure(QStringLiteral("No entry of the playlist is selected"));
    return chosen.first();
}

int ListView::HitTest(const QPoint& point) const {
    const QModelIndex entry = indexAt(point);
    return entry.isValid() ? entry.row() + 1 : 0;
}

void ListView::EnsureVisible(int i) {
    scrollTo(at(i));
}

void ListView::Refresh() {
    viewport()->update();
}

int ListView::columnCount() const {
    return entries_->columnCount();
}

void ListView::AddColumn(const QString& header) {
    entries_->addColumn(header);
}

void ListView::SetColumnWidthTwips(int column, int twips) {
    setColumnWidth(column - 1, pixelsFromTwips(twips));
}

namespace {

// A drop here copies or links the files, never moves them: a drag source told
// "moved" would delete its originals. False when the source offers neither.
bool takeWithoutMoving(QDropEvent& event) {
    if (event.possibleActions() & Qt::CopyAction)
        event.setDropAction(Qt::CopyAction);
    else if (event.possibleActions() & Qt::LinkAction)
        event.setDropAction(Qt::LinkAction);
    else
        return false;
    event.accept();
    return true;
}

} // namespace

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!OLEDragOver || !OLEDragOver(*event->mimeData()) || !takeWithoutMoving(*event))
        event->ignore();
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!OLEDragOver || !OLEDragOver(*event->mimeData()) || !takeWithoutMoving(*event))
        event->ignore();
}

void ListView::dropEvent(QDropEvent* event) {
    if (!OLEDragOver || !OLEDragOver(*event->mimeData()) || !takeWithoutMoving(*event)) {
        event->ignore();
        return;
    }
    if (OLEDragDrop)
        OLEDragDrop(*event->mimeData());
}

QPersistentModelIndex ListView::EntryRef(int i) const {
    return QPersistentModelIndex(at(i));
}

int ListView::PositionOf(const QPersistentModelIndex& entry) const {
    return entry.isValid() && entry.model() == model() ? entry.row() + 1 : 0;
}

void ListView::SetMousePointer(int pointer) {
    MousePointer = pointer;
    if (pointer == 99)
        viewport()->setCursor(MouseIcon);
    else if (pointer == 1)
        viewport()->setCursor(Qt::ArrowCursor);
    else
        viewport()->unsetCursor();
}

void ListView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event); // selects the entry under the pointer first
    if (MouseDown)
        MouseDown();
    const int hit = HitTest(event->position().toPoint());
    if (hit > 0 && ItemClick)
        ItemClick(hit);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    // With a button held the window moves entries itself; Qt's own drag-select stays out.
    if (event->buttons() == Qt::NoButton)
        QTreeView::mouseMoveEvent(event);
    if (MouseMove)
        MouseMove(event->position().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (MouseUp)
        MouseUp();
    if (Click)
        Click();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const QList<int> before = SelectedEntries();
    QTreeView::keyPressEvent(event);
    const QList<int> after = SelectedEntries();
    if (after.size() == 1 && after != before && KeyboardChoice)
        KeyboardChoice(after.first());
}

void ListView::MarkHeard(const QHash<QString, qint64>& msByPath) {
    entries_->markHeard(msByPath);
}

qint64 ListView::HeardMs(const QString& path) const {
    return entries_->heardMs(path);
}

int ListView::HeardCount() const {
    return entries_->heardCount();
}
