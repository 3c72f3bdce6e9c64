// The files a conversion writes, the catalogue and the member table, under
// one set of rules: opened for update without emptying if they exist, else
// for reading only (the first write then fails with "write start"), else
// created; a FIFO is opened for writing only, as a pipe to its reader.
// Each is locked against a second run from its open to its close, written
// through a buffer that only ever holds complete lines, emptied of an
// earlier run's content just before this run's first bytes reach it, and
// cut after its last complete line when it is closed.

#include "catalogue.h"

#include "textio.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// After a write that stopped short: the file is good up to the last line
// feed among the batch's bytes written.
void note_good(OutFile& f) {
    const char* nl = static_cast<const char*>(memrchr(f.buf, '\n', f.done));
    if (nl) f.good = f.on_disk - static_cast<off_t>(f.done) + static_cast<off_t>(nl - f.buf + 1);
}

void open_failed(OutFile& f, int err) {
    unit_open_failed(f.unit, f.name);
    io_fatal_errno("open", err);
}

}  // namespace

void of_open(OutFile& f, UnitCloser closer) {
    struct stat st;
    if (::stat(f.name, &st) == 0 && S_ISFIFO(st.st_mode)) {
        // A FIFO is a pipe to whoever reads it: opened for writing only, as
        // a shell's `> fifo` opens it, so that its reader gets every line.
        // The open waits for a reader; a signal ends the wait and the run.
        while ((f.fd = ::open(f.name, O_WRONLY | O_CLOEXEC)) < 0 && errno == EINTR) signals_poll();
        if (f.fd < 0) open_failed(f, errno);
    } else {
        f.fd = ::open(f.name, O_RDWR | O_CLOEXEC);
        if (f.fd < 0) {
            f.read_only_err = errno;
            f.fd = ::open(f.name, O_RDONLY | O_CLOEXEC);
            if (f.fd >= 0) {
                f.read_only = true;
            } else {
                // Not emptied here: a file that appeared meanwhile may be
                // another run's, and is not ours before it is locked.
                f.fd = ::open(f.name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
                if (f.fd < 0) open_failed(f, errno);
            }
        }
    }
    f.regular = fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode);
    f.fifo = !f.regular && S_ISFIFO(st.st_mode);
    f.old_size = f.regular ? st.st_size : 0;
    // One run at a time on a file: an exclusive flock(2) lock, held until
    // the descriptor is closed (at the end, or with the process). A flock
    // lock, not an fcntl one: it belongs to this open of the file, so no
    // other descriptor of it that this process closes drops it, and it
    // needs no descriptor open for writing (a read-only file is locked
    // too). A device (/dev/null) is no file of a run and is not locked.
    // Where the file system has no such locks, the run goes on unlocked.
    if ((f.regular || f.fifo) && ::flock(f.fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        int err = errno;
        ::close(f.fd);
        f.fd = -1;
        open_failed(f, err);
    }
    unit_open(f.unit, f.name, closer);
}

// Before the first write the old content is cut away, so that whatever ends
// the run (even a signal nobody can catch) the file never holds a mix of
// two runs.
//
// A signal that interrupts a write, or comes during one, is acted on at
// once (which ends the run), what is written kept. While the run is ending
// (`ending`) the writing stops instead, and a pipe is then no longer waited
// for once a signal has come: the ending is never stuck on a reader that
// does not read.
bool of_flush(OutFile& f, bool ending) {
    if (!f.emptied && f.blen > f.done) {
        if (f.regular && ::ftruncate(f.fd, 0) != 0) {
            f.failed = true;
            return false;
        }
        f.emptied = true;
    }
    if (ending && f.fifo && signal_pending) (void)::fcntl(f.fd, F_SETFL, ::fcntl(f.fd, F_GETFL) | O_NONBLOCK);
    while (f.done < f.blen) {
        std::size_t len = f.blen - f.done;
        if (f.fifo && len > PIPE_BUF) {
            // A pipe takes a write of at most PIPE_BUF bytes whole or not at
            // all: whole lines in such pieces, and its reader never sees
            // half a line, whatever stops the run.
            const char* nl = static_cast<const char*>(memrchr(f.buf + f.done, '\n', PIPE_BUF));
            len = static_cast<std::size_t>(nl - (f.buf + f.done)) + 1;
        }
        ssize_t w = ::write(f.fd, f.buf + f.done, len);
        if (w >= 0) {
            f.done += static_cast<std::size_t>(w);
            f.on_disk += w;
        } else if (errno != EINTR || ending) {
            int err = errno;
            note_good(f);
            f.failed = true;
            errno = err;
            return false;
        }
        if (signal_pending && !ending) {
            note_good(f);
            signals_act();
        }
    }
    // What is written starts on its way to the disk now, while the run goes
    // on: the file system would otherwise write the whole file out when it
    // is closed (it does so for a file cut to length 0 and written anew),
    // and the run would wait for that at its end.
    if (f.regular && f.on_disk > f.good) (void)::sync_file_range(f.fd, f.good, f.on_disk - f.good, SYNC_FILE_RANGE_WRITE);
    f.good = f.on_disk;
    return true;
}

bool of_empty_unopened(const char* name) {
    struct stat st;
    if (::stat(name, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return false;
    int fd = ::open(name, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK))
        removed = st.st_size > 0 && ::ftruncate(fd, 0) == 0;
    ::close(fd);
    return removed;
}
