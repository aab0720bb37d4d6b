#include "playback/transport_bar.h"

#include "platform/time_text.h"
#include "playback/player.h"
#include "playback/transport_icons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

namespace {
constexpr char kSymbolProperty[] = "transportSymbol";
} // namespace

TransportBar::TransportBar(Player& player, QWidget* parent) : QWidget(parent), player_(player) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 2);
    row->setSpacing(2);
    auto* previous = button(TransportIcon::Previous, tr("Previous"), tr("Previous (Ctrl+B)"));
    playPause_ = button(TransportIcon::Play, tr("Play"), tr("Play (Space)"));
    auto* stop = button(TransportIcon::Stop, tr("Stop"), tr("Stop"));
    auto* next = button(TransportIcon::Next, tr("Next"), tr("Next (Ctrl+F)"));
    seek_ = new QSlider(Qt::Horizontal, this);
    seek_->setFocusPolicy(Qt::TabFocus);
    seek_->setAccessibleName(tr("Position"));
    seek_->setToolTip(tr("Position (Left and Right skip)"));
    time_ = new QLabel(this);
    time_->setTextFormat(Qt::PlainText);
    mute_ = button(TransportIcon::Volume, tr("Mute"), tr("Mute"));
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setFixedWidth(70);
    volume_->setFocusPolicy(Qt::TabFocus);
    volume_->setAccessibleName(tr("Volume"));
    volume_->setToolTip(tr("Volume (F8 and F9)"));
    for (QWidget* w : {static_cast<QWidget*>(previous), static_cast<QWidget*>(playPause_),
                       static_cast<QWidget*>(stop), static_cast<QWidget*>(next)})
        row->addWidget(w);
    row->addWidget(seek_, 1);
    row->addWidget(time_);
    row->addWidget(mute_);
    row->addWidget(volume_);

    connect(previous, &QToolButton::clicked, &player_, &Player::previous);
    connect(next, &QToolButton::clicked, &player_, &Player::next);
    connect(stop, &QToolButton::clicked, &player_, &Player::stop);
    connect(playPause_, &QToolButton::clicked, this, [this] { player_.togglePlay(); });
    connect(seek_, &QSlider::sliderMoved, this, [this](int value) { player_.seek(value); });
    connect(mute_, &QToolButton::clicked, this, [this] { player_.setMute(!player_.mute()); });
    connect(volume_, &QSlider::sliderMoved, &player_, &Player::setVolume);
    // Arrows and Page keys on a slider that has the focus (Tab): as a drag there.
    connect(seek_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            player_.seek(seek_->sliderPosition());
    });
    connect(volume_, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove)
            player_.setVolume(volume_->sliderPosition());
    });

    connect(&player_, &Player::playStateChanged, this, &TransportBar::showState);
    connect(&player_, &Player::positionChanged, this, &TransportBar::showPosition);
    connect(&player_, &Player::durationChanged, this, &TransportBar::showPosition);
    connect(&player_, &Player::CurrentItemChange, this, &TransportBar::showPosition);
    connect(&player_, &Player::volumeChanged, this, &TransportBar::showVolume);
    showState(player_.playState());
    showPosition();
    showVolume(player_.volume(), player_.mute());
}

QToolButton* TransportBar::button(TransportIcon icon, const QString& name, const QString& tip) {
    auto* button = new QToolButton(this);
    setSymbol(button, icon);
    button->setAccessibleName(name);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    // Reached with Tab and pressed with Space; a click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

void TransportBar::setSymbol(QToolButton* button, TransportIcon icon) {
    button->setProperty(kSymbolProperty, static_cast<int>(icon));
    button->setIcon(transportIcon(icon, palette()));
}

void TransportBar::showState(int state) {
    const bool playing = state == Player::Playing || state == Player::Transitioning;
    setSymbol(playPause_, playing ? TransportIcon::Pause : TransportIcon::Play);
    playPause_->setAccessibleName(playing ? tr("Pause") : tr("Play"));
    playPause_->setToolTip(playing ? tr("Pause (Space)") : tr("Play (Space)"));
}

void TransportBar::showPosition() {
    const double total = player_.duration();
    seek_->setRange(0, static_cast<int>(total));
    if (!seek_->isSliderDown())
        seek_->setValue(static_cast<int>(player_.position()));
    time_->setText(formatTime(player_.position()) + QStringLiteral(" / ") + formatTime(total));
}

void TransportBar::showVolume(int percent, bool muted) {
    volume_->setValue(percent);
    setSymbol(mute_, muted ? TransportIcon::Muted : TransportIcon::Volume);
    mute_->setAccessibleName(muted ? tr("Unmute") : tr("Mute"));
}

void TransportBar::changeEvent(QEvent* event) {
    // A skin or a desktop theme change: the symbols take the new colours.
    if (event->type() == QEvent::PaletteChange)
        for (QToolButton* button : findChildren<QToolButton*>()) {
            const QVariant symbol = button->property(kSymbolProperty);
            if (symbol.isValid())
                setSymbol(button, static_cast<TransportIcon>(symbol.toInt()));
        }
    QWidget::changeEvent(event);
}
