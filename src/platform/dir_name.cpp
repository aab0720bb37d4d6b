#include "platform/dir_name.h"

#include "platform/disk_call.h"
#include "platform/plain_file.h"

#include <QFile>
#include <QHash>
#include <QStringEncoder>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <dirent.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

QString GetFileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.mid(slash + 1);
}

QString dirName(const QString& path) {
    return disk::call<QString>(path, [path] { return dirNameNow(path); }).value_or(QString());
}

QString dirNameNow(const QString& path) {
    if (path.isEmpty())
        return {};
    if (!isPlainFile(path))
        return {};
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.startsWith(QLatin1Char('.')))
        return {};
    return name;
}

namespace {

// Below this many paths in one folder, looking each up is as quick as reading the folder.
constexpr qsizetype kFolderReadThreshold = 16;
// A folder is read whole when the paths name at least this share of its
// entries: reading an entry costs about a quarter of looking one file up.
constexpr qsizetype kReadWhenOneIn = 4;
// What a folder's size says of its entries: about this many bytes each
// (ext4 and tmpfs give 20 to 32 for names of the usual length).
constexpr qsizetype kBytesPerEntry = 24;
// A folder being read says it is still moving once per this many entries: a
// long folder on a slow drive is not taken for one that stopped answering.
constexpr quint64 kEntriesPerTick = 64;

// A file's name within one of the folders, as the disk spells it.
struct NameInFolder {
    int folder; // from 1
    QByteArrayView name;
    friend bool operator==(const NameInFolder&, const NameInFolder&) = default;
};
size_t qHash(const NameInFolder& key, size_t seed) {
    return qHashMulti(seed, key.folder, key.name);
}

// Every path's file name as the disk spells it, end to end in one buffer: ten
// thousand separate byte arrays cost more than the encoding itself.
class EncodedNames {
  public:
    explicit EncodedNames(qsizetype room) : bytes_(room * 3, Qt::Uninitialized) {}
    // What QFile::encodeName gives: no state carries from one name to the next.
    // Plain ASCII, nearly every name, is copied without the encoder's overhead.
    QByteArrayView append(QStringView name) {
        char* const begin = bytes_.data() + used_;
        char* end = begin;
        if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; }))
            for (const QChar c : name)
                *end++ = char(c.unicode());
        else
            end = encoder_.appendToBuffer(begin, name);
        used_ += end - begin;
        return {begin, end - begin};
    }

  private:
    QByteArray bytes_; // never grows: the views handed out stay valid
    qsizetype used_ = 0;
    QStringEncoder encoder_{QStringEncoder::System, QStringEncoder::Flag::Stateless};
};

// What a folder's listing says of a path: nothing (not listed), a plain file,
// not one (a folder, a device), or look it up on its own (a link, or a file
// system that does not give the entry's type).
enum Known : char { kUnknown, kPlainFile, kNotAFile, kLookUp };

struct Folder {
    QStringView path;
    qsizetype paths = 0;
    bool listed = false;
};

// Reads the folder and notes the type of every entry that one of the paths
// names; false when it cannot be read (execute-only, say).
bool listFolder(int number, const Folder& folder, const QHash<NameInFolder, qsizetype>& firstOf,
                std::vector<Known>& known, std::atomic<quint64>& ticks) {
    const QByteArray path = QFile::encodeName(folder.path.toString());
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.constData()), ::closedir);
    if (!dir)
        return false;
    for (quint64 read = 0; const dirent* entry = ::readdir(dir.get()); ++read) {
        if (read % kEntriesPerTick == 0)
            ++ticks;
        const qsizetype first = firstOf.value({number, QByteArrayView(entry->d_name)}); // from 1
        if (first == 0)
            continue;
        Known& answer = known[size_t(first - 1)];
        if (entry->d_type == DT_REG)
            answer = kPlainFile;
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            answer = kLookUp;
        else
            answer = kNotAFile;
    }
    return true;
}

// The disk's part of a look: the paths, and the jobs it is done in, folder by
// folder (job 0: paths without a folder). It never changes once made, so that
// every thread of the look may read it.
struct Plan {
    QStringList paths;
    std::vector<Folder> folders;
    std::vector<int> folderOf;
    std::vector<qsizetype> slashOf, first;
    EncodedNames names{0};
    QHash<NameInFolder, qsizetype> firstOf;
    std::vector<std::vector<qsizetype>> members; // by job: the first of equal paths
};

std::shared_ptr<const Plan> makePlan(const QStringList& paths) {
    const qsizetype count = paths.size();
    // Each path's folder, by number from 1; 0 for a path in the root or
    // without a folder, which is looked up on its own. A list's paths mostly
    // share the folder of the one before, which is then not looked up again.
    QHash<QStringView, int> folderNumbers;
    std::vector<Folder> folders;
    std::vector<int> folderOf(static_cast<size_t>(count), 0);
    std::vector<qsizetype> slashOf(static_cast<size_t>(count)); // where each name begins, less one
    qsizetype room = 0;
    for (const QString& path : paths)
        room += path.size();
    EncodedNames names(room);
    // The first of equal paths answers for all of them; its number counts
    // from 1, so that 0 is "none". (Qt's hash keeps its entries in a few
    // large blocks, where the standard one allocates each.)
    QHash<NameInFolder, qsizetype> firstOf;
    firstOf.reserve(count);
    std::vector<qsizetype> first(static_cast<size_t>(count));
    QStringView lastFolder;
    int lastNumber = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = paths[i];
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        slashOf[size_t(i)] = slash;
        first[size_t(i)] = i;
        if (slash <= 0)
            continue;
        const QStringView folder = QStringView(path).first(slash);
        if (folder != lastFolder) {
            int& number = folderNumbers[folder];
            if (number == 0) {
                folders.push_back({folder});
                number = int(folders.size());
            }
            lastFolder = folder;
            lastNumber = number;
        }
        ++folders[size_t(lastNumber - 1)].paths;
        folderOf[size_t(i)] = lastNumber;
        qsizetype& firstEqual =
            firstOf[{lastNumber, names.append(QStringView(path).sliced(slash + 1))}];
        if (firstEqual == 0)
            firstEqual = i + 1;
        first[size_t(i)] = firstEqual - 1;
    }
    auto plan = std::make_shared<Plan>();
    plan->members.resize(folders.size() + 1);
    for (qsizetype i = 0; i < count; ++i)
        if (first[size_t(i)] == i)
            plan->members[size_t(folderOf[size_t(i)])].push_back(i);
    plan->paths = paths;
    plan->folders = std::move(folders);
    plan->folderOf = std::move(folderOf);
    plan->slashOf = std::move(slashOf);
    plan->first = std::move(first);
    plan->names = std::move(names);
    plan->firstOf = std::move(firstOf);
    return plan;
}

using Answers = std::vector<std::pair<qsizetype, QString>>; // path index, name

// The answers for one job's paths, looked at on the calling thread; ticks
// counts up while it moves on.
Answers answerJob(const Plan& plan, size_t job, std::atomic<quint64>& ticks) {
    Answers answers;
    const std::vector<qsizetype>& members = plan.members[job];
    std::vector<Known> known(members.empty() ? 0 : size_t(members.back() + 1), kUnknown);
    bool listed = false;
    if (job > 0 && qsizetype(members.size()) >= kFolderReadThreshold) {
        const Folder& folder = plan.folders[job - 1];
        struct stat info {};
        const bool worth =
            ::stat(QFile::encodeName(folder.path.toString()).constData(), &info) == 0 &&
            qsizetype(members.size()) * kReadWhenOneIn >= info.st_size / kBytesPerEntry;
        listed = worth && listFolder(int(job), folder, plan.firstOf, known, ticks);
    }
    for (const qsizetype i : members) {
        Known answer = known.empty() ? kUnknown : known[size_t(i)];
        if (answer == kUnknown && listed)
            answer = kNotAFile; // not in its folder's listing at all: no such file
        QString name;
        if (answer == kPlainFile) {
            name = plan.paths[i].sliced(plan.slashOf[size_t(i)] + 1); // listed: it has a folder
            if (name.startsWith(QLatin1Char('.')))
                name.clear();
        } else if (answer != kNotAFile) {
            name = dirNameNow(plan.paths[i]);
            ++ticks;
        }
        answers.emplace_back(i, std::move(name));
    }
    return answers;
}

// A path in the job's folder, for the folders known not to answer.
QString pathIn(const Plan& plan, size_t job) {
    if (job == 0)
        return plan.paths[plan.members[0].empty() ? 0 : plan.members[0].front()];
    return plan.folders[job - 1].path.toString() + QStringLiteral("/x");
}

using Clock = std::chrono::steady_clock;
// A thread quiet this long on one folder is left to finish it on its own
// while another goes on with the next: a slow folder holds up no other.
constexpr auto kSetAside = std::chrono::milliseconds(100);
// At most this many threads finish folders on their own at once.
constexpr int kMostSetAside = 8;
// How often the watch looks at the threads between their answers.
constexpr auto kWatchEvery = std::chrono::milliseconds(20);

enum JobState : char { kToDo, kAnswered, kSilent };

// A thread of the look: the job it is on, and how long it has been quiet.
struct Runner {
    size_t job = 0;
    bool busy = false;
    bool setAside = false; // finishes its job and stops
    std::shared_ptr<std::atomic<quint64>> ticks = std::make_shared<std::atomic<quint64>>(0);
    quint64 seenTicks = 0;
    Clock::time_point quietSince;
};

// What the threads of one look share. The calling thread watches; a thread
// given up on writes nothing here once its folder counts as silent.
struct Look {
    Look(std::shared_ptr<const Plan> plan, LateNames late)
        : plan(std::move(plan)), late(std::move(late)), found(this->plan->paths.size()),
          jobs(this->plan->members.size(), kToDo) {}
    const std::shared_ptr<const Plan> plan;
    const LateNames late;
    std::mutex mutex;
    std::condition_variable changed;
    QStringList found;
    std::vector<JobState> jobs;
    size_t next = 0;                             // the first job no thread has taken
    size_t settled = 0;                          // jobs answered or given up on
    std::map<int, Runner> runners;               // by number: threads at work
    std::map<int, std::function<void()>> unmark; // by number: its folder taken for hung
    int started = 0;
};

// The answers of a folder given up on, as the caller knows its paths.
void tellLate(const Look& look, const Answers& answers) {
    if (!look.late)
        return;
    QStringList paths, names;
    for (const auto& [i, name] : answers) {
        paths << look.plan->paths[i];
        names << name;
    }
    look.late(paths, names);
}

// One thread of the look: takes the next job until none is left, or until it
// was set aside and has finished the one it is on.
void runJobs(const std::shared_ptr<Look>& look, int number) {
    std::unique_lock lock(look->mutex);
    for (;;) {
        Runner& self = look->runners.at(number);
        if (self.setAside || look->next >= look->jobs.size()) {
            look->runners.erase(number);
            look->changed.notify_all();
            return;
        }
        const size_t job = look->next++;
        self.job = job;
        self.busy = true;
        self.quietSince = Clock::now();
        const auto ticks = self.ticks;
        lock.unlock();
        Answers answers = answerJob(*look->plan, job, *ticks);
        lock.lock();
        look->runners.at(number).busy = false;
        if (look->jobs[job] == kSilent) {
            const auto unmark = std::move(look->unmark[number]);
            look->unmark.erase(number);
            look->runners.erase(number);
            lock.unlock();
            if (unmark)
                unmark();
            tellLate(*look, answers);
            return;
        }
        for (auto& [i, name] : answers)
            look->found[i] = std::move(name);
        look->jobs[job] = kAnswered;
        ++look->settled;
        look->changed.notify_all();
    }
}

int startRunner(const std::shared_ptr<Look>& look) { // under the look's lock
    const int number = ++look->started;
    look->runners[number] = Runner{};
    std::thread([look, number] { runJobs(look, number); }).detach();
    return number;
}

// Watches the look's threads until every job is answered or given up on: a
// folder that says nothing for silent is taken for one whose drive stopped
// answering, and a thread quiet for a while on one folder is set aside while
// a new one goes on.
void watchLook(const std::shared_ptr<Look>& look, std::chrono::milliseconds silent) {
    std::unique_lock lock(look->mutex);
    int front = startRunner(look);
    while (look->settled < look->jobs.size()) {
        look->changed.wait_for(lock, std::min<std::chrono::milliseconds>(kWatchEvery, silent));
        const auto now = Clock::now();
        int setAside = 0;
        for (auto& [number, runner] : look->runners) {
            if (!runner.busy || look->jobs[runner.job] != kToDo)
                continue;
            if (const quint64 ticks = *runner.ticks; ticks != runner.seenTicks) {
                runner.seenTicks = ticks; // slow, but still reading
                runner.quietSince = now;
            }
            if (now - runner.quietSince >= silent) {
                look->jobs[runner.job] = kSilent;
                ++look->settled;
                look->unmark[number] = disk::detail::markHung(pathIn(*look->plan, runner.job));
                runner.setAside = true;
            } else if (runner.setAside) {
                ++setAside;
            }
        }
        if (look->next >= look->jobs.size())
            continue;
        const auto at = look->runners.find(front);
        if (at == look->runners.end() || at->second.setAside) {
            front = startRunner(look); // the front thread was given up on
        } else if (const Runner& runner = at->second; runner.busy &&
                                                      now - runner.quietSince >= kSetAside &&
                                                      setAside < kMostSetAside) {
            at->second.setAside = true;
            front = startRunner(look);
        }
    }
}

} // namespace

QStringList dirNames(const QStringList& paths, QList<bool>* notAnswering, int silentMs,
                     LateNames late) {
    const std::shared_ptr<const Plan> plan = makePlan(paths);
    const auto look = std::make_shared<Look>(plan, std::move(late));
    watchLook(look, std::chrono::milliseconds(silentMs));
    // Every job is settled: no thread writes the answers any more.
    QStringList found;
    std::vector<JobState> jobs;
    {
        const std::lock_guard lock(look->mutex);
        found = std::move(look->found);
        jobs = look->jobs;
    }
    const qsizetype count = paths.size();
    if (notAnswering)
        *notAnswering = QList<bool>(count, false);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype firstEqual = plan->first[size_t(i)];
        if (firstEqual != i)
            found[i] = found[firstEqual];
        if (notAnswering && jobs[size_t(plan->folderOf[size_t(firstEqual)])] == kSilent)
            (*notAnswering)[i] = true;
    }
    return found;
}
