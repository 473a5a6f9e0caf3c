// TemporaryFile: nameless, or named, marked and locked; strays removed on proof.
#include "platform/files/temporary_file.h"

#include "platform/files/file_error.h"
#include "platform/files/interrupt_cleanup.h"
#include "platform/system/system_calls.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace quillmend::platform {

namespace {

const char kTemporaryPrefix[] = ".quillmend-";
const char kTemporarySuffix[] = ".tmp";
const char kTemporaryAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kTemporaryRandomLength = 10;
// The first letters of the random part name the process that made the file,
// in base 36, which seven letters hold for any 32-bit identifier, so that
// two processes never draw the same name.
constexpr std::size_t kTemporaryMakerLength = 7;
constexpr std::uint32_t kTemporaryBase = sizeof kTemporaryAlphabet - 1;

NativeName randomTemporaryName()
{
    QByteArray name = kTemporaryPrefix;
    std::uint32_t maker = SystemCalls::current().processId();
    for (std::size_t i = 0; i < kTemporaryMakerLength; ++i, maker /= kTemporaryBase)
        name += kTemporaryAlphabet[maker % kTemporaryBase];
    for (std::size_t i = kTemporaryMakerLength; i < kTemporaryRandomLength; ++i)
        name += kTemporaryAlphabet[QRandomGenerator::global()->bounded(int(kTemporaryBase))];
    return NativeName::fromSystem(name + kTemporarySuffix);
}

// Whether `path` still names the file open as `fd`: 1 when it does, 0 when
// it names another or nothing, -1 and errno when the system cannot tell.
int namesOpenFile(const NativeName& path, int fd)
{
    FileStatus named;
    FileStatus open;
    if (SystemCalls::current().fstat(fd, &open) < 0)
        return -1;
    if (SystemCalls::current().lstat(path.system(), &named) < 0)
        return errno == ENOENT ? 0 : -1;
    return named.device == open.device && named.inode == open.inode ? 1 : 0;
}

// The mark's value is the maker's process id, so that a leftover whose maker
// still runs (a repair under way) is told apart from one of a repair that
// ended. A file system without extended attributes (FAT, exFAT) takes no
// mark: what is left there cannot be proven ours, and stays.
void mark(int fd)
{
    const std::string maker = std::to_string(SystemCalls::current().processId());
    SystemCalls::current().setAttribute(fd, TemporaryFile::kMarkAttribute, maker);
}

// The maker that a temporary name records in its first letters: evidence
// enough to leave a file alone, never to remove one.
std::uint32_t makerInName(const NativeString& name)
{
    std::uint64_t maker = 0;
    for (std::size_t i = kTemporaryMakerLength; i-- > 0;) {
        const auto unit = static_cast<char>(name[sizeof kTemporaryPrefix - 1 + i]);
        maker = maker * kTemporaryBase + std::uint64_t(std::strchr(kTemporaryAlphabet, unit) - kTemporaryAlphabet);
    }
    return std::uint32_t(maker);
}

// The maker of the file open as `fd`: true, with `maker` set, where the file
// carries a mark of this program's form; false where nothing says it is this
// program's, and `unmarkable` where its file system keeps no marks at all.
bool markedMaker(int fd, std::uint32_t& maker, bool& unmarkable)
{
    std::string value;
    if (SystemCalls::current().getAttribute(fd, TemporaryFile::kMarkAttribute, value) < 0) {
        unmarkable = errno == ENOTSUP || errno == EOPNOTSUPP;
        return false;
    }
    if (value.empty() || value.size() > 10 || value.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long id = std::stoull(value);
    if (id > 0xFFFFFFFFull)
        return false;
    maker = std::uint32_t(id);
    return true;
}

} // namespace

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : m_folder(std::move(other.m_folder))
    , m_descriptor(std::move(other.m_descriptor))
    , m_path(std::exchange(other.m_path, NativeName()))
    , m_interruptTicket(std::exchange(other.m_interruptTicket, -1))
    , m_madeNameless(other.m_madeNameless)
{
}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept
{
    if (this != &other) {
        discard();
        m_folder = std::move(other.m_folder);
        m_descriptor = std::move(other.m_descriptor);
        m_path = std::exchange(other.m_path, NativeName());
        m_interruptTicket = std::exchange(other.m_interruptTicket, -1);
        m_madeNameless = other.m_madeNameless;
    }
    return *this;
}

TemporaryFile TemporaryFile::create(const FileRef& folder)
{
    SystemCalls& system = SystemCalls::current();
    TemporaryFile file;
    file.m_folder = folder;
    const int fd = system.openUnnamed(folder.path().system(), FileMode::kOwnerOnly);
    if (fd >= 0) {
        file.m_descriptor = FileDescriptor(fd, folder.path());
        file.m_madeNameless = true;
        mark(fd);
        system.lock(fd, LockMode::TryExclusive);
        return file;
    }
    if (errno != EOPNOTSUPP)
        throw FileError(folder.path(), errno);
    file.takeTemporaryName(false);
    return file;
}

void TemporaryFile::takeTemporaryName(bool unnamed)
{
    SystemCalls& system = SystemCalls::current();
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        const NativeName candidate = m_folder->child(randomTemporaryName()).path();
        // No interrupt between the call that makes the name and holding it.
        InterruptCleanup::Deferral deferral(candidate);
        if (unnamed) {
            if (system.linkUnnamed(m_descriptor.get(), candidate.system()) < 0) {
                if (errno == EEXIST)
                    continue;
                throw FileError(candidate, errno);
            }
        } else {
            try {
                m_descriptor = FileDescriptor::open(
                    candidate, OpenFlag::Write | OpenFlag::Create | OpenFlag::Exclusive | OpenFlag::NoFollow,
                    FileMode::kOwnerOnly);
            } catch (const FileError& error) {
                if (error.errorCode() == EEXIST)
                    continue;
                throw;
            }
            mark(m_descriptor.get());
            // Held for as long as the file is open, so that no clean-up in
            // another repair takes it while its maker could still finish it.
            system.lock(m_descriptor.get(), LockMode::TryExclusive);
        }
        // Held only once the name is surely ours: an interrupt removes
        // nothing that another may have made under the same name.
        m_path = candidate;
        m_interruptTicket = InterruptCleanup::add(m_path);
        return;
    }
    throw FileError(m_folder->path(), EEXIST);
}

void TemporaryFile::giveName()
{
    if (m_path.isEmpty())
        takeTemporaryName(true);
}

bool TemporaryFile::linkAs(const FileRef& target)
{
    if (!m_path.isEmpty())
        throw FileError(target.path(), ENOSYS);
    if (SystemCalls::current().linkUnnamed(m_descriptor.get(), target.path().system()) < 0) {
        if (errno == EEXIST)
            return false;
        throw FileError(target.path(), errno);
    }
    removeMark();
    return true;
}

void TemporaryFile::close()
{
    m_descriptor.close();
}

void TemporaryFile::taken()
{
    removeMark();
    forgetName();
}

void TemporaryFile::forgetName()
{
    InterruptCleanup::remove(std::exchange(m_interruptTicket, -1));
    m_path = NativeName();
}

void TemporaryFile::removeMark() noexcept
{
    // Where it fails, the mark stays on a file whose name has no temporary
    // form, which no clean-up ever takes.
    if (m_descriptor.isOpen())
        unmarkOwn(m_descriptor.get());
}

void TemporaryFile::markOwn(int fd) noexcept
{
    mark(fd);
}

void TemporaryFile::unmarkIfStale(int fd) noexcept
{
    std::uint32_t maker = 0;
    bool unmarkable = false;
    if (markedMaker(fd, maker, unmarkable) && SystemCalls::current().processRuns(maker) == 0)
        unmarkOwn(fd);
}

void TemporaryFile::unmarkOwn(int fd) noexcept
{
    SystemCalls::current().removeAttribute(fd, kMarkAttribute);
}

bool TemporaryFile::discard() noexcept
{
    m_descriptor = FileDescriptor();
    if (m_path.isEmpty())
        return true;
    if (!removeOwnName(m_path))
        return false;
    forgetName();
    return true;
}

bool TemporaryFile::removeOwnName(const NativeName& path) noexcept
{
    // A temporary file is also removed on ordinary roads (a file that needs
    // no repair), so a passing failure is no reason to leave it behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (SystemCalls::current().unlink(path.system()) == 0 || errno == ENOENT)
            return true;
    }
    return false;
}

bool TemporaryFile::isTemporaryName(const NativeString& name)
{
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    const std::size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() != prefix + kTemporaryRandomLength + suffix)
        return false;
    // In the system's units, which on Windows are wider than the ASCII here.
    const auto holds = [&name](std::size_t at, const char* ascii, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            if (name[at + i] != NativeChar(static_cast<unsigned char>(ascii[i])))
                return false;
        }
        return true;
    };
    if (!holds(0, kTemporaryPrefix, prefix) || !holds(prefix + kTemporaryRandomLength, kTemporarySuffix, suffix))
        return false;
    for (std::size_t i = prefix; i < prefix + kTemporaryRandomLength; ++i) {
        const auto unit = static_cast<std::uint32_t>(name[i]);
        if (unit == 0 || unit > 0x7F || !std::strchr(kTemporaryAlphabet, int(unit)))
            return false;
    }
    return true;
}

std::vector<TemporaryFile::Leftover> TemporaryFile::removeStrays(const FileRef& folder, const FileIdentity& keep)
{
    // A file is taken for a leftover only on proof: the name's form, the mark
    // that only this program sets, a maker that has ended, and no lock. The
    // name alone would take the user's own file of that name, or the very
    // file being repaired; where no mark can be kept, what has the form is
    // told instead.
    SystemCalls& system = SystemCalls::current();
    std::vector<Leftover> told;
    std::vector<NativeString> names;
    if (system.listFolder(folder.path().system(), names) < 0)
        return told;
    for (const NativeString& name : names) {
        if (!isTemporaryName(name))
            continue;
        const NativeName path = folder.child(NativeName::fromSystem(name)).path();
        const int fd = system.open(path.system(), OpenFlag::NoFollow | OpenFlag::NonBlocking);
        if (fd < 0)
            continue;
        FileStatus status;
        std::uint32_t maker = 0;
        bool unmarkable = false;
        const bool candidate = system.fstat(fd, &status) == 0 && status.isRegular()
            && !(status.device == keep.device && status.inode == keep.inode);
        if (candidate && markedMaker(fd, maker, unmarkable)) {
            if (system.processRuns(maker) == 0 && system.lock(fd, LockMode::TryExclusive) == 0
                && namesOpenFile(path, fd) == 1) {
                // Where it is another name of a file that stays (a kept copy
                // swapped aside), the mark must not stay with it.
                unmarkOwn(fd);
                system.unlink(path.system());
            }
        } else if (candidate && unmarkable && system.processRuns(makerInName(name)) == 0
                   && system.lock(fd, LockMode::TryExclusive) == 0) {
            // Not another repair's at work, beside this one.
            told.push_back({path, status.size});
        }
        system.close(fd);
    }
    return told;
}

} // namespace quillmend::platform
