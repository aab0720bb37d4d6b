#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The modal file chooser itself; a fake stands in for it in tests.
class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // Existing files chosen (several at once), as full paths; empty when cancelled.
    virtual QStringList pickFiles(const QString& title, const QStringList& filters,
                                  int preselected) = 0;
    // An existing folder chosen, as a full path, starting at start; empty when cancelled.
    virtual QString pickFolder(const QString& title, const QString& start) = 0;
};

class QtFilePicker : public FilePicker {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }
    QStringList pickFiles(const QString& title, const QStringList& filters,
                          int preselected) override;
    QString pickFolder(const QString& title, const QString& start) override;

  private:
    QWidget* parent_ = nullptr;
};

// The deepest folder that holds every one of these full paths ("/" at least).
QString commonFolder(const QStringList& paths);

// The Open dialog as the window uses it: set its properties, ShowOpen, read
// FileName: empty when cancelled, one full path for one file, or the folder
// followed by each name, all separated by NUL characters, for several. A
// result longer than the buffer raises error 20476 and leaves FileName empty.
class OpenDialog {
  public:
    static constexpr int kBufferTooSmall = 20476;

    OpenDialog(FilePicker& picker, int bufferChars) : picker_(picker), bufferChars_(bufferChars) {}

    QString DialogTitle;
    QString Filter;      // "description|patterns|description|patterns|", patterns separated by ';'
    int FilterIndex = 1; // the preselected filter, from 1
    int Flags = 0;
    QString FileName;

    void ShowOpen();
    // The Qt name filters of Filter: "Audio Files (*.mp3 *.wav)".
    QStringList nameFilters() const;

  private:
    FilePicker& picker_;
    int bufferChars_;
};
