// Reading and writing whole files.
//
// Contents: reading; writing; targets and links; temporary files; signals during a
// save; the replacing save.
#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// ---------------------------------------------------------------------------
// Reading

int OpenPlainFile(const char* path)
{
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    // O_NONBLOCK: opening a named pipe would wait for a writer; it has no effect on
    // the reads of a plain file
    const int descriptor = open(path, O_RDONLY | O_BINARY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0)
        return -1;
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(descriptor);
        errno = EINVAL;
        return -1;
    }
    return descriptor;
}

long ReadUpTo(int descriptor, void* buffer, size_t size)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    size_t total = 0;
    while (total < size) {
        const ssize_t got = read(descriptor, bytes + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<long>(total);
}

bool ReadWholeFile(const char* path, size_t maxSize, FileContents* contents)
{
    *contents = FileContents{nullptr, 0};
    const int descriptor = OpenPlainFile(path);
    if (descriptor < 0)
        return false;
    // the size is known before anything is allocated
    struct stat info;
    if (fstat(descriptor, &info) != 0 || info.st_size < 0 || static_cast<uint64_t>(info.st_size) > maxSize ||
        static_cast<uint64_t>(info.st_size) >= SIZE_MAX) {
        close(descriptor);
        return false;
    }
    const size_t length = static_cast<size_t>(info.st_size);
    uint8_t* bytes = static_cast<uint8_t*>(malloc(length + 1));
    const long count = bytes ? ReadUpTo(descriptor, bytes, length) : -1;
    close(descriptor);
    if (count < 0) {
        free(bytes);
        return false;
    }
    bytes[count] = 0;
    *contents = FileContents{bytes, static_cast<size_t>(count)};
    return true;
}

// ---------------------------------------------------------------------------
// Writing

bool WriteAll(int descriptor, const void* bytes, size_t size)
{
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = write(descriptor, next, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written == 0)
            errno = ENOSPC;
        if (written <= 0)
            return false;
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Targets and links

// As many links as the system itself follows in one path.
static const int MaxLinkHops = 40;

// The directory part of a path ("." when it has none) and the name after it.
static void SplitPath(const std::string& path, std::string* directory, std::string* name)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        *directory = ".";
        *name = path;
        return;
    }
    *directory = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
}

bool ResolveSaveTarget(const char* path, std::string* target)
{
    if (!path || !path[0]) {
        errno = ENOENT;
        return false;
    }
    std::string current = path;
    for (int hop = 0; hop <= MaxLinkHops; ++hop) {
        struct stat info;
        if (lstat(current.c_str(), &info) != 0) {
            *target = current;
            return errno == ENOENT;  // a new file, or the file a dangling link names
        }
        if (!S_ISLNK(info.st_mode)) {
            *target = current;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof link - 1);
        if (length <= 0)
            return false;
        link[length] = '\0';
        std::string directory, name;
        SplitPath(current, &directory, &name);
        current = link[0] == '/' ? std::string(link) : directory + "/" + link;
    }
    errno = ELOOP;
    return false;
}

// The save target's folder, opened for use with the *at calls (so that a long path is
// never formed again), and the target's name in it. -1 (errno set) when the links loop,
// the name is empty, or the target exists but is no plain file.
static int OpenTargetFolder(const char* path, std::string* name, bool* exists, mode_t* mode)
{
    std::string target, directory;
    if (!ResolveSaveTarget(path, &target))
        return -1;
    SplitPath(target, &directory, name);
    if (name->empty() || *name == "." || *name == "..") {
        errno = EISDIR;
        return -1;
    }
    const int folder = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return -1;
    struct stat info;
    *exists = fstatat(folder, name->c_str(), &info, 0) == 0;
    if ((*exists && !S_ISREG(info.st_mode)) || (!*exists && errno != ENOENT)) {
        if (*exists)
            errno = EISDIR;
        const int error = errno;
        close(folder);
        errno = error;
        return -1;
    }
    *mode = *exists ? info.st_mode & 0777 : 0;
    return folder;
}

bool NameSameFile(const char* first, const char* second)
{
    std::string a, b;
    if (!ResolveSaveTarget(first, &a) || !ResolveSaveTarget(second, &b))
        return false;
    struct stat infoA, infoB;
    const bool existsA = stat(a.c_str(), &infoA) == 0;
    const bool existsB = stat(b.c_str(), &infoB) == 0;
    if (existsA || existsB)
        return existsA && existsB && infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    // neither exists yet: the same name in the same folder, however the folder is written
    std::string directoryA, nameA, directoryB, nameB;
    SplitPath(a, &directoryA, &nameA);
    SplitPath(b, &directoryB, &nameB);
    char* realA = realpath(directoryA.c_str(), nullptr);
    char* realB = realpath(directoryB.c_str(), nullptr);
    const bool same = nameA == nameB && (realA && realB ? strcmp(realA, realB) == 0 : directoryA == directoryB);
    free(realA);
    free(realB);
    return same;
}

// ---------------------------------------------------------------------------
// Temporary files: ".orvanel-save-" and six letters or digits, in the target's folder

static const char TemporaryPrefix[] = ".orvanel-save-";
static const size_t TemporaryPrefixLength = sizeof TemporaryPrefix - 1;
static const size_t TemporaryNameSize = TemporaryPrefixLength + 6 + 1;
// Older than this, a temporary file is no save in progress (a save writes its file in
// one go) but the remains of a process that was killed.
static const time_t StaleTemporarySeconds = 5 * 60;

static void FormTemporaryName(char* name)
{
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned counter = 0;
    uint8_t random[6];
    if (getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        const unsigned mix =
            static_cast<unsigned>(time(nullptr)) ^ static_cast<unsigned>(getpid()) * 2654435761u ^ ++counter * 40503u;
        for (size_t i = 0; i < sizeof random; ++i)
            random[i] = static_cast<uint8_t>(mix >> (4 * i));
    }
    memcpy(name, TemporaryPrefix, TemporaryPrefixLength);
    for (size_t i = 0; i < sizeof random; ++i)
        name[TemporaryPrefixLength + i] = Letters[random[i] % (sizeof Letters - 1)];
    name[TemporaryNameSize - 1] = '\0';
}

static bool IsTemporaryName(const char* name)
{
    return strncmp(name, TemporaryPrefix, TemporaryPrefixLength) == 0 && strlen(name) == TemporaryNameSize - 1;
}

// Removes this user's temporary files in the folder that are too old to be a save in
// progress. What cannot be read or removed is left.
static void RemoveStaleTemporaryFiles(int folder)
{
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
    if (!entries) {
        if (listing >= 0)
            close(listing);
        return;
    }
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(entries)) {
        struct stat info;
        if (IsTemporaryName(entry->d_name) && fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == geteuid() && now - info.st_mtime > StaleTemporarySeconds)
            unlinkat(folder, entry->d_name, 0);
    }
    closedir(entries);
}

// ---------------------------------------------------------------------------
// Signals during a save

// The temporary file that exists under a name while a save runs, for the signal handler.
static volatile sig_atomic_t PendingFolder = -1;
static char PendingName[TemporaryNameSize];

static const int TerminatingSignals[] = {SIGTERM, SIGINT, SIGHUP};
static const int TerminatingSignalCount = sizeof TerminatingSignals / sizeof TerminatingSignals[0];

struct SaveSignals {
    bool handled[TerminatingSignalCount];  // this save installed RemovePendingAndEnd for the signal
    bool sizeLimitIgnored;                 // SIGXFSZ was set to be ignored
};

// Removes the named temporary file, then ends the process as the signal would have:
// SA_RESETHAND has put the default action back, and the raised signal arrives when
// the handler returns.
static void RemovePendingAndEnd(int signalNumber)
{
    const int folder = PendingFolder;
    if (folder >= 0)
        unlinkat(folder, PendingName, 0);
    raise(signalNumber);
}

// Named before the file is made, so that no signal finds it unnamed; the name is
// random, so no other file of it can be in the way.
static void NamePending(int folder, const char* name)
{
    memcpy(PendingName, name, TemporaryNameSize);
    PendingFolder = folder;
}

// Only signals left at their default action are taken over: one the program or its
// caller handles or ignores (nohup) keeps its meaning.
static void ProtectSave(SaveSignals* signals)
{
    struct sigaction handler = {};
    handler.sa_handler = RemovePendingAndEnd;
    handler.sa_flags = SA_RESETHAND;
    sigemptyset(&handler.sa_mask);
    for (int i = 0; i < TerminatingSignalCount; ++i) {
        struct sigaction current;
        signals->handled[i] = sigaction(TerminatingSignals[i], nullptr, &current) == 0 &&
            !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_DFL &&
            sigaction(TerminatingSignals[i], &handler, nullptr) == 0;
    }
    // a file size limit makes write() fail with EFBIG, as a full disk would, instead
    // of ending the process
    struct sigaction current;
    signals->sizeLimitIgnored = sigaction(SIGXFSZ, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == SIG_DFL && signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
}

static void EndProtection(const SaveSignals& signals)
{
    PendingFolder = -1;
    for (int i = 0; i < TerminatingSignalCount; ++i)
        if (signals.handled[i])
            signal(TerminatingSignals[i], SIG_DFL);
    if (signals.sizeLimitIgnored)
        signal(SIGXFSZ, SIG_DFL);
}

// ---------------------------------------------------------------------------
// The replacing save

// A file with no name in the folder (O_TMPFILE): whatever ends the process, it
// disappears. -1 where the file system has none.
static int CreateUnnamedFile(int folder)
{
#ifdef O_TMPFILE
    return openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
    (void)folder;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

// Gives the unnamed file a temporary name in the folder. False when it cannot (no /proc).
static bool NameUnnamedFile(int descriptor, int folder, char* name)
{
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", descriptor);
    for (int attempt = 0; attempt < 100; ++attempt) {
        FormTemporaryName(name);
        NamePending(folder, name);
        if (linkat(AT_FDCWD, self, folder, name, AT_SYMLINK_FOLLOW) == 0)
            return true;
        PendingFolder = -1;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

static int CreateNamedFile(int folder, char* name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        FormTemporaryName(name);
        NamePending(folder, name);
        const int descriptor = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0)
            return descriptor;
        PendingFolder = -1;
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

static bool FillTemporaryFile(int descriptor, const mode_t* keptMode, const uint8_t* bytes, size_t size)
{
    return (!keptMode || fchmod(descriptor, *keptMode) == 0) && WriteAll(descriptor, bytes, size) &&
        fsync(descriptor) == 0;
}

// Closes the descriptor; true when `succeeded` and the close did too. errno tells the
// first failure.
static bool CloseAfter(int descriptor, bool succeeded)
{
    const int error = errno;
    const bool closed = close(descriptor) == 0;
    if (!succeeded)
        errno = error;
    return succeeded && closed;
}

static bool RemoveAfterFailure(int folder, const char* name)
{
    const int error = errno;
    unlinkat(folder, name, 0);
    errno = error;
    return false;
}

// Writes the bytes to a complete temporary file named `name` in the folder: unnamed
// until complete where the system allows, else named from the start. The data is on
// disk before the caller renames it: after a crash the target is the old file or the
// new one, never a part of either.
static bool WriteTemporaryFile(int folder, const mode_t* keptMode, const uint8_t* bytes, size_t size, char* name)
{
    int descriptor = CreateUnnamedFile(folder);
    if (descriptor >= 0) {
        if (!FillTemporaryFile(descriptor, keptMode, bytes, size))
            return CloseAfter(descriptor, false);
        const bool linked = NameUnnamedFile(descriptor, folder, name);
        if (CloseAfter(descriptor, linked))
            return true;
        if (linked)
            return RemoveAfterFailure(folder, name);
        // no way to name it (no /proc): written again under a name
    }
    descriptor = CreateNamedFile(folder, name);
    if (descriptor < 0)
        return false;
    if (CloseAfter(descriptor, FillTemporaryFile(descriptor, keptMode, bytes, size)))
        return true;
    return RemoveAfterFailure(folder, name);
}

bool CanReplaceFile(const char* path)
{
    std::string name;
    bool exists = false;
    mode_t mode = 0;
    const int folder = OpenTargetFolder(path, &name, &exists, &mode);
    if (folder < 0)
        return false;
    SaveSignals signals;
    ProtectSave(&signals);
    char probe[TemporaryNameSize];
    int descriptor = CreateUnnamedFile(folder);
    const bool named = descriptor < 0;
    if (named)
        descriptor = CreateNamedFile(folder, probe);
    const int error = errno;
    if (descriptor >= 0)
        close(descriptor);
    if (named && descriptor >= 0)
        unlinkat(folder, probe, 0);
    EndProtection(signals);
    close(folder);
    errno = error;
    return descriptor >= 0;
}

bool WriteFileReplacing(const char* path, const uint8_t* bytes, size_t size)
{
    if (!path || !path[0] || (size > 0 && !bytes)) {
        errno = EINVAL;
        return false;
    }
    std::string name;
    bool exists = false;
    mode_t keptMode = 0;
    const int folder = OpenTargetFolder(path, &name, &exists, &keptMode);
    if (folder < 0)
        return false;
    RemoveStaleTemporaryFiles(folder);
    SaveSignals signals;
    ProtectSave(&signals);
    char temporary[TemporaryNameSize];
    bool saved = WriteTemporaryFile(folder, exists ? &keptMode : nullptr, bytes, size, temporary);
    if (saved && renameat(folder, temporary, folder, name.c_str()) != 0)
        saved = RemoveAfterFailure(folder, temporary);
    const int error = errno;
    EndProtection(signals);
    close(folder);
    errno = error;
    return saved;
}
