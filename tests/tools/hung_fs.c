// A drive that can stop answering, for the tests: hung_fs BACKING FLAG MOUNT
// shows the files of BACKING at MOUNT; while the file FLAG exists, every look
// at a file or folder below the mount's top (stat, listing, open, read) waits
// until FLAG is gone, as a dead network share does. While FLAG.writes exists,
// only what changes the drive waits (making a folder or file, writing,
// renaming, removing): a move there starts, then hangs. While FLAG.slow exists,
// holding "MS [MBPS]", every such call answers only after MS milliseconds (300
// when it holds nothing) and reads and writes move at most MBPS megabytes a
// second: a healthy drive that is slow. Like a share mounted
// "hard", a wait ends for a process that is killed (the kernel interrupts the
// request).
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char* backing;
static const char* flag;
static char writeFlag[PATH_MAX];
static char slowFlag[PATH_MAX];

static void sleepMs(double ms) {
    if (ms <= 0)
        return;
    const struct timespec wait = {(time_t)(ms / 1000),
                                  (long)((ms - (time_t)(ms / 1000) * 1000) * 1e6)};
    nanosleep(&wait, NULL);
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// A slow drive's pace, as FLAG.slow says: a wait per call, and bytes a second
// for all reads and writes together (requests come on several threads at once).
static void pace(size_t bytes) {
    static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    static double freeAt = 0; // when the drive has moved every byte asked of it so far
    FILE* slow = fopen(slowFlag, "r");
    if (!slow)
        return;
    double ms = 300, megabytesPerSecond = 0;
    const int read = fscanf(slow, "%lf %lf", &ms, &megabytesPerSecond);
    fclose(slow);
    if (read < 1)
        ms = 300;
    if (bytes == 0) {
        sleepMs(ms);
        return;
    }
    if (megabytesPerSecond <= 0)
        return;
    pthread_mutex_lock(&lock);
    const double start = freeAt > now() ? freeAt : now();
    freeAt = start + (double)bytes / (megabytesPerSecond * 1e6);
    const double done = freeAt;
    pthread_mutex_unlock(&lock);
    sleepMs((done - now()) * 1000);
}

// 0 once the drive answers again; -EINTR when the request's process was killed.
static int hangWhile(const char* flagFile) {
    const struct timespec tick = {0, 20 * 1000 * 1000};
    while (access(flagFile, F_OK) == 0) {
        if (fuse_interrupted())
            return -EINTR;
        nanosleep(&tick, NULL);
    }
    return 0;
}

static int hangWhileFlagged(void) {
    const int hung = hangWhile(flag);
    if (!hung)
        pace(0);
    return hung;
}

static int hangWhileWritesFlagged(void) {
    const int hung = hangWhile(writeFlag);
    return hung ? hung : hangWhileFlagged();
}

static void real(char* out, const char* path) {
    snprintf(out, PATH_MAX, "%s%s", backing, path);
}

static int fsGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    if (strcmp(path, "/") != 0) {
        const int hung = hangWhileFlagged();
        if (hung)
            return hung;
    }
    char file[PATH_MAX];
    real(file, path);
    return lstat(file, st) == 0 ? 0 : -errno;
}

static int fsReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                     struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)offset, (void)fi, (void)flags;
    const int hung = hangWhileFlagged();
    if (hung)
        return hung;
    char folder[PATH_MAX];
    real(folder, path);
    DIR* dir = opendir(folder);
    if (!dir)
        return -errno;
    // Each entry's type, as a local or network drive gives it.
    for (struct dirent* entry; (entry = readdir(dir));) {
        struct stat type = {.st_ino = entry->d_ino, .st_mode = DTTOIF(entry->d_type)};
        fill(buffer, entry->d_name, &type, 0, 0);
    }
    closedir(dir);
    return 0;
}

static int fsOpen(const char* path, struct fuse_file_info* fi) {
    const int hung =
        (fi->flags & O_ACCMODE) == O_RDONLY ? hangWhileFlagged() : hangWhileWritesFlagged();
    if (hung)
        return hung;
    char file[PATH_MAX];
    real(file, path);
    const int fd = open(file, fi->flags & ~(O_CREAT | O_EXCL));
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    fi->direct_io = 1; // every read reaches us, none comes from the page cache
    return 0;
}

static int fsRead(const char* path, char* buffer, size_t size, off_t offset,
                  struct fuse_file_info* fi) {
    (void)path;
    const int hung = hangWhileFlagged();
    if (hung)
        return hung;
    const ssize_t n = pread((int)fi->fh, buffer, size, offset);
    if (n > 0)
        pace((size_t)n);
    return n < 0 ? -errno : (int)n;
}

// What a move to the drive's own Trash and back needs: folders and files
// made, written and renamed there, and removed.
static int fsCreate(const char* path, mode_t mode, struct fuse_file_info* fi) {
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    char file[PATH_MAX];
    real(file, path);
    const int fd = open(file, fi->flags | O_CREAT, mode);
    if (fd < 0)
        return -errno;
    fi->fh = (uint64_t)fd;
    fi->direct_io = 1;
    return 0;
}

static int fsWrite(const char* path, const char* buffer, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
    (void)path;
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    const ssize_t n = pwrite((int)fi->fh, buffer, size, offset);
    if (n > 0)
        pace((size_t)n);
    return n < 0 ? -errno : (int)n;
}

static int fsMkdir(const char* path, mode_t mode) {
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    char folder[PATH_MAX];
    real(folder, path);
    return mkdir(folder, mode) == 0 ? 0 : -errno;
}

static int fsRename(const char* from, const char* to, unsigned int flags) {
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    char source[PATH_MAX], target[PATH_MAX];
    real(source, from);
    real(target, to);
    return renameat2(AT_FDCWD, source, AT_FDCWD, target, flags) == 0 ? 0 : -errno;
}

static int fsUnlink(const char* path) {
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    char file[PATH_MAX];
    real(file, path);
    return unlink(file) == 0 ? 0 : -errno;
}

static int fsRmdir(const char* path) {
    const int hung = hangWhileWritesFlagged();
    if (hung)
        return hung;
    char folder[PATH_MAX];
    real(folder, path);
    return rmdir(folder) == 0 ? 0 : -errno;
}

static int fsChmod(const char* path, mode_t mode, struct fuse_file_info* fi) {
    (void)fi;
    char file[PATH_MAX];
    real(file, path);
    return chmod(file, mode) == 0 ? 0 : -errno;
}

static int fsUtimens(const char* path, const struct timespec times[2], struct fuse_file_info* fi) {
    (void)fi;
    char file[PATH_MAX];
    real(file, path);
    return utimensat(AT_FDCWD, file, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int fsTruncate(const char* path, off_t size, struct fuse_file_info* fi) {
    if (fi)
        return ftruncate((int)fi->fh, size) == 0 ? 0 : -errno;
    char file[PATH_MAX];
    real(file, path);
    return truncate(file, size) == 0 ? 0 : -errno;
}

static int fsRelease(const char* path, struct fuse_file_info* fi) {
    (void)path;
    close((int)fi->fh);
    return 0;
}

static void* fsInit(struct fuse_conn_info* conn, struct fuse_config* config) {
    (void)conn;
    // Nothing cached: every look reaches the file system.
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->use_ino = 1;
    return NULL;
}

static const struct fuse_operations operations = {
    .getattr = fsGetattr,
    .readdir = fsReaddir,
    .open = fsOpen,
    .read = fsRead,
    .create = fsCreate,
    .write = fsWrite,
    .mkdir = fsMkdir,
    .rename = fsRename,
    .unlink = fsUnlink,
    .rmdir = fsRmdir,
    .chmod = fsChmod,
    .utimens = fsUtimens,
    .truncate = fsTruncate,
    .release = fsRelease,
    .init = fsInit,
};

int main(int argc, char* argv[]) {
    if (argc != 4) {
        fprintf(stderr, "usage: hung_fs BACKING FLAG MOUNT\n");
        return 2;
    }
    backing = argv[1];
    flag = argv[2];
    snprintf(writeFlag, sizeof writeFlag, "%s.writes", flag);
    snprintf(slowFlag, sizeof slowFlag, "%s.slow", flag);
    char* args[] = {argv[0], "-f", "-o", "allow_other", argv[3], NULL};
    return fuse_main(5, args, &operations, NULL);
}
