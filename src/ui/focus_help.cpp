#include "app/form1.h"

#include "app/trap.h"
#include "playback/player_widget.h"

#include <QMouseEvent>

namespace {
constexpr char kContactPage[] = "https://thrennic.example/contact";
} // namespace

void Form1::Form_Click() {
    WMPView->setFocus();
}

void Form1::Form_DblClick() {
    WMPView->setFocus();
}

void Form1::mousePressEvent(QMouseEvent* event) {
    Form_Click();
    QWidget::mousePressEvent(event);
}

void Form1::mouseDoubleClickEvent(QMouseEvent* event) {
    Form_DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

void Form1::PushButton2_Click() {
    Trap trap(dialogs_, "PushButton2_Click");
    trap(100, [&] {
        dialogs_.showMessage(QStringLiteral("Questions? Please contact Team Kestrelin at ") +
                                 QLatin1String(kContactPage),
                             AppTitle, MessageIcon::None);
    });
}
