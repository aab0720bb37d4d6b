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

} // namespace

QStringList dirNames(const QStringList& paths, QList<bool>* notAnswering, int stallMs) {
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
    // The disk's part, folder by folder (job 0: paths without a folder), on a
    // thread of its own; the same plan serves a thread started after one
    // that hung.
    struct Plan {
        QStringList paths;
        std::vector<Folder> folders;
        std::vector<int> folderOf;
        std::vector<qsizetype> slashOf, first;
        EncodedNames names{0};
        QHash<NameInFolder, qsizetype> firstOf;
        std::vector<std::vector<qsizetype>> members; // by job: the first of equal paths
        mutable std::atomic<quint64> ticks{0};       // the look moves on
    };
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

    // The answers for one job's paths, looked at on the calling thread.
    const auto answerJob = [](const Plan& plan, size_t job) {
        std::vector<std::pair<qsizetype, QString>> answers;
        const std::vector<qsizetype>& members = plan.members[job];
        std::vector<Known> known(members.empty() ? 0 : size_t(members.back() + 1), kUnknown);
        bool listed = false;
        if (job > 0 && qsizetype(members.size()) >= kFolderReadThreshold) {
            const Folder& folder = plan.folders[job - 1];
            struct stat info {};
            const bool worth =
                ::stat(QFile::encodeName(folder.path.toString()).constData(), &info) == 0 &&
                qsizetype(members.size()) * kReadWhenOneIn >= info.st_size / kBytesPerEntry;
            listed = worth && listFolder(int(job), folder, plan.firstOf, known, plan.ticks);
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
                ++plan.ticks;
            }
            answers.emplace_back(i, std::move(name));
        }
        return answers;
    };

    struct Progress {
        std::mutex mutex;
        std::condition_variable changed;
        QStringList found;
        size_t done = 0;                             // jobs answered, in order
        int generation = 0;                          // the thread whose answers count
        std::map<int, std::function<void()>> unmark; // threads given up on
    };
    auto progress = std::make_shared<Progress>();
    progress->found = QStringList(count);
    const size_t jobs = plan->members.size();
    const auto startFrom = [&](size_t from, int generation) {
        std::thread([plan, progress, from, generation, jobs, answerJob] {
            for (size_t job = from; job < jobs; ++job) {
                auto answers = answerJob(*plan, job);
                const std::lock_guard lock(progress->mutex);
                if (progress->generation != generation) {
                    if (auto it = progress->unmark.find(generation); it != progress->unmark.end()) {
                        it->second();
                        progress->unmark.erase(it);
                    }
                    return; // given up on: another thread has gone on
                }
                for (auto& [i, name] : answers)
                    progress->found[i] = std::move(name);
                progress->done = job + 1;
                progress->changed.notify_all();
            }
        }).detach();
    };
    std::vector<bool> hung(jobs, false);
    {
        std::unique_lock lock(progress->mutex);
        startFrom(0, 0);
        size_t seen = 0;
        quint64 seenTicks = 0;
        while (progress->done < jobs) {
            if (progress->changed.wait_for(lock, std::chrono::milliseconds(stallMs),
                                           [&] { return progress->done > seen; })) {
                seen = progress->done;
                continue;
            }
            // Slow, but still reading: waited for on.
            if (const quint64 ticks = plan->ticks; ticks != seenTicks) {
                seenTicks = ticks;
                continue;
            }
            // No answer from this folder in time: it is left behind, and the rest go on.
            const size_t stuck = progress->done;
            hung[stuck] = true;
            const QString where =
                stuck == 0 ? plan->paths[plan->members[0].empty() ? 0 : plan->members[0].front()]
                           : plan->folders[stuck - 1].path.toString() + QStringLiteral("/x");
            progress->unmark[progress->generation] = disk::detail::markHung(where);
            progress->done = seen = stuck + 1;
            if (progress->done < jobs)
                startFrom(progress->done, ++progress->generation);
            else
                ++progress->generation;
        }
    }
    // Threads given up on no longer write here (their generation is past).
    QStringList found;
    {
        const std::lock_guard lock(progress->mutex);
        found = std::move(progress->found);
    }
    if (notAnswering)
        *notAnswering = QList<bool>(count, false);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype firstEqual = plan->first[size_t(i)];
        if (firstEqual != i)
            found[i] = found[firstEqual];
        if (notAnswering && hung[size_t(plan->folderOf[size_t(firstEqual)])])
            (*notAnswering)[i] = true;
    }
    return found;
}
