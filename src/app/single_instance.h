#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;

// One running copy takes the files of later ones: `thrennic x.wav` while a
// copy runs hands x.wav to it, instead of a second copy fighting over the
// settings file. The meeting point is a socket in $XDG_RUNTIME_DIR.
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
    bool listening() const;

  private:
    void takeConnection();
    QLocalServer* server_;
    std::function<void(const QStringList&)> onFiles_;
};
