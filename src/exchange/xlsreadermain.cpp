// scorelane-xlsreader: reads the .xls workbook on standard input and writes its first
// sheet's values on standard output (see xlsreply.h for both). Scorelane starts it so that FreeXL
// never runs inside the scoreboard. It starts for every .xls file opened: it is plain
// C++ with FreeXL and the C library, and loads nothing else.
#include "exchange/xlscheck.h"
#include "exchange/xlsreply.h"

#include <freexl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

using namespace Workbook;

constexpr std::size_t kColumns = 13; // A to M, as many as the table has
constexpr std::size_t kMaxFileBytes = std::size_t(256) << 20;

// A failure whose message is the whole text of the error box.
struct Failure
{
    std::string message;
};
// Standard output is gone: nobody to tell.
struct WriteFailure
{
};
// The answer goes out in pieces of about this size.
constexpr std::size_t kPiece = std::size_t(16) << 10;

[[noreturn]] void damaged(const std::string &what)
{
    throw Failure { "Arbeitsmappe ist beschädigt: " + what };
}

[[noreturn]] void systemFailure(const std::string &where)
{
    throw Failure { where + std::strerror(errno) };
}

// Before a byte of the file is read: no core file, and a bound on memory.
void limitItself()
{
    const rlimit noCore { 0, 0 };
    ::setrlimit(RLIMIT_CORE, &noCore);
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCORELANE_ASAN
#endif
#endif
#if !defined(SCORELANE_ASAN) && !defined(__SANITIZE_ADDRESS__)
    // The file is at most 256 MiB and FreeXL's tables at most a few million cells.
    // AddressSanitizer reserves terabytes of shadow memory: no limit in such builds.
    constexpr rlim_t kAddressSpace = rlim_t(1) << 30;
    const rlimit space { kAddressSpace, kAddressSpace };
    ::setrlimit(RLIMIT_AS, &space);
#endif
}

// Whether any of the answer went out: a failure after that comes without the header.
bool g_answered = false;

bool writeAll(std::string_view bytes)
{
    g_answered = g_answered || !bytes.empty();
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes.data() + at, bytes.size() - at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        at += std::size_t(put);
    }
    return true;
}

// The workbook on standard input. The program's socket brings its byte (xlsreply.h) with
// a sealed file in memory, which FreeXL reads by name, or followed by the bytes. Anything
// else is the workbook itself: a sealed file as it is; a pipe or a plain file that might
// change is read and copied into a sealed file of our own first, as the bytes after the
// program's byte are.
class Input
{
public:
    Input()
    {
        struct stat info
        {
        };
        if (::fstat(STDIN_FILENO, &info) != 0)
            systemFailure("Standardeingabe: ");
        int source = S_ISSOCK(info.st_mode) ? receive() : STDIN_FILENO;
        m_sealed = isSealed(source);
        if (m_sealed) {
            m_fd = source;
        } else {
            copyInput(source);
            if (source != STDIN_FILENO)
                ::close(source);
        }
        if (::fstat(m_fd, &info) != 0)
            systemFailure("Standardeingabe: ");
        if (std::uint64_t(info.st_size) > kMaxFileBytes)
            tooLarge();
        m_size = std::size_t(info.st_size);
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~Input()
    {
        if (m_data)
            ::munmap(m_data, m_size);
        if (m_fd != STDIN_FILENO)
            ::close(m_fd);
    }
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    // The bytes, mapped when the check first asks for them: FreeXL reads the file itself.
    std::string_view bytes()
    {
        if (!m_data && m_size > 0) {
            void *data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, m_fd, 0);
            if (data == MAP_FAILED)
                systemFailure("Standardeingabe: ");
            m_data = data;
        }
        return { static_cast<const char *>(m_data), m_size };
    }
    // Whether the program checked the bytes, found no value that only the check finds and
    // gave them sealed, so that they are what it checked: the check would give nothing more.
    bool checkedByCaller() const { return m_checked && m_sealed; }
    const std::string &path() const { return m_path; }

private:
    static bool isSealed(int fd)
    {
        constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
        const int seals = ::fcntl(fd, F_GET_SEALS);
        return seals >= 0 && (seals & kSeals) == kSeals;
    }

    // The program's byte; the descriptor of the file that came with it, else standard input.
    int receive()
    {
        char flag = 0;
        iovec part { &flag, 1 };
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] {};
        msghdr message {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        ssize_t got;
        while ((got = ::recvmsg(STDIN_FILENO, &message, MSG_CMSG_CLOEXEC)) < 0 && errno == EINTR) { }
        if (got < 0)
            systemFailure("Standardeingabe: ");
        if (got == 0) // the program refused the file itself
            throw Failure { "Standardeingabe: keine Arbeitsmappe erhalten" };
        m_checked = flag == XlsReply::kInputChecked;
        for (cmsghdr *header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS
                && header->cmsg_len == CMSG_LEN(sizeof(int))) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(header), sizeof fd);
                return fd;
            }
        }
        return STDIN_FILENO;
    }

    [[noreturn]] static void tooLarge()
    {
        throw Failure { "Arbeitsmappe ist zu groß: mehr als " + std::to_string(kMaxFileBytes >> 20)
            + " MiB" };
    }

    void copyInput(int source)
    {
        m_fd = ::memfd_create("workbook", MFD_CLOEXEC | MFD_ALLOW_SEALING);
        if (m_fd < 0)
            systemFailure(std::string());
        std::size_t total = 0;
        char buffer[1 << 16];
        for (;;) {
            const ssize_t got = ::read(source, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                systemFailure("Standardeingabe: ");
            if (got == 0)
                break;
            total += std::size_t(got);
            if (total > kMaxFileBytes)
                tooLarge();
            for (ssize_t at = 0; at < got;) {
                const ssize_t put = ::write(m_fd, buffer + at, std::size_t(got - at));
                if (put < 0 && errno == EINTR)
                    continue;
                if (put <= 0)
                    systemFailure(std::string());
                at += put;
            }
        }
        if (::fcntl(m_fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
            systemFailure(std::string());
    }

    int m_fd = STDIN_FILENO;
    bool m_sealed = false;
    bool m_checked = false;
    void *m_data = nullptr;
    std::size_t m_size = 0;
    std::string m_path;
};

std::string freexlFailure(int code)
{
    return "FreeXL meldet Fehler " + std::to_string(code);
}

// The workbook that FreeXl::leaveToTheEnd keeps open.
const void *volatile g_leftOpen = nullptr;

class FreeXl
{
public:
    explicit FreeXl(const std::string &path)
    {
        const int code = freexl_open(path.c_str(), &m_handle);
        if (code != FREEXL_OK) {
            m_handle = nullptr;
            damaged(freexlFailure(code));
        }
    }
    ~FreeXl()
    {
        if (m_handle)
            freexl_close(m_handle);
    }
    FreeXl(const FreeXl &) = delete;
    FreeXl &operator=(const FreeXl &) = delete;
    const void *handle() const { return m_handle; }
    // Once the answer is made, the process only writes it and ends: the system takes FreeXL's
    // memory back at once, where freexl_close would free it piece by piece while the program
    // waits for this process to end. Kept where a leak checker sees it in use.
    void leaveToTheEnd() { g_leftOpen = std::exchange(m_handle, nullptr); }

private:
    const void *m_handle = nullptr;
};

// Appends the cell's field; false when the cell is empty.
bool appendCell(XlsReply::Writer &out, const FreeXL_CellValue &value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        if (value.value.int_value >= 0)
            out.whole(static_cast<unsigned long long>(value.value.int_value));
        else
            out.number(double(value.value.int_value));
        return true;
    case FREEXL_CELL_DOUBLE:
        out.number(value.value.double_value);
        return true;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        if (!value.value.text_value || !*value.value.text_value)
            break;
        out.text(value.value.text_value);
        return true;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        out.dateTime(value.value.text_value ? value.value.text_value : "");
        return true;
    default:
        break;
    }
    out.empty();
    return false;
}

bool appendCell(XlsReply::Writer &out, const Xls::OverlayCell &cell)
{
    switch (cell.kind) {
    case Xls::OverlayCell::Boolean:
        out.boolean(cell.truth);
        return true;
    case Xls::OverlayCell::Error:
        out.error();
        return true;
    case Xls::OverlayCell::Number:
        out.number(cell.number);
        return true;
    case Xls::OverlayCell::Text:
        out.text(cell.text);
        return !cell.text.empty();
    }
    return false;
}

// The rows from row 1 down to the first whose column A is empty, that one included,
// and whether any row below that one holds anything.
XlsReply::Writer readSheet(Input &input)
{
    Xls::Checked checked;
    try {
        if (!input.checkedByCaller())
            checked = Xls::check(input.bytes());
    } catch (const Xls::Damaged &e) {
        damaged(e.what());
    } catch (const Xls::NotAWorkbook &) {
        throw Failure { "Datei ist keine Arbeitsmappe" };
    }
    FreeXl freexl(input.path());
    int code = freexl_select_active_worksheet(freexl.handle(), 0);
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (code == FREEXL_OK)
        code = freexl_worksheet_dimensions(freexl.handle(), &rows, &cols);
    if (code != FREEXL_OK)
        damaged(freexlFailure(code));

    XlsReply::Writer out(kPiece + 4096);
    out.raw(XlsReply::kHeader);
    const unsigned short taken = std::min<unsigned short>(cols, kColumns);
    std::size_t sent = 0;
    bool ended = false;
    const bool anyOverlay = !checked.overlay.empty();
    for (unsigned int r = 0; r < rows; ++r) {
        // Each row is written straight into the answer, and taken back when it is not sent.
        const std::size_t rowStart = out.size();
        out.raw("r");
        std::array<bool, kColumns> filled {};
        for (unsigned short c = 0; c < taken; ++c) {
            if (const Xls::OverlayCell *over = anyOverlay ? checked.find(r, c) : nullptr) {
                filled[c] = appendCell(out, *over);
            } else {
                FreeXL_CellValue value {};
                code = freexl_get_cell_value(freexl.handle(), r, c, &value);
                if (code != FREEXL_OK)
                    damaged(freexlFailure(code));
                filled[c] = appendCell(out, value);
            }
        }
        if (ended) {
            out.truncate(rowStart);
            if (std::find(filled.begin(), filled.end(), true) != filled.end()) {
                out.raw("below\n");
                break;
            }
            continue;
        }
        for (std::size_t c = taken; c < kColumns; ++c)
            out.empty();
        out.raw("\n");
        ++sent;
        ended = !filled[0];
        // The program reads the rows while the rest are made.
        if (out.size() >= kPiece) {
            if (!writeAll(out.view()))
                throw WriteFailure();
            out.truncate(0);
        }
    }
    out.raw("end\t" + std::to_string(sent) + '\n');
    freexl.leaveToTheEnd();
    return out;
}

} // namespace

int main(int argc, char **)
{
    limitItself();
    if (argc != 1)
        return 2;
    try {
        Input input;
        const bool written = writeAll(readSheet(input).view());
        // The program reads the last rows while this process ends.
        ::close(STDOUT_FILENO);
        return written ? 0 : 3;
    } catch (const Failure &failure) {
        return writeAll(XlsReply::failure(failure.message, !g_answered)) ? 1 : 3;
    } catch (const std::bad_alloc &) {
        return writeAll(XlsReply::failure("Out of memory", !g_answered)) ? 1 : 3;
    } catch (const WriteFailure &) {
        return 3;
    }
}
