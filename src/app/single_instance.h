#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QSocketNotifier;

// One running copy takes the files of later ones: `thrennic x.wav` while a
// copy runs hands x.wav to it, instead of a second copy fighting over the
// settings file. The meeting point is a socket in $XDG_RUNTIME_DIR.
//
// Plain Unix sockets rather than Qt Network: that module and the Kerberos and
// proxy libraries it brings would cost every start a couple of milliseconds.
namespace single_instance {

QString socketPath();

// Sends the files to a copy that is running; true once it has taken them.
bool handToRunningCopy(const QStringList& files);

} // namespace single_instance

// The running copy's side: files that later copies hand over reach onFiles on
// the GUI thread. A copy that finds another already listening does not listen.
class InstanceServer : public QObject {
    Q_OBJECT
  public:
    explicit InstanceServer(std::function<void(const QStringList&)> onFiles);
    ~InstanceServer() override;
    bool listening() const { return listener_ >= 0; }

  private:
    void takeConnections();
    int listener_ = -1;
    QByteArray path_; // the socket file, removed again when this copy ends
    QSocketNotifier* incoming_ = nullptr;
    std::function<void(const QStringList&)> onFiles_;
};
