#pragma once

#include <QString>
#include <QTreeWidget>
#include <functional>

// The playlist on screen: one column under a header, one entry a row, entries
// numbered from 1. Each entry shows the bare file name and keeps its own full
// path beside it, so two files of the same name in different folders stay
// apart; the path moves with the text wherever the text moves.
class ListView : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ListView(QWidget* parent);

    int Count() const { return topLevelItemCount(); }
    QString Text(int i) const;
    QString Path(int i) const;
    // Sets both halves of an entry: its text and the path of its own file.
    void SetEntry(int i, const QString& text, const QString& path);
    void Add(const QString& text, const QString& path);
    void Remove(int i);
    void Clear();
    bool Selected(int i) const;
    void SetSelected(int i, bool selected);
    // The position of the selected entry; raises when no entry is selected.
    int SelectedIndex() const;
    // The entry under a point of the list's viewport, or 0.
    int HitTest(const QPoint& point) const;
    void EnsureVisible(int i);
    void Refresh();
    void AddColumn(const QString& header);
    // Column width in twips, as the window layout gives it.
    void SetColumnWidthTwips(int column, int twips);

    // The drop events, answered by the window: may this drag drop here, and the drop itself.
    std::function<bool(const QMimeData&)> OLEDragOver;
    std::function<void(const QMimeData&)> OLEDragDrop;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QTreeWidgetItem* at(int i) const;
};
