#include "app/form1.h"

#include "platform/dir_name.h"
#include "playback/player_widget.h"
#include "ui/skin_engine.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <sys/stat.h>

bool Form1::FileExists(const QString& path) const {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

void Form1::ApplySkin() {
    const QString skin = programFolder_ + QStringLiteral("/x/o.cjs");
    if (dirName(skin).isEmpty())
        return;
    // The window and its framed, boxed and labelled controls take the button-face
    // colour; the list, the player and the buttons keep their own.
    const QColor buttonFace = palette().color(QPalette::Button);
    auto paint = [&](QWidget& w) {
        QPalette p = w.palette();
        p.setColor(QPalette::Window, buttonFace);
        w.setPalette(p);
        w.setAutoFillBackground(true);
    };
    paint(*this);
    for (QWidget* child : findChildren<QWidget*>())
        if (qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            if (child->window() == this && !WMPView->isAncestorOf(child))
                paint(*child);
    SkinFramework1->LoadSkin(skin, QString());
    SkinFramework1->Options = SkinFramework1->Options | 1;
    SkinFramework1->Switch5 = true;
    SkinFramework1->Switch10 = true;
    SkinFramework1->ApplyWindow(*this);
}
