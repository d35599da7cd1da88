#include "core/model/description_archive.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/platform/language.h"
#include "core/platform/numbers.h"
#include "core/platform/strings.h"
#include "core/platform/text.h"

namespace varda {

namespace {

constexpr std::size_t kBlock = 16384;
// A writer holds the archive exclusively only while it rewrites it (milliseconds), so a reader that finds
// it busy waits this long before giving up.
constexpr int kReaderWaitMs = 1000;
constexpr int kLastModel = 22;
constexpr unsigned char kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// The glib under libgsf keeps shared allocator caches and type tables behind locks of its own, which
// ThreadSanitizer cannot see; two documents loading at once take turns at the archive.
std::recursive_mutex& gsf_turn() {
    static std::recursive_mutex turn;
    return turn;
}

void init_gsf() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

std::string errno_text(int err) {
    return std::strerror(err);
}

// Member names follow the compound-file rules: 1 to 31 UTF-16 units, none of / \ : !
bool valid_member_name(std::string_view name) {
    if (name.empty() || !g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr))
        return false;
    if (name.find_first_of("/\\:!") != std::string_view::npos) return false;
    std::size_t units = 0;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) ++units;
        if (b >= 0xF0) ++units;  // outside the BMP: a surrogate pair
    }
    return units <= 31;
}

bool same_file(int fd, const std::string& path) {
    struct stat open_file {};
    struct stat named {};
    return fstat(fd, &open_file) == 0 && stat(path.c_str(), &named) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

bool read_all(int fd, std::string& out) {
    out.clear();
    char buffer[kBlock];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// One zlib stream (zlib format, default level) holding bytes.
bool compress(std::string_view bytes, std::string& out) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
    unsigned char buffer[kBlock];
    std::size_t pos = 0;
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t n = std::min(kBlock, bytes.size() - pos);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + pos));
        z.avail_in = static_cast<uInt>(n);
        pos += n;
        flush = pos == bytes.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer;
            z.avail_out = kBlock;
            if (deflate(&z, flush) == Z_STREAM_ERROR) {
                deflateEnd(&z);
                return false;
            }
            out.append(reinterpret_cast<const char*>(buffer), kBlock - z.avail_out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return true;
}

std::string member_label(std::string_view name) {
    std::string label(1, '"');
    label.append(name);
    label += '"';
    return label;
}

}  // namespace

std::string_view failure_text(ArchiveFailure failure) {
    switch (failure) {
        case ArchiveFailure::None:
            return "";
        case ArchiveFailure::Missing:
            return "the description archive does not exist";
        case ArchiveFailure::CannotOpen:
            return "the description archive cannot be opened";
        case ArchiveFailure::NotAnArchive:
            return "the file is not a description archive";
        case ArchiveFailure::Busy:
            return "the description archive is in use by another program";
        case ArchiveFailure::MemberMissing:
            return "the archive has no such member";
        case ArchiveFailure::MemberEmpty:
            return "the member is empty";
        case ArchiveFailure::MemberDamaged:
            return "the member is damaged; only the text before the damage could be read";
        case ArchiveFailure::OutOfMemory:
            return "not enough memory to unpack the member";
        case ArchiveFailure::BadMemberName:
            return "a member name has 1 to 31 characters and none of / \\ : !";
        case ArchiveFailure::SourceUnreadable:
            return "the source file cannot be read";
        case ArchiveFailure::WriteFailed:
            return "the description archive cannot be written";
    }
    return "";
}

// An element of the root storage as stored: a stream's bytes (the compressed member) or a storage's
// children, which a rewrite keeps although the program never uses them.
struct DescriptionArchive::Stored {
    std::string name;
    std::string data;
    bool storage = false;
    std::vector<Stored> children;
};

struct DescriptionArchive::Impl {
    std::unique_lock<std::recursive_mutex> turn{gsf_turn()};  // first: held until everything is released
    int fd = -1;        // the archive file, locked while the object lives
    std::string image;  // the file's bytes, which the storage reads
    GsfInput* source = nullptr;
    GsfInfile* storage = nullptr;
    GsfInput* stream = nullptr;

    ~Impl() {
        release_storage();
        close_file();
    }

    void release_stream() {
        if (stream) g_object_unref(stream);
        stream = nullptr;
    }
    void release_storage() {
        release_stream();
        if (storage) g_object_unref(storage);
        if (source) g_object_unref(source);
        storage = nullptr;
        source = nullptr;
        image.clear();
    }
    void close_file() {
        if (fd >= 0) close(fd);  // also releases the lock
        fd = -1;
    }

    // Makes the storage read the compound file in image; the message of libgsf on failure.
    bool load_image(std::string bytes, std::string& error) {
        release_storage();
        image = std::move(bytes);
        source = gsf_input_memory_new(reinterpret_cast<const guint8*>(image.data()),
                                      static_cast<gsf_off_t>(image.size()), FALSE);
        GError* err = nullptr;
        storage = source ? gsf_infile_msole_new(source, &err) : nullptr;
        if (storage) return true;
        error = err && err->message ? err->message : "damaged compound file";
        if (err) g_error_free(err);
        release_storage();
        return false;
    }

    // The child of the root storage whose name equals name without regard to case, or -1.
    int find(std::string_view name) const {
        const int count = gsf_infile_num_children(storage);
        for (int i = 0; i < count; ++i) {
            const char* child = gsf_infile_name_by_index(storage, i);
            if (child && platform::iequals(child, name)) return i;
        }
        return -1;
    }
};

DescriptionArchive::DescriptionArchive(std::string path, bool create)
    : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
    init_gsf();
    if (open_existing(kReaderWaitMs)) return;
    if (failure_ == ArchiveFailure::Missing && create) create_empty();
}

DescriptionArchive::~DescriptionArchive() = default;

bool DescriptionArchive::is_open() const {
    return impl_->storage != nullptr;
}

bool DescriptionArchive::fail(ArchiveFailure failure, std::string_view detail) {
    failure_ = failure;
    // The window shows the message in its language; the programs' standard error keeps it as written.
    failure_message_ = path_ + ": " + std::string(localized(failure_text(failure)));
    if (!detail.empty()) failure_message_ += ": " + std::string(localized(detail));
    return false;
}

void DescriptionArchive::succeed() {
    failure_ = ArchiveFailure::None;
    failure_message_.clear();
}

// Opens the file under path with a shared lock. The lock must sit on the file that path names once it is
// granted: a writer that held the file may have renamed a new archive over it meanwhile.
bool DescriptionArchive::open_existing(int wait_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    int fd = -1;
    for (;;) {
        fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            return fail(err == ENOENT ? ArchiveFailure::Missing : ArchiveFailure::CannotOpen,
                        err == ENOENT ? std::string_view{} : errno_text(err));
        }
        if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            if (err != EWOULDBLOCK) return fail(ArchiveFailure::CannotOpen, errno_text(err));
            if (std::chrono::steady_clock::now() >= deadline) return fail(ArchiveFailure::Busy);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        if (same_file(fd, path_)) break;
        close(fd);
        if (std::chrono::steady_clock::now() >= deadline) return fail(ArchiveFailure::Busy);
    }

    struct stat st {};
    std::string bytes;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return fail(ArchiveFailure::NotAnArchive, "not a regular file");
    }
    // The signature first, so that a large file of another kind is not read in.
    unsigned char signature[sizeof kCompoundSignature] = {};
    if (pread(fd, signature, sizeof signature, 0) != static_cast<ssize_t>(sizeof signature) ||
        std::memcmp(signature, kCompoundSignature, sizeof signature) != 0) {
        close(fd);
        return fail(ArchiveFailure::NotAnArchive);
    }
    if (!read_all(fd, bytes)) {
        const int err = errno;
        close(fd);
        return fail(ArchiveFailure::CannotOpen, errno_text(err));
    }
    std::string error;
    if (!impl_->load_image(std::move(bytes), error)) {
        close(fd);
        return fail(ArchiveFailure::NotAnArchive, error);
    }
    impl_->fd = fd;
    succeed();
    return true;
}

bool DescriptionArchive::create_empty() {
    if (!rewrite({})) return false;
    created_ = true;
    return true;
}

namespace {

bool write_children(GsfOutfile* parent, const auto& elements) {
    for (const auto& element : elements) {
        GsfOutput* child = gsf_outfile_new_child(parent, element.name.c_str(), element.storage);
        if (!child) return false;
        bool ok = element.storage
                      ? write_children(GSF_OUTFILE(child), element.children)
                      : element.data.empty() ||
                            gsf_output_write(child, element.data.size(),
                                             reinterpret_cast<const guint8*>(element.data.data()));
        ok = gsf_output_close(child) && ok;
        g_object_unref(child);
        if (!ok) return false;
    }
    return true;
}

template <typename Stored>
bool serialize(const std::vector<Stored>& members, std::string& out) {
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* root = sink ? gsf_outfile_msole_new(sink) : nullptr;
    bool ok = root && write_children(root, members);
    if (root) {
        ok = gsf_output_close(GSF_OUTPUT(root)) && ok;
        g_object_unref(root);
    }
    if (sink) {
        if (!gsf_output_is_closed(sink)) ok = gsf_output_close(sink) && ok;
        const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
        if (ok && bytes) out.assign(reinterpret_cast<const char*>(bytes), gsf_output_size(sink));
        g_object_unref(sink);
    }
    return ok && !out.empty();
}

// Copies every element of a storage; false when one of them cannot be read in full, so that a rewrite
// never drops or cuts what the old archive held.
template <typename Stored>
bool collect(GsfInfile* storage, std::vector<Stored>& elements) {
    const int count = gsf_infile_num_children(storage);
    for (int i = 0; i < count; ++i) {
        GsfInput* child = gsf_infile_child_by_index(storage, i);
        if (!child) return false;
        Stored element;
        element.name = gsf_input_name(child) ? gsf_input_name(child) : "";
        bool ok = true;
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            element.storage = true;
            ok = collect(GSF_INFILE(child), element.children);
        } else {
            gsf_off_t left = gsf_input_size(child);
            while (ok && left > 0) {
                const std::size_t n = std::min<gsf_off_t>(left, kBlock);
                const guint8* data = gsf_input_read(child, n, nullptr);
                ok = data != nullptr;
                if (ok) element.data.append(reinterpret_cast<const char*>(data), n);
                left -= static_cast<gsf_off_t>(n);
            }
        }
        g_object_unref(child);
        if (!ok) return false;
        elements.push_back(std::move(element));
    }
    return true;
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

// Writes a new archive beside the old one and renames it over the path, so that a failure part-way leaves
// the old archive as it was. The object keeps the new file, locked shared, from then on.
bool DescriptionArchive::rewrite(std::vector<Stored> members) {
    const bool replacing = impl_->fd >= 0;
    struct stat old {};
    if (replacing) {
        if (flock(impl_->fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            // A failed conversion may have dropped the shared lock; take it back.
            flock(impl_->fd, LOCK_SH | LOCK_NB);
            return err == EWOULDBLOCK ? fail(ArchiveFailure::Busy)
                                      : fail(ArchiveFailure::WriteFailed, errno_text(err));
        }
        const bool ours = same_file(impl_->fd, path_) && fstat(impl_->fd, &old) == 0;
        if (!ours) {
            flock(impl_->fd, LOCK_SH | LOCK_NB);
            return fail(ArchiveFailure::Busy, "another program replaced the file");
        }
    }
    auto keep_shared = [&] {
        if (replacing) flock(impl_->fd, LOCK_SH | LOCK_NB);
    };

    std::string image;
    if (!serialize(members, image)) {
        keep_shared();
        return fail(ArchiveFailure::WriteFailed, "cannot build the compound file");
    }

    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = path_ + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(temp_counter++);
        fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int err = errno;
        keep_shared();
        return fail(replacing ? ArchiveFailure::WriteFailed : ArchiveFailure::CannotOpen, errno_text(err));
    }
    auto abandon = [&](int err) {
        close(fd);
        unlink(temp.c_str());
        keep_shared();
        return fail(replacing ? ArchiveFailure::WriteFailed : ArchiveFailure::CannotOpen, errno_text(err));
    };
    if (replacing && fchmod(fd, old.st_mode & 07777) != 0) return abandon(errno);
    if (!write_all(fd, image) || fsync(fd) != 0) return abandon(errno);
    flock(fd, LOCK_SH | LOCK_NB);  // nobody else knows the new file yet

    if (replacing) {
        if (rename(temp.c_str(), path_.c_str()) != 0) return abandon(errno);
    } else {
        // A new archive must not replace a file that appeared meanwhile.
        int moved = renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            moved = link(temp.c_str(), path_.c_str());
            if (moved == 0) unlink(temp.c_str());
        }
        if (moved != 0) return abandon(errno);
    }

    impl_->release_storage();
    impl_->close_file();
    impl_->fd = fd;
    std::string error;
    if (!impl_->load_image(std::move(image), error)) return fail(ArchiveFailure::WriteFailed, error);
    succeed();
    return true;
}

std::size_t DescriptionArchive::ReadMember(std::string_view name, std::string& sink, std::size_t limit) {
    CloseMember();
    if (!is_open()) {
        if (failure_ == ArchiveFailure::None) fail(ArchiveFailure::CannotOpen);
        return 0;
    }
    const int index = impl_->find(name);
    GsfInput* child = index >= 0 ? gsf_infile_child_by_index(impl_->storage, index) : nullptr;
    if (child && GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
        g_object_unref(child);  // a storage, not a member
        child = nullptr;
    }
    if (!child) {
        fail(ArchiveFailure::MemberMissing, member_label(name));
        return 0;
    }
    impl_->stream = child;

    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        CloseMember();
        fail(ArchiveFailure::OutOfMemory, member_label(name));
        return sink.size();
    }
    const std::size_t before = sink.size();
    unsigned char out[kBlock];
    int status = Z_OK;
    bool ended = false;
    while (!ended) {
        const auto n = static_cast<std::size_t>(std::min<gsf_off_t>(gsf_input_remaining(child), kBlock));
        const guint8* in = n > 0 ? gsf_input_read(child, n, nullptr) : nullptr;
        if (!in) break;
        z.next_in = const_cast<Bytef*>(in);
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out;
            z.avail_out = kBlock;
            status = inflate(&z, Z_NO_FLUSH);
            // Whatever was decoded before damage is kept, also from the block that met it.
            const std::size_t room = limit - std::min(limit, sink.size() - before);
            const std::size_t decoded = kBlock - z.avail_out;
            sink.append(reinterpret_cast<const char*>(out), std::min(decoded, room));
            if (decoded > room) status = Z_DATA_ERROR;  // too large to be what it claims to be
            if (status == Z_NEED_DICT) status = Z_DATA_ERROR;
            if (status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_STREAM_ERROR ||
                status == Z_STREAM_END) {
                ended = true;
                break;
            }
        } while (z.avail_out == 0);
    }
    inflateEnd(&z);
    CloseMember();

    if (status == Z_MEM_ERROR)
        fail(ArchiveFailure::OutOfMemory, member_label(name));
    else if (status != Z_STREAM_END)  // corrupt, or the data breaks off before the stream's end
        fail(ArchiveFailure::MemberDamaged, member_label(name));
    else if (sink.size() == before)
        fail(ArchiveFailure::MemberEmpty, member_label(name));
    else
        succeed();
    return sink.size();
}

std::string DescriptionArchive::ReadMemberText(std::string_view name) {
    std::string bytes;
    ReadMember(name, bytes);
    return platform::cp1251_to_utf8(bytes);
}

bool DescriptionArchive::AddMember(const std::string& source_path, std::string_view name) {
    if (!is_open()) return fail(failure_ == ArchiveFailure::None ? ArchiveFailure::CannotOpen : failure_);
    if (!valid_member_name(name)) return fail(ArchiveFailure::BadMemberName, member_label(name));

    std::FILE* file = std::fopen(source_path.c_str(), "rb");
    if (!file) return fail(ArchiveFailure::SourceUnreadable, source_path + ": " + errno_text(errno));
    // Read as text: a CR directly followed by LF is dropped, also across block boundaries.
    std::string bytes;
    char buffer[kBlock];
    bool pending_cr = false;
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            if (pending_cr && buffer[i] != '\n') bytes += '\r';
            pending_cr = buffer[i] == '\r';
            if (!pending_cr) bytes += buffer[i];
        }
    }
    if (pending_cr) bytes += '\r';
    const bool read_error = std::ferror(file);
    const int err = errno;
    std::fclose(file);
    if (read_error) return fail(ArchiveFailure::SourceUnreadable, source_path + ": " + errno_text(err));
    return AddMemberBytes(name, bytes);
}

bool DescriptionArchive::AddMemberBytes(std::string_view name, std::string_view bytes) {
    std::string stream;
    if (!compress(bytes, stream)) return fail(ArchiveFailure::OutOfMemory, member_label(name));
    return AddCompressedMember(name, stream);
}

bool DescriptionArchive::AddCompressedMember(std::string_view name, std::string_view zlib_stream) {
    if (!is_open()) return fail(failure_ == ArchiveFailure::None ? ArchiveFailure::CannotOpen : failure_);
    if (!valid_member_name(name)) return fail(ArchiveFailure::BadMemberName, member_label(name));
    CloseMember();
    Stored member{std::string(name), std::string(zlib_stream), false, {}};
    std::vector<Stored> members;
    if (!collect(impl_->storage, members))
        return fail(ArchiveFailure::NotAnArchive, "a member of the old archive cannot be read");
    std::erase_if(members, [&](const Stored& m) { return platform::iequals(m.name, name); });
    members.push_back(std::move(member));
    return rewrite(std::move(members));
}

bool DescriptionArchive::ReplaceMembers(const std::vector<MemberBytes>& members) {
    if (!is_open()) return fail(failure_ == ArchiveFailure::None ? ArchiveFailure::CannotOpen : failure_);
    CloseMember();
    std::vector<Stored> stored;
    for (const auto& m : members) {
        if (!valid_member_name(m.name)) return fail(ArchiveFailure::BadMemberName, member_label(m.name));
        for (const auto& earlier : stored) {
            if (platform::iequals(earlier.name, m.name))
                return fail(ArchiveFailure::BadMemberName, "two members named " + member_label(m.name));
        }
        Stored s{m.name, {}, false, {}};
        if (!compress(m.bytes, s.data)) return fail(ArchiveFailure::OutOfMemory, member_label(m.name));
        stored.push_back(std::move(s));
    }
    return rewrite(std::move(stored));
}

std::vector<std::string> DescriptionArchive::MemberNames() {
    std::vector<std::string> names;
    if (!is_open()) {
        if (failure_ == ArchiveFailure::None) fail(ArchiveFailure::CannotOpen);
        return names;
    }
    const int count = gsf_infile_num_children(impl_->storage);
    for (int i = 0; i < count; ++i) {
        const char* name = gsf_infile_name_by_index(impl_->storage, i);
        if (name) names.emplace_back(name);
    }
    succeed();
    return names;
}

void DescriptionArchive::CloseMember() {
    impl_->release_stream();
}

// A model's description is a few kilobytes; far more is a damaged or hostile archive, which would make the
// loader work for minutes.
constexpr std::size_t kMaxDescriptionBytes = 256 * 1024;

std::string description_member_name(int model_index) {
    if (model_index < 0 || model_index > kLastModel) return {};
    return platform::format_c("vk%02d.tree", model_index);
}

DescriptionText ReadModelDescription(DescriptionArchive& archive, int model_index) {
    DescriptionText result;
    const std::string name = description_member_name(model_index);
    if (name.empty()) return result;
    std::string bytes;
    const std::size_t size = archive.ReadMember(name, bytes, kMaxDescriptionBytes);
    archive.CloseMember();
    result.failure = archive.failure();
    if (size == 0) {
        result.message = kTreeFileOpeningError;
        return result;
    }
    // The text ends at its first zero byte, as a C string would.
    if (const auto zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
    result.text = platform::cp1251_to_utf8(bytes);
    result.ok = true;
    return result;
}

}  // namespace varda
