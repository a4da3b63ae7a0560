#include "platform/kernel/named_mutex.h"

#include "platform/kernel/files.h"
#include "platform/kernel/folders.h"
#include "platform/kernel/last_error.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quill::kernel {

namespace {

// Byte 0 of a lock file is the ownership lock, byte 1 the presence lock that every process with a
// handle holds shared. Open-file-description locks, so that they belong to one descriptor and are
// not dropped when another descriptor of the same file is closed.
constexpr off_t OwnershipByte = 0;
constexpr off_t PresenceByte = 1;

bool LockByte(int fd, off_t byte, short type, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    for (;;) {
        if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) return true;
        if (errno != EINTR) return false;
    }
}

DWORD CurrentThread() {
    thread_local const DWORD id = static_cast<DWORD>(syscall(SYS_gettid));
    return id;
}

struct TMutexObject {
    ~TMutexObject() {
        if (Fd >= 0) close(Fd); // lets go of this process's locks on the file
    }
    int Fd = -1;
    std::mutex Lock;
    std::condition_variable Released;
    DWORD Owner = 0;
    unsigned Count = 0;
    bool Abandoned = false;
};

void MarkOwned(const std::shared_ptr<TMutexObject>& object);

// Takes ownership for the calling thread; `Lock` is held on entry and on return.
DWORD Acquire(const std::shared_ptr<TMutexObject>& object, std::unique_lock<std::mutex>& lock,
              DWORD milliseconds) {
    TMutexObject& m = *object;
    const DWORD self = CurrentThread();
    if (m.Owner == self) {
        ++m.Count;
        return WAIT_OBJECT_0;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (m.Owner != 0) {
        if (milliseconds == INFINITE)
            m.Released.wait(lock);
        else if (m.Released.wait_until(lock, deadline) == std::cv_status::timeout && m.Owner != 0)
            return WAIT_TIMEOUT;
    }
    m.Owner = self; // claimed within the process; now the other processes
    if (m.Fd >= 0) {
        lock.unlock();
        bool locked = LockByte(m.Fd, OwnershipByte, F_WRLCK, milliseconds == INFINITE);
        while (!locked && milliseconds != INFINITE && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            locked = LockByte(m.Fd, OwnershipByte, F_WRLCK, false);
        }
        lock.lock();
        if (!locked) {
            m.Owner = 0;
            m.Released.notify_one();
            return WAIT_TIMEOUT;
        }
    }
    m.Count = 1;
    MarkOwned(object);
    const bool abandoned = std::exchange(m.Abandoned, false);
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

void LetGo(TMutexObject& m) {
    m.Owner = 0;
    m.Count = 0;
    if (m.Fd >= 0) LockByte(m.Fd, OwnershipByte, F_UNLCK, false);
    m.Released.notify_one();
}

// The mutexes a thread owns, so that its end can abandon them.
struct TOwnedList {
    std::vector<std::weak_ptr<TMutexObject>> Objects;
    ~TOwnedList() {
        const DWORD self = CurrentThread();
        for (auto& weak : Objects) {
            if (auto object = weak.lock()) {
                std::lock_guard guard(object->Lock);
                if (object->Owner == self) {
                    LetGo(*object);
                    object->Abandoned = true;
                }
            }
        }
    }
};

thread_local TOwnedList tOwned;

void MarkOwned(const std::shared_ptr<TMutexObject>& object) {
    auto& list = tOwned.Objects;
    std::erase_if(list, [](const std::weak_ptr<TMutexObject>& w) { return w.expired(); });
    for (const auto& w : list)
        if (w.lock() == object) return;
    list.push_back(object);
}

struct TRegistry {
    std::mutex Lock;
    std::map<std::string, std::weak_ptr<TMutexObject>> Named;
    std::map<std::uintptr_t, std::shared_ptr<TMutexObject>> Handles;
    std::uintptr_t NextHandle = 0x100;
};

TRegistry& Registry() {
    static TRegistry* registry = new TRegistry;
    return *registry;
}

HANDLE NewHandle(TRegistry& r, std::shared_ptr<TMutexObject> object) {
    const std::uintptr_t value = r.NextHandle;
    r.NextHandle += 4;
    r.Handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<TMutexObject> ObjectOf(HANDLE handle) {
    TRegistry& r = Registry();
    std::lock_guard guard(r.Lock);
    const auto it = r.Handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == r.Handles.end() ? nullptr : it->second;
}

// The file name of a mutex name, or empty when it cannot be one.
std::string FileNameOf(std::string_view name) {
    for (const std::string_view prefix : {"Global\\", "Local\\"}) {
        if (name.substr(0, prefix.size()) == prefix) {
            name.remove_prefix(prefix.size());
            break;
        }
    }
    std::string file = "mutex-";
    static const char* hex = "0123456789ABCDEF";
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            b == '.' || b == '_' || b == '-') {
            file += c;
        } else {
            file += '%';
            file += hex[b >> 4];
            file += hex[b & 15];
        }
    }
    return file.size() > 250 ? std::string() : file;
}

// The runtime folder, made when missing (shared: mode 1777); invalid (with the last error set)
// when it fails the folder rules: a link, or a folder that another user could remove or replace
// the lock files in. The caller's own private folder will do as well.
TFileHandle SafeFolder() {
    TFileHandle folder = MakeFolders(KernelObjectFolder(), 01777, TFolderUse::Shared);
    // A folder that only the caller can write into is as safe (its locks are the caller's).
    if (!folder && errno == EACCES) folder = OpenFolder(KernelObjectFolder(), TFolderUse::Private);
    if (!folder)
        SetLastError(errno == EACCES || errno == ELOOP ? ERROR_ACCESS_DENIED
                                                       : LastErrorFromErrno(errno));
    return folder;
}

// Opens the lock file of `name`; `create` makes it when missing. Returns -1 with the last error
// set. Only a regular file is used (never a link, FIFO or device); its content is never read.
int OpenLockFile(const std::string& fileName, bool create, const SECURITY_ATTRIBUTES* attributes) {
    const TFileHandle folder = SafeFolder();
    if (!folder) return -1;
    // The mode is set past the umask: everyone, or the creator and readers.
    TFileHandle file = OpenFileAt(folder, fileName, TFileAccess::ReadWrite,
                                  create ? TCreation::OrCreate : TCreation::Existing,
                                  GrantsEveryone(attributes) ? 0666 : 0644, false);
    if (!file) {
        SetLastError(errno == ELOOP ? ERROR_ACCESS_DENIED : LastErrorFromErrno(errno));
        return -1;
    }
    return file.Release();
}

// Makes the object of a name that this process does not hold yet. `existed` tells whether another
// process holds it.
std::shared_ptr<TMutexObject> OpenNamed(const std::string& fileName, bool create,
                                        const SECURITY_ATTRIBUTES* attributes, bool& existed) {
    const int fd = OpenLockFile(fileName, create, attributes);
    if (fd < 0) return nullptr;
    // Nobody else present when the presence byte can be taken exclusively; then keep it shared
    // (the conversion of a lock of one's own is atomic).
    existed = !LockByte(fd, PresenceByte, F_WRLCK, false);
    if (!existed && !create) {
        close(fd); // also drops the exclusive presence lock just taken
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    // Never waited for: a process that holds the presence byte exclusively (only its owner can)
    // costs this one its presence mark, not a hang.
    LockByte(fd, PresenceByte, F_RDLCK, false);
    auto object = std::make_shared<TMutexObject>();
    object->Fd = fd;
    return object;
}

HANDLE Create(const SECURITY_ATTRIBUTES* attributes, bool initialOwner, const char* name,
              bool create) {
    TRegistry& r = Registry();
    std::shared_ptr<TMutexObject> object;
    bool existed = false;
    HANDLE handle = nullptr;
    if (!name || !*name) {
        if (!create) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        object = std::make_shared<TMutexObject>();
        std::lock_guard guard(r.Lock);
        handle = NewHandle(r, object);
    } else {
        const std::string fileName = FileNameOf(name);
        if (fileName.empty()) {
            SetLastError(ERROR_INVALID_NAME);
            return nullptr;
        }
        std::lock_guard guard(r.Lock);
        object = r.Named[fileName].lock();
        existed = object != nullptr;
        if (!object) {
            object = OpenNamed(fileName, create, attributes, existed);
            if (!object) return nullptr;
            r.Named[fileName] = object;
        }
        handle = NewHandle(r, object);
    }
    if (create && initialOwner && !existed) {
        // Ownership at creation is taken only when it is free at once: a lock that someone else
        // holds must not stop the creator (a library's load) for ever.
        std::unique_lock lock(object->Lock);
        Acquire(object, lock, 0);
    }
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

} // namespace

std::string KernelObjectFolder() {
    const char* folder = std::getenv("QUILL_RUNTIME_DIR");
    return folder && *folder ? std::string(folder) : std::string("/tmp/.quill-kernel-objects");
}

HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, const char* name) {
    return Create(attributes, initialOwner != 0, name, true);
}

HANDLE OpenMutexA(DWORD, BOOL, const char* name) {
    return Create(nullptr, false, name, false);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    const auto object = ObjectOf(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock lock(object->Lock);
    return Acquire(object, lock, milliseconds);
}

BOOL ReleaseMutex(HANDLE handle) {
    const auto object = ObjectOf(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::lock_guard guard(object->Lock);
    if (object->Owner != CurrentThread()) {
        SetLastError(ERROR_NOT_OWNER);
        return 0;
    }
    if (--object->Count == 0) LetGo(*object);
    return 1;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<TMutexObject> object;
    {
        TRegistry& r = Registry();
        std::lock_guard guard(r.Lock);
        const auto it = r.Handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == r.Handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        object = std::move(it->second);
        r.Handles.erase(it);
    }
    // The last handle of the process frees the object (outside the registry lock).
    return 1;
}

} // namespace quill::kernel
