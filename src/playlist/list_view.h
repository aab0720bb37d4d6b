#pragma once

#include "playlist/playlist_entry.h"

#include <QCursor>
#include <QHash>
#include <QList>
#include <QPair>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeView>
#include <functional>

class EntryModel;

// The playlist on screen: one column under a header, one entry a row, entries
// numbered from 1. Each entry shows the bare file name and keeps its own full
// path beside it, so two files of the same name in different folders stay
// apart; the path moves with the text wherever the text moves.
class ListView : public QTreeView {
    Q_OBJECT
  public:
    using Entry = PlaylistEntry;

    explicit ListView(QWidget* parent);

    int Count() const;
    QString Text(int i) const;
    QString Path(int i) const;
    // Entry i itself, text and path, without a copy; raises for a position with none.
    const Entry& EntryAt(int i) const;
    // Marks entry i as one whose drive does not answer, or no longer.
    void SetNotAnswering(int i, bool on);
    // Entries whose files were heard carry a mark beside their names, and their
    // tooltips give the folder and how long ("heard 0:12"): milliseconds by
    // path, merged into what is known (the longer time of a path known
    // twice stays). The mark goes with the path.
    void MarkHeard(const QHash<QString, qint64>& msByPath);
    qint64 HeardMs(const QString& path) const; // -1 when not heard
    int HeardCount() const;                    // entries whose files were heard
    // Sets both halves of an entry: its text and the path of its own file.
    void SetEntry(int i, const QString& text, const QString& path);
    void Add(const QString& text, const QString& path);
    // Puts an entry in at position i (from 1; Count() + 1 adds it at the end).
    void Insert(int i, const QString& text, const QString& path);
    // Add for many entries at once: one insert, one update of the view. Into
    // an empty list, the entries are taken over as they are, without a copy.
    void AddMany(QList<Entry> entries);
    void Remove(int i);
    void RemoveWhere(const std::function<bool(const Entry&)>& gone); // one pass, any count
    void Clear();
    bool Selected(int i) const;
    void SetSelected(int i, bool selected);
    // The position of the selected entry; raises when no entry is selected.
    int SelectedIndex() const;
    // The entry under a point of the list's viewport, or 0.
    int HitTest(const QPoint& point) const;
    void EnsureVisible(int i);
    void Refresh();
    bool HasSelection() const;
    // The positions of the selected entries, in the order they were selected.
    QList<int> SelectedEntries() const;
    // A reference to an entry that turns invalid when the entry is removed.
    QPersistentModelIndex EntryRef(int i) const;
    // The position of a referenced entry, or 0 when it is gone.
    int PositionOf(const QPersistentModelIndex& entry) const;
    int columnCount() const;
    void AddColumn(const QString& header);
    // Column width in twips, as the window layout gives it.
    void SetColumnWidthTwips(int column, int twips);

    // The pointer over the list: 0 the default, 1 the arrow, 99 the picture in MouseIcon.
    void SetMousePointer(int pointer);
    int MousePointer = 0;
    QCursor MouseIcon;

    // The drop events, answered by the window: may this drag drop here, and the drop itself.
    std::function<bool(const QMimeData&)> OLEDragOver;
    std::function<void(const QMimeData&)> OLEDragDrop;
    // The mouse events, in the order the list raises them: a press gives MouseDown,
    // then ItemClick when it hit an entry; a release gives MouseUp, then Click.
    std::function<void()> MouseDown;
    std::function<void(int entry)> ItemClick;
    std::function<void(const QPoint& at)> MouseMove;
    std::function<void()> MouseUp;
    std::function<void()> Click;
    // A key (arrows, Home, End, the page keys, typing a name) moved the selection onto this entry.
    std::function<void(int entry)> KeyboardChoice;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QModelIndex at(int i) const; // raises for a position with no entry

    EntryModel* entries_;
};
