#include "playlist/list_view.h"

#include "platform/failure.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <utility>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kTwipsPerPixel = 15;

// One entry: its text and path kept in the item itself. A plain item keeps
// every role in a table of its own, a handful of allocations per entry that
// made up most of the cost of listing ten thousand files.
class EntryItem : public QTreeWidgetItem {
  public:
    EntryItem(const QString& text, const QString& path)
        : QTreeWidgetItem(UserType), text_(text), path_(path) {}

    QVariant data(int column, int role) const override {
        if (const QString* held = field(column, role))
            return *held;
        return QTreeWidgetItem::data(column, role);
    }
    void setData(int column, int role, const QVariant& value) override {
        QString* held = field(column, role);
        if (!held)
            return QTreeWidgetItem::setData(column, role, value);
        const QString text = value.toString();
        if (text == *held)
            return;
        *held = text;
        emitDataChanged();
    }
    QTreeWidgetItem* clone() const override {
        auto* copy = new EntryItem(text_, path_);
        copy->setFlags(flags());
        return copy;
    }

  private:
    const QString* field(int column, int role) const {
        if (column != 0)
            return nullptr;
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return &text_;
        return role == kPathRole ? &path_ : nullptr;
    }
    QString* field(int column, int role) {
        return const_cast<QString*>(std::as_const(*this).field(column, role));
    }

    QString text_;
    QString path_;
};

} // namespace

ListView::ListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(0);
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

QTreeWidgetItem* ListView::at(int i) const {
    QTreeWidgetItem* item = i >= 1 && i <= Count() ? topLevelItem(i - 1) : nullptr;
    if (!item)
        throw Failure(QStringLiteral("The playlist has no entry %1").arg(i));
    return item;
}

QString ListView::Text(int i) const {
    return at(i)->text(0);
}

QString ListView::Path(int i) const {
    return at(i)->data(0, kPathRole).toString();
}

void ListView::SetEntry(int i, const QString& text, const QString& path) {
    QTreeWidgetItem* item = at(i);
    item->setText(0, text);
    item->setData(0, kPathRole, path);
}

void ListView::Add(const QString& text, const QString& path) {
    AddMany({{text, path}});
}

void ListView::Insert(int i, const QString& text, const QString& path) {
    if (columnCount() == 0)
        throw Failure(QStringLiteral("The playlist has no column yet"));
    if (i < 1 || i > Count() + 1)
        throw Failure(QStringLiteral("Entry %1 is out of range").arg(i));
    insertTopLevelItem(i - 1, new EntryItem(text, path));
}

void ListView::AddMany(const QList<QPair<QString, QString>>& entries) {
    if (columnCount() == 0)
        throw Failure(QStringLiteral("The playlist has no column yet"));
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    for (const auto& [text, path] : entries)
        items << new EntryItem(text, path);
    addTopLevelItems(items);
}

void ListView::Remove(int i) {
    QTreeWidgetItem* item = at(i);
    const bool othersSelected = selectedItems().size() > (item->isSelected() ? 1 : 0);
    delete item;
    // Qt selects the entry that becomes current; a list control leaves the selection alone.
    if (!othersSelected)
        clearSelection();
}

void ListView::Clear() {
    clear();
}

bool ListView::Selected(int i) const {
    return at(i)->isSelected();
}

void ListView::SetSelected(int i, bool selected) {
    QTreeWidgetItem* item = at(i);
    if (selected && selectionMode() == QAbstractItemView::SingleSelection) {
        // One entry at a time: selecting one deselects the other.
        setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect);
        return;
    }
    item->setSelected(selected);
    if (selected)
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

int ListView::SelectedIndex() const {
    const QList<QTreeWidgetItem*> chosen = selectedItems();
    if (chosen.isEmpty())
        throw Failure(QStringLiteral("No entry of the playlist is selected"));
    return indexOfTopLevelItem(chosen.first()) + 1;
}

int ListView::HitTest(const QPoint& point) const {
    QTreeWidgetItem* item = itemAt(point);
    return item ? indexOfTopLevelItem(item) + 1 : 0;
}

void ListView::EnsureVisible(int i) {
    scrollToItem(at(i));
}

void ListView::Refresh() {
    viewport()->update();
}

void ListView::AddColumn(const QString& header) {
    setColumnCount(columnCount() + 1);
    headerItem()->setText(columnCount() - 1, header);
}

void ListView::SetColumnWidthTwips(int column, int twips) {
    setColumnWidth(column - 1, twips / kTwipsPerPixel);
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
    return QPersistentModelIndex(indexFromItem(at(i)));
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
    QTreeWidget::mousePressEvent(event); // selects the entry under the pointer first
    if (MouseDown)
        MouseDown();
    const int hit = HitTest(event->position().toPoint());
    if (hit > 0 && ItemClick)
        ItemClick(hit);
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    // With a button held the window moves entries itself; Qt's own drag-select stays out.
    if (event->buttons() == Qt::NoButton)
        QTreeWidget::mouseMoveEvent(event);
    if (MouseMove)
        MouseMove(event->position().toPoint());
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    if (MouseUp)
        MouseUp();
    if (Click)
        Click();
}

void ListView::keyPressEvent(QKeyEvent* event) {
    const QList<QTreeWidgetItem*> before = selectedItems();
    QTreeWidget::keyPressEvent(event);
    const QList<QTreeWidgetItem*> after = selectedItems();
    if (after.size() == 1 && after != before && KeyboardChoice)
        KeyboardChoice(indexOfTopLevelItem(after.first()) + 1);
}
