// A drive that can stop answering, for the tests: hung_fs BACKING FLAG MOUNT
// shows the files of BACKING at MOUNT; while the file FLAG exists, every look
// at a file or folder below the mount's top (stat, listing, open, read) waits
// until FLAG is gone, as a dead network share does. Like a share mounted "hard",
// a wait ends for a process that is killed (the kernel interrupts the request).
#define FUSE_USE_VERSION 31
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char* backing;
static const char* flag;

// 0 once the drive answers again; -EINTR when the request's process was killed.
static int hangWhileFlagged(void) {
    const struct timespec tick = {0, 20 * 1000 * 1000};
    while (access(flag, F_OK) == 0) {
        if (fuse_interrupted())
            return -EINTR;
        nanosleep(&tick, NULL);
    }
    return 0;
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
    for (struct dirent* entry; (entry = readdir(dir));)
        fill(buffer, entry->d_name, NULL, 0, 0);
    closedir(dir);
    return 0;
}

static int fsOpen(const char* path, struct fuse_file_info* fi) {
    const int hung = hangWhileFlagged();
    if (hung)
        return hung;
    char file[PATH_MAX];
    real(file, path);
    const int fd = open(file, O_RDONLY);
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
    return n < 0 ? -errno : (int)n;
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
    char* args[] = {argv[0], "-f", "-o", "allow_other", argv[3], NULL};
    return fuse_main(5, args, &operations, NULL);
}
