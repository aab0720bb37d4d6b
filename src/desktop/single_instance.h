#pragma once

#include "desktop/command_line.h"

#include <QObject>
#include <QStringList>
#include <functional>

class QSocketNotifier;

// One running copy takes the files of later ones: `thrennic x.wav` while a
// copy runs hands x.wav to it, instead of a second copy fighting over the
// settings file. The meeting point is a socket in the user's own runtime
// folder: $XDG_RUNTIME_DIR when it is a folder of this user's that nobody else
// may enter, otherwise a folder of that kind made for the purpose. Each side
// checks that the other runs as this user.
//
// Plain Unix sockets rather than Qt Network: that module and the Kerberos and
// proxy libraries it brings would cost every start a couple of milliseconds.
namespace single_instance {

// Empty when no private folder can be had: this copy then goes it alone.
QString socketPath();

// Sends the files to a copy that is running; true once it has taken them.
bool handToRunningCopy(const NamedFiles& files);

} // namespace single_instance

// The running copy's side: files that later copies hand over reach onFiles on
// the GUI thread. A copy that finds another already listening does not listen.
class InstanceServer : public QObject {
    Q_OBJECT
  public:
    explicit InstanceServer(std::function<void(const NamedFiles&)> onFiles);
    ~InstanceServer() override;
    bool listening() const { return listener_ >= 0; }

  private:
    void takeConnections();
    int listener_ = -1;
    int connections_ = 0; // of later copies, open at once
    QByteArray path_;     // the socket file, removed again when this copy ends
    QSocketNotifier* incoming_ = nullptr;
    std::function<void(const NamedFiles&)> onFiles_;
};
