// The hand-off between the two halves of the run: a fixed ring of star
// records, written by the reading half and read by the writing half, each
// from its own thread (or both from one, taking turns).
//
// Records are made visible in batches, and at once whenever the reading
// half would wait (for input or for room). A side with nothing to do spins
// briefly, then sleeps on a futex; the writing side wakes at least every few
// milliseconds to act on a pending signal.

#include "driver.h"

#include "textio.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::uint32_t ring_size = 8192;  // a power of two: some milliseconds of reading
constexpr std::uint32_t batch = 64;        // records made visible at a time

// Everything here fills cache lines of its own. A line that one core
// changes and the other reads passes between the two at every change, and
// the linker puts small objects side by side, of this file or of any
// other, unless they fill their lines: the reading side's count of records
// pushed and its line cut once shared a line with the signal flag that the
// writing side reads with every star and while it waits, and the run took
// a sixth more time.
alignas(64) StarRec ring[ring_size];
static_assert(sizeof ring % 64 == 0, "the ring fills its cache lines");

// A word one side writes and the other reads.
template <typename T>
struct alignas(64) Shared : std::atomic<T> {
    constexpr Shared() : std::atomic<T>(0) {}
};
// Records made visible by the reading side, and released by the writing
// side; both only grow (modulo 2^32).
Shared<std::uint32_t> head, tail;
Shared<int> writer_sleeps, reader_sleeps;
Shared<std::uint32_t> reader_wants;  // the tail a sleeping reading side waits for
// Each side's own position.
struct alignas(64) ReadingSide {
    std::uint32_t pushed = 0;  // records pushed
} rd;
struct alignas(64) WritingSide {
    std::uint32_t taken = 0;  // records taken
    std::uint32_t seen = 0;   // head last read
} wr;

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "futex word");

std::uint32_t* word(std::atomic<std::uint32_t>& a) { return reinterpret_cast<std::uint32_t*>(&a); }

void futex_wait(std::atomic<std::uint32_t>& a, std::uint32_t seen, long ns) {
    timespec ts{0, ns};
    syscall(SYS_futex, word(a), FUTEX_WAIT_PRIVATE, seen, &ts, nullptr, 0);
}
void futex_wake(std::atomic<std::uint32_t>& a) { syscall(SYS_futex, word(a), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0); }

inline void relax() {
#if defined(__SSE2__)
    _mm_pause();
#endif
}

constexpr int spins = 4000;

}  // namespace

void ho_reset() {
    head.store(0);
    tail.store(0);
    rd.pushed = wr.taken = wr.seen = 0;
}

bool ho_full() { return rd.pushed - tail.load(std::memory_order_acquire) == ring_size; }

std::uint32_t ho_backlog() { return rd.pushed - tail.load(std::memory_order_relaxed); }

std::uint32_t ho_capacity() { return ring_size; }

StarRec& ho_slot() { return ring[rd.pushed & (ring_size - 1)]; }

void ho_publish() {
    head.store(rd.pushed, std::memory_order_seq_cst);
    if (writer_sleeps.load(std::memory_order_seq_cst)) futex_wake(head);
}

void ho_push() {
    ++rd.pushed;
    if (rd.pushed % batch == 0) ho_publish();
}

void ho_wait_room() {
    if (!ho_full()) return;
    ho_publish();
    // Once the ring is full, wait until a quarter of it is free: waking for
    // every batch the writing side frees would cost more than the batch.
    const std::uint32_t want = rd.pushed - ring_size + ring_size / 4;  // the tail that leaves a quarter free
    auto room = [want] { return static_cast<std::int32_t>(tail.load(std::memory_order_seq_cst) - want) >= 0; };
    for (int i = 0; i < spins; ++i) {
        if (room()) return;
        relax();
    }
    reader_wants.store(want, std::memory_order_relaxed);
    while (!room()) {
        std::uint32_t t = tail.load(std::memory_order_seq_cst);
        reader_sleeps.store(1, std::memory_order_seq_cst);
        if (!room()) futex_wait(tail, t, 20000000);
        reader_sleeps.store(0, std::memory_order_relaxed);
    }
}

const StarRec* ho_peek(bool wait) {
    if (wr.taken != wr.seen) return &ring[wr.taken & (ring_size - 1)];
    wr.seen = head.load(std::memory_order_acquire);
    if (wr.taken != wr.seen || !wait) return wr.taken != wr.seen ? &ring[wr.taken & (ring_size - 1)] : nullptr;
    // Nothing yet: let the reading side catch up, acting on signals.
    for (int i = 0;; ++i) {
        signals_poll();
        wr.seen = head.load(std::memory_order_acquire);
        if (wr.taken != wr.seen) return &ring[wr.taken & (ring_size - 1)];
        if (i < spins) {
            relax();
            continue;
        }
        writer_sleeps.store(1, std::memory_order_seq_cst);
        if (head.load(std::memory_order_seq_cst) == wr.taken) futex_wait(head, wr.taken, 5000000);
        writer_sleeps.store(0, std::memory_order_relaxed);
    }
}

void ho_pop() {
    ++wr.taken;
    if (wr.taken % batch == 0 || wr.taken == wr.seen) {
        tail.store(wr.taken, std::memory_order_seq_cst);
        if (reader_sleeps.load(std::memory_order_seq_cst) &&
            static_cast<std::int32_t>(wr.taken - reader_wants.load(std::memory_order_relaxed)) >= 0)
            futex_wake(tail);
    }
}
