#include "desktop/mpris.h"

#include "app/form1.h"
#include "platform/audio_types.h"
#include "platform/faithful_path.h"
#include "platform/product.h"
#include "playback/player.h"
#include "playback/player_widget.h"
#include "waveform/waveform_view.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <cmath>

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.thrennic");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
constexpr double kMicroseconds = 1e6;
constexpr int kLengthWaitMs = 500;

// The one track there is: the playing file, by a path of its own.
QDBusObjectPath trackId() {
    return QDBusObjectPath(QStringLiteral("/org/thrennic/Thrennic/CurrentTrack"));
}

} // namespace

Mpris::Mpris(Form1& window) : QObject(&window), window_(window) {
    new MprisRoot(this);
    new MprisPlayer(this);
    Player& player = *window.WMP;
    connect(&player, &Player::playStateChanged, this,
            [this] { announce({QStringLiteral("PlaybackStatus")}); });
    // A new track is told once, with its length: when the engine says it, or
    // after a moment for a file whose length does not come.
    trackTold_ = new QTimer(this);
    trackTold_->setSingleShot(true);
    trackTold_->setInterval(kLengthWaitMs);
    connect(trackTold_, &QTimer::timeout, this, [this] { announce({QStringLiteral("Metadata")}); });
    connect(&player, &Player::CurrentItemChange, trackTold_, qOverload<>(&QTimer::start));
    connect(&player, &Player::currentItemGone, this, [this] {
        announce({QStringLiteral("Metadata"), QStringLiteral("PlaybackStatus")});
    });
    connect(&player, &Player::durationChanged, this, [this] {
        trackTold_->stop();
        announce({QStringLiteral("Metadata")});
    });
    connect(window.WMPView, &PlayerWidget::TagsChanged, this, [this](const QString& tags) {
        if (!tags.isEmpty())
            announce({QStringLiteral("Metadata")});
    });
    connect(&player, &Player::volumeChanged, this,
            [this] { announce({QStringLiteral("Volume")}); });
    connect(window.Check1, &QCheckBox::stateChanged, this,
            [this] { announce({QStringLiteral("Shuffle")}); });
    connect(window.Check2, &QCheckBox::stateChanged, this,
            [this] { announce({QStringLiteral("LoopStatus")}); });
}

Mpris::~Mpris() {
    if (registered_) {
        QDBusConnection::sessionBus().unregisterObject(kPath);
        QDBusConnection::sessionBus().unregisterService(kService);
    }
}

bool Mpris::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(kPath, this))
        return false;
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        return false;
    }
    registered_ = true;
    return true;
}

void Mpris::announce(const QStringList& changed) {
    auto* player = findChild<MprisPlayer*>();
    QVariantMap values;
    for (const QString& name : changed)
        values.insert(name, player->property(name.toLatin1().constData()));
    Q_EMIT announced(values);
    if (!registered_)
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << values << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

MprisRoot::MprisRoot(Mpris* parent) : QDBusAbstractAdaptor(parent), mpris_(parent) {}

QString MprisRoot::identity() const {
    return kProductName;
}

QString MprisRoot::desktopEntry() const {
    return kDesktopId;
}

QStringList MprisRoot::supportedMimeTypes() const {
    return audio_types::mimeTypes();
}

void MprisRoot::Raise() {
    mpris_->window().BringToFront();
}

void MprisRoot::Quit() {
    mpris_->window().close();
}

MprisPlayer::MprisPlayer(Mpris* parent) : QDBusAbstractAdaptor(parent), mpris_(parent) {
    setAutoRelaySignals(true);
}

QString MprisPlayer::playbackStatus() const {
    const Player& player = *mpris_->window().WMP;
    if (!player.currentMedia())
        return QStringLiteral("Stopped");
    switch (player.playState()) {
    case Player::Playing:
    case Player::Transitioning:
        return QStringLiteral("Playing");
    case Player::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap MprisPlayer::metadata() const {
    const Player& player = *mpris_->window().WMP;
    QVariantMap data;
    const Media& item = player.currentMedia();
    if (!item)
        return data;
    const QString& path = item->sourceURL();
    data.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    data.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString());
    // The file's own tags where the waveform's reading found them; else its name.
    const WaveformRef& shown = mpris_->window().WMPView->waveformView()->waveform();
    const AudioFacts none;
    const AudioFacts& tags = shown ? shown->facts : none;
    data.insert(QStringLiteral("xesam:title"),
                tags.title.isEmpty() ? path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)
                                     : tags.title);
    if (!tags.artist.isEmpty())
        data.insert(QStringLiteral("xesam:artist"), QStringList{tags.artist});
    if (!tags.album.isEmpty())
        data.insert(QStringLiteral("xesam:album"), tags.album);
    if (tags.track > 0)
        data.insert(QStringLiteral("xesam:trackNumber"), tags.track);
    if (player.duration() > 0)
        data.insert(QStringLiteral("mpris:length"),
                    qlonglong(std::llround(player.duration() * kMicroseconds)));
    return data;
}

double MprisPlayer::volume() const {
    return mpris_->window().WMP->volume() / 100.0;
}

void MprisPlayer::setVolume(double volume) {
    mpris_->window().WMP->setVolume(int(std::lround(qBound(0.0, volume, 1.0) * 100)));
}

QString MprisPlayer::loopStatus() const {
    return boxValue(*mpris_->window().Check2) == 1 ? QStringLiteral("Playlist")
                                                   : QStringLiteral("None");
}

void MprisPlayer::setLoopStatus(const QString& status) {
    if (status != QLatin1String("Playlist") && status != QLatin1String("None"))
        return;
    Form1& window = mpris_->window();
    window.guarded("Check2_Click", [&] {
        setBoxValue(*window.Check2, status == QLatin1String("Playlist") ? 1 : 0);
    });
}

bool MprisPlayer::shuffle() const {
    return boxValue(*mpris_->window().Check1) == 1;
}

void MprisPlayer::setShuffle(bool on) {
    Form1& window = mpris_->window();
    window.guarded("Check1_Click", [&] { setBoxValue(*window.Check1, on ? 1 : 0); });
}

qlonglong MprisPlayer::position() const {
    return qlonglong(std::llround(mpris_->window().WMP->position() * kMicroseconds));
}

// As the buttons do, but the file that comes was not chosen in the window.
void MprisPlayer::Next() {
    Form1& window = mpris_->window();
    window.guarded("PushButton10_Click", [&] { window.PlayNeighbour(1); });
}

void MprisPlayer::Previous() {
    Form1& window = mpris_->window();
    window.guarded("PushButton9_Click", [&] { window.PlayNeighbour(-1); });
}

void MprisPlayer::setRate(double rate) {
    if (rate == 0.0)
        Pause();
}

void MprisPlayer::Pause() {
    mpris_->window().WMP->pause();
}

void MprisPlayer::PlayPause() {
    Player& player = *mpris_->window().WMP;
    player.togglePlay();
}

void MprisPlayer::Stop() {
    mpris_->window().WMP->stop();
}

void MprisPlayer::Play() {
    mpris_->window().WMP->play();
}

void MprisPlayer::Seek(qlonglong offset) {
    Player& player = *mpris_->window().WMP;
    const double target = std::max(0.0, player.position() + double(offset) / kMicroseconds);
    // Past the end is the next track, as MPRIS clients expect; no place
    // in this one is told, since it has none there.
    if (player.duration() > 0 && target >= player.duration()) {
        Next();
        return;
    }
    player.seek(target);
    Q_EMIT Seeked(qlonglong(std::llround(target * kMicroseconds)));
}

void MprisPlayer::SetPosition(const QDBusObjectPath& track, qlonglong position) {
    if (track != trackId() || position < 0)
        return; // a stale request, for a track no longer playing
    Player& player = *mpris_->window().WMP;
    const double at = double(position) / kMicroseconds;
    // Past the end of the track: nothing, as MPRIS clients expect.
    if (player.duration() > 0 && at > player.duration())
        return;
    player.seek(at);
    Q_EMIT Seeked(position);
}

void MprisPlayer::OpenUri(const QString& uri) {
    const NamedFiles files = mprisOpenableFiles(uri);
    if (files.isEmpty())
        return; // anything else changes nothing
    Form1& window = mpris_->window();
    window.guarded("OpenFiles", [&] { window.OpenFiles(files.files, files.refused); });
}

NamedFiles mprisOpenableFiles(const QString& uri) {
    const QUrl url(uri, QUrl::StrictMode);
    const bool here = url.host().isEmpty() || url.host() == QLatin1String("localhost");
    if (!url.isValid() || url.scheme() != QLatin1String("file") || !here)
        return {};
    // The name's own bytes: Qt's text of them may be lossy and name a namesake.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8());
    if (!bytes.startsWith('/') || !survivesDecoding(bytes))
        return {};
    const QString path = QDir::cleanPath(QFile::decodeName(bytes));
    NamedFiles files;
    const QFileInfo info(path);
    if (info.isDir())
        files.files << path; // the window adds the audio files under it
    else if (info.isFile() && audio_types::isAudioFileName(info.fileName()) &&
             !info.fileName().startsWith(QLatin1Char('.')))
        files.files << path;
    return files.files.isEmpty() ? NamedFiles{} : files;
}
