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
StarRec ring[ring_size];

// Records made visible by the reading side, and released by the writing
// side; both only grow (modulo 2^32). On separate cache lines.
alignas(64) std::atomic<std::uint32_t> head{0};
alignas(64) std::atomic<std::uint32_t> tail{0};
alignas(64) std::atomic<int> writer_sleeps{0};
std::atomic<int> reader_sleeps{0};
std::atomic<std::uint32_t> reader_wants{0};  // the tail a sleeping reading side waits for
// Each side's own position.
alignas(64) std::uint32_t w_head = 0;  // reading side: records pushed
alignas(64) std::uint32_t r_tail = 0;  // writing side: records taken
std::uint32_t r_seen = 0;              // writing side: head last read

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
    w_head = r_tail = r_seen = 0;
}

bool ho_full() { return w_head - tail.load(std::memory_order_acquire) == ring_size; }

std::uint32_t ho_backlog() { return w_head - tail.load(std::memory_order_relaxed); }

std::uint32_t ho_capacity() { return ring_size; }

StarRec& ho_slot() { return ring[w_head & (ring_size - 1)]; }

void ho_publish() {
    head.store(w_head, std::memory_order_seq_cst);
    if (writer_sleeps.load(std::memory_order_seq_cst)) futex_wake(head);
}

void ho_push() {
    ++w_head;
    if (w_head % batch == 0) ho_publish();
}

void ho_wait_room() {
    if (!ho_full()) return;
    ho_publish();
    // Once the ring is full, wait until a quarter of it is free: waking for
    // every batch the writing side frees would cost more than the batch.
    const std::uint32_t want = w_head - ring_size + ring_size / 4;  // the tail that leaves a quarter free
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
    if (r_tail != r_seen) return &ring[r_tail & (ring_size - 1)];
    r_seen = head.load(std::memory_order_acquire);
    if (r_tail != r_seen || !wait) return r_tail != r_seen ? &ring[r_tail & (ring_size - 1)] : nullptr;
    // Nothing yet: let the reading side catch up, acting on signals.
    for (int i = 0;; ++i) {
        signals_poll();
        r_seen = head.load(std::memory_order_acquire);
        if (r_tail != r_seen) return &ring[r_tail & (ring_size - 1)];
        if (i < spins) {
            relax();
            continue;
        }
        writer_sleeps.store(1, std::memory_order_seq_cst);
        if (head.load(std::memory_order_seq_cst) == r_tail) futex_wait(head, r_tail, 5000000);
        writer_sleeps.store(0, std::memory_order_relaxed);
    }
}

void ho_pop() {
    ++r_tail;
    if (r_tail % batch == 0 || r_tail == r_seen) {
        tail.store(r_tail, std::memory_order_seq_cst);
        if (reader_sleeps.load(std::memory_order_seq_cst) &&
            static_cast<std::int32_t>(r_tail - reader_wants.load(std::memory_order_relaxed)) >= 0)
            futex_wake(tail);
    }
}
