#pragma once

#include <QString>

class QWidget;

// The skin engine: a skin file is a Qt style sheet. Five calls, in order: load
// the file, the option bits (bit 0: skin the whole program, message boxes
// included, rather than the main window alone), two switches, then apply to a
// window. The switches are kept as given; this engine has no use for them.
class SkinEngine {
  public:
    // Raises when the file cannot be read or is not a style sheet (not UTF-8 text).
    void LoadSkin(const QString& path, const QString& ini);
    int Options = 0;
    bool Switch5 = false;
    bool Switch10 = false;
    void ApplyWindow(QWidget& window);
    int calls = 0; // how many of the engine's calls were made

  private:
    QString sheet_;
};
