#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

#include "desktop/command_line.h"

class Form1;

// What an OpenUri may add: an existing regular file of the program's audio
// types, or a folder (which the window adds as the audio files under it); nothing for anything else
// (another scheme or host, a missing path, a text file, a device, a name read with a loss).
NamedFiles mprisOpenableFiles(const QString& uri);

// The desktop's media keys and player controls (MPRIS 2 over the session
// bus): org.mpris.MediaPlayer2.thrennic at /org/mpris/MediaPlayer2. Next and
// Previous go through the window's buttons, so they move as a click does;
// Quit closes the window, which saves. Without a session bus nothing happens.
class Mpris : public QObject {
    Q_OBJECT
  public:
    explicit Mpris(Form1& window);
    ~Mpris() override;
    // Registers on the session bus; false when there is none or the name is taken.
    bool registerOnSessionBus();
    Form1& window() const { return window_; }

  Q_SIGNALS:
    // The player's properties whose change is told on the bus, with their new values.
    void announced(const QVariantMap& values);

  private:
    void announce(const QStringList& changed);
    Form1& window_;
    bool registered_ = false;
    class QTimer* trackTold_ = nullptr; // a new track's Metadata, waiting for its length
};

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
  public:
    explicit MprisRoot(Mpris* parent);
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QString desktopEntry() const;
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const;

  public Q_SLOTS:
    void Raise();
    void Quit();

  private:
    Mpris* mpris_;
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canControl)
    Q_PROPERTY(bool CanGoPrevious READ canControl)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanPause READ canControl)
    Q_PROPERTY(bool CanSeek READ canControl)
    Q_PROPERTY(bool CanControl READ canControl)
  public:
    explicit MprisPlayer(Mpris* parent);
    QString playbackStatus() const;
    // Only the normal rate: another changes nothing, and 0 pauses, as the
    // desktop's player controls expect of a player that has no other rate.
    double rate() const { return 1.0; }
    void setRate(double rate);
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    // The Repeat box: "Playlist" while it is on, "None" while off; "Track" is not
    // something the window can do, so it changes nothing.
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    bool shuffle() const; // the Shuffle box
    void setShuffle(bool on);
    qlonglong position() const;
    bool canControl() const { return true; }

  public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& track, qlonglong position);
    void OpenUri(const QString& uri);

  Q_SIGNALS:
    void Seeked(qlonglong position);

  private:
    Mpris* mpris_;
};
